#pragma once
// The host services a plug-in creates by class identifier: localisation,
// tracing and the editor's UI script. Slot order: IUnknown's three, then as
// declared.
#include "com/bstr.h"
#include "com/unknown.h"

constexpr CLSID CLSID_Localise = MakeGuid("A5838EB5-D341-4B7B-BB7A-9CA292CDC6AB");

struct ILocalise : IUnknown {
  // The host's language, a Windows locale identifier (1033 English, 1031 German).
  virtual HRESULT GetDefaultLCID(LCID* lcid) = 0;
  static constexpr IID iid = MakeGuid("561BE8B4-694B-424B-AE6F-8F2CF45D4C9C");
};

constexpr CLSID CLSID_TraceService = MakeGuid("7525BFB6-F4C1-11D3-B29A-00104B091E6B");

// Trace levels: 2 error, 3 warning, 4 information.
constexpr LONG TRACE_LEVEL_ERROR = 2;
constexpr LONG TRACE_LEVEL_WARNING = 3;
constexpr LONG TRACE_LEVEL_INFO = 4;

struct ITraceService : IUnknown {
  virtual HRESULT IsLevelEnabled(LONG level, BOOL* enabled) = 0;
  // One line of text (UTF-16, no line end).
  virtual HRESULT Trace(LONG level, const OLECHAR* text) = 0;
  static constexpr IID iid = MakeGuid("C95E37E8-F4E3-11D3-B29A-00104B091E6B");
};

struct ITraceChannel : IUnknown {
  // Names the channel that later lines belong to ("DX470", "DX470PlugIn.DX470UI").
  virtual HRESULT SetChannelName(const OLECHAR* name) = 0;
  static constexpr IID iid = MakeGuid("7525BFB5-F4C1-11D3-B29A-00104B091E6B");
};

// Registered only while the host wants the editor to run a UI script
// instead of showing windows (a command line's "edit --script").
constexpr CLSID CLSID_EditorScript = MakeGuid("291FC814-7772-4E0E-92B3-5782FE37D93C");

struct IEditorScript : IUnknown {
  // The script's path (UTF-16; "-" is standard input).
  virtual HRESULT GetScriptPath(BSTR* path) = 0;
  static constexpr IID iid = MakeGuid("9EFD3663-1C38-4AC0-BE0A-49A46E793CB4");
};
