#pragma once
// Localisation and help of the plug-in: finds the translation file and the
// help file beside the module by the host's language, and translates the
// English key texts of every dialog, message box and status text.
#include <mutex>
#include <string>
#include <string_view>

#include "base/types.h"
#include "logger/logger.h"

// Largest translation file accepted, in bytes.
constexpr size_t kMaxTranslationFileSize = 51199;

class CPluginWinAppBase {
 public:
  CPluginWinAppBase();

  // Reads the module's own path from an address inside it, asks the host's
  // localisation service for the language and derives the help and
  // translation file paths. On failure the language stays 1033 and the
  // failure code is returned. The translation file is read on first use.
  HRESULT Init(const void* addressInModule);
  // Same, for a given module file path (tests, tools).
  HRESULT InitForModulePath(const std::string& modulePath);

  // The translation of an English key, or the key itself. Returned by value:
  // a result never changes under a caller's feet.
  std::string Translate(const std::string& key);

  // Takes `content` as the bytes of the translation file, which is then not
  // read (tests, tools): content longer than kMaxTranslationFileSize leaves
  // no translations, as such a file does.
  void SetTranslationContent(std::string_view content);

  const std::string& HelpFilePath() const { return m_strHelpFile; }
  const std::string& TranslationFilePath() const { return m_strTranslateFile; }
  const std::string& ModuleDirectory() const { return m_strModuleDir; }
  LCID LanguageId() const { return m_lcid; }

 private:
  // Reads the translation file: a regular file of 1 to
  // kMaxTranslationFileSize bytes, anything else leaves no translations.
  void LoadTranslationFile();
  void TakeContent(std::string_view content);  // drops carriage returns

  CLogger m_oLog;
  std::string m_strModuleDir;   // ends with '/'
  std::string m_strModuleFile;  // file name with extension
  std::string m_strModuleBase;  // file name without extension
  std::string m_strHelpFile;
  std::string m_strTranslateFile;
  LCID m_lcid = 1033;
  std::string m_strContent;  // the translation file, carriage returns removed
  bool m_bNotLoaded = true;
  std::mutex m_mutex;
};

// The plug-in's single instance, reached by every dialog.
CPluginWinAppBase& PluginApp();

// Shorthand for PluginApp().Translate(key).
inline std::string Translate(const std::string& key) { return PluginApp().Translate(key); }
