#pragma once
// The host's own services, registered in-process so that plug-ins create
// them by class identifier: localisation (ILocalise) and tracing.
#include <string>
#include <vector>

#include "base/types.h"

namespace host {

// The host's language: DX47X_LCID (decimal or 0x-hex), else the locale of
// LC_ALL / LC_MESSAGES / LANG (de → 1031, en → 1033, ...), else 1033.
LCID HostLanguage();

// Registers the services for the lifetime of the object.
class HostServices {
 public:
  HostServices();
  ~HostServices();
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

 private:
  std::vector<DWORD> cookies_;
};

// Hands the editor a UI script to run instead of windows (IEditorScript)
// for the lifetime of the object.
class EditorScript {
 public:
  explicit EditorScript(const std::string& path);
  ~EditorScript();
  EditorScript(const EditorScript&) = delete;
  EditorScript& operator=(const EditorScript&) = delete;

 private:
  DWORD cookie_ = 0;
};

}  // namespace host
