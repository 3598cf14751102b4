#pragma once
// XmlWeaveETS: the typed XML reader and writer server.
//
// A client compiles against this header alone (plus the COM stand-in's
// IUnknown, com/unknown.h) and reaches the classes either through
// CoCreateInstance with the class identifiers below, or by loading
// XmlWeaveETS.so itself and asking its exported DllGetClassObject for a
// class factory. Interfaces are laid out in slot order behind IUnknown's
// three methods; every method returns an HRESULT (int32_t). Strings are
// zero-terminated 8-bit texts in UTF-8; paths are zero-terminated UTF-16.
#include <cstdint>

#include "com/unknown.h"

// Classes.
constexpr CLSID CLSID_XMLReader = MakeGuid("CDD887E4-85C2-4970-9FF8-75A4D531FBB7");
constexpr CLSID CLSID_XMLWriter = MakeGuid("7AE52E4F-6FC5-4D45-864A-0592CFDB3F9C");
// Type library XMLWEAVELib 1.0.
constexpr GUID LIBID_XMLWEAVELib = MakeGuid("68162412-D7BA-475D-A7BF-B846BD5C6901");

// Result codes of the reader, reported to IDocumentHandler::Error and
// returned by IXMLReader::ParseW.
constexpr HRESULT XML_E_SYNTAX =
    static_cast<HRESULT>(0xC0050001u);  // syntax, premature end, mismatched end tag, failed callback
constexpr HRESULT XML_E_VERSIONEND =
    static_cast<HRESULT>(0xC0050003u);  // <schemaversion> without </schemaversion>
constexpr HRESULT XML_E_UNTYPEDVALUE = static_cast<HRESULT>(0xC0050004u);  // text inside a plain element
constexpr HRESULT XML_E_UNKNOWNTYPE =
    static_cast<HRESULT>(0xC0050005u);  // type attribute names none of the six types

// Implemented by the client; the reader calls it for every element. Strings
// and arrays belong to the reader and are valid only during the call. A
// failing return code stops the parse (StartDocument and CommentA excepted).
struct IDocumentHandler : IUnknown {
  virtual HRESULT StartDocument() = 0;
  virtual HRESULT EndDocument() = 0;
  virtual HRESULT FileVersionA(const char* szName, const char* szVersion) = 0;
  virtual HRESULT CommentA(const char* szComment) = 0;
  virtual HRESULT StartElementLongA(const char* szName, int32_t nVal) = 0;
  virtual HRESULT StartElementBoolA(const char* szName, int32_t bVal) = 0;
  virtual HRESULT StartElementFloatA(const char* szName, float fVal) = 0;
  virtual HRESULT StartElementStringA(const char* szName, const char* szVal) = 0;
  virtual HRESULT StartElementByteArrayA(const char* szName, uint32_t dwSize, const uint8_t* rgbyteVal) = 0;
  virtual HRESULT StartElementA(const char* szName) = 0;
  virtual HRESULT EndElementA(const char* szName) = 0;
  // Returning a failure aborts the parse.
  virtual HRESULT Error(HRESULT hr, uint32_t dwLine) = 0;
  virtual HRESULT StartElementLongArrayA(const char* szName, uint32_t dwSize, const int32_t* rglVal) = 0;
  static constexpr IID iid = MakeGuid("815F986C-2E0A-42C3-93E6-81CD3B7CECB1");
};

// The reader (coclass XMLReader).
struct IXMLReader : IUnknown {
  virtual HRESULT ParseW(const char16_t* szwFile) = 0;
  virtual HRESULT AddDocumentHandler(IDocumentHandler* newVal) = 0;
  // A new reference to the handler that receives the next call, or null.
  virtual HRESULT GetActiveDocumentHandler(IDocumentHandler** pVal) = 0;
  static constexpr IID iid = MakeGuid("25C4F127-3065-4679-8F51-46992F28DFEA");
};

// The writer (coclass XMLWriter): one call per line of the document.
struct IXMLWriter : IUnknown {
  virtual HRESULT WriteFileW(const char16_t* szwFile) = 0;
  virtual HRESULT StartDocumentA(const char* szName, const char* szVersion) = 0;
  virtual HRESULT EndDocument() = 0;
  virtual HRESULT CommentA(const char* szComment) = 0;
  virtual HRESULT StartElementLongA(const char* szName, int32_t nVal) = 0;
  virtual HRESULT StartElementBoolA(const char* szName, int32_t bVal) = 0;
  virtual HRESULT StartElementFloatA(const char* szName, float fVal) = 0;
  virtual HRESULT StartElementStringA(const char* szName, const char* szVal) = 0;
  virtual HRESULT StartElementByteArrayA(const char* szName, uint32_t dwSize, const uint8_t* rgbyteVal) = 0;
  virtual HRESULT StartElementA(const char* szName) = 0;
  virtual HRESULT EndElementA(const char* szName) = 0;
  virtual HRESULT StartElementLongArrayA(const char* szName, uint32_t dwSize, const int32_t* rglVal) = 0;
  virtual HRESULT get_ByteCount(int32_t* pVal) = 0;
  virtual HRESULT put_ByteCount(int32_t newVal) = 0;
  static constexpr IID iid = MakeGuid("E8DBC34A-FFAD-4254-B8B3-F51C979A48AA");
};
