#include "pluginwinappbase/pluginwinappbase.h"

#include <cstdio>

#include "base/strings.h"
#include "com/cocreate.h"
#include "hostapi/services.h"
#include "win/file.h"
#include "win/modulepath.h"

namespace {

// Line feeds and tabs are written as \n and \t inside the file's lines.
std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 't')) {
      out += text[i + 1] == 'n' ? '\n' : '\t';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

CPluginWinAppBase::CPluginWinAppBase() : m_oLog("DX470") {}

CPluginWinAppBase& PluginApp() {
  static CPluginWinAppBase app;
  return app;
}

HRESULT CPluginWinAppBase::Init(const void* addressInModule) {
  std::string path = win::ModulePathOf(addressInModule);
  if (path.empty()) TRACE_ASSERT(m_oLog);
  return InitForModulePath(path);
}

HRESULT CPluginWinAppBase::InitForModulePath(const std::string& modulePath) {
  m_oLog.Trace(TRACE_LEVEL_INFO, "ModulName = '%s' ", modulePath.c_str());
  size_t slash = modulePath.rfind('/');
  m_strModuleDir = slash == std::string::npos ? std::string() : modulePath.substr(0, slash + 1);
  m_strModuleFile = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
  size_t dot = m_strModuleFile.rfind('.');
  m_strModuleBase = dot == std::string::npos ? m_strModuleFile : m_strModuleFile.substr(0, dot);

  HRESULT result = S_OK;
  com::ComPtr<ILocalise> localise;
  HRESULT hr = com::CreateInstance(CLSID_Localise, &localise);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "ptrILocalise.CoCreateInstance", hr);
    result = hr;
  } else {
    LCID lcid = 0;
    hr = localise->GetDefaultLCID(&lcid);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "pILocalise->GetDefaultLCID", hr);
      result = hr;
    } else {
      m_lcid = lcid;
    }
  }
  if (FAILED(result)) m_lcid = 1033;

  std::string suffix = base::Format("_%04x", unsigned(m_lcid & 0xFFFF));
  m_strHelpFile = m_strModuleDir + m_strModuleBase + suffix + ".hlp";
  m_strTranslateFile = m_strModuleDir + m_strModuleBase + suffix + ".rlg";
  m_oLog.Trace(TRACE_LEVEL_INFO, "Help File = '%s' ", m_strHelpFile.c_str());
  m_oLog.Trace(TRACE_LEVEL_INFO, "Translate File = '%s' ", m_strTranslateFile.c_str());
  {
    std::lock_guard lock(m_mutex);
    m_strContent.clear();
    m_bNotLoaded = true;
  }
  return result;
}

void CPluginWinAppBase::LoadTranslationFile() {
  m_bNotLoaded = false;
  m_strContent.clear();
  win::File file;
  // Only a regular file: a FIFO in its place would block the first
  // translation, and with it the dialog, for ever.
  const DWORD opened = file.Open(m_strTranslateFile, win::FileMode::ReadRegular);
  if (opened == win::kErrorNotRegularFile) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "rlg file '%s' is not a regular file", m_strTranslateFile.c_str());
    return;
  }
  if (opened != ERROR_SUCCESS) return;
  uint64_t size = 0;
  if (file.Size(size) != ERROR_SUCCESS || size < 1 || size > kMaxTranslationFileSize) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "invalid rlg file size 0x%8x", unsigned(size));
    return;
  }
  std::string buffer(size_t(size), '\0');
  DWORD read = 0;
  if (file.Read(buffer.data(), DWORD(size), &read) != ERROR_SUCCESS || read < size) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "rlg file read error");
    return;
  }
  TakeContent(buffer);
}

void CPluginWinAppBase::TakeContent(std::string_view content) {
  m_strContent.clear();
  m_strContent.reserve(content.size());
  for (char c : content)
    if (c != '\r') m_strContent += c;
}

void CPluginWinAppBase::SetTranslationContent(std::string_view content) {
  std::lock_guard lock(m_mutex);
  m_bNotLoaded = false;
  m_strContent.clear();
  if (content.size() > kMaxTranslationFileSize) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "invalid rlg file size 0x%8x", unsigned(content.size()));
    return;
  }
  TakeContent(content);
}

std::string CPluginWinAppBase::Translate(const std::string& key) {
  if (key.empty()) return key;
  std::lock_guard lock(m_mutex);
  if (m_bNotLoaded) {
    if (m_strTranslateFile.empty()) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d - Init ist noch nicht durchlaufen worden. Text '%s'", __LINE__,
                   key.c_str());
      return key;
    }
    LoadTranslationFile();
  }
  if (m_strContent.empty()) return key;

  const std::string escaped = Escape(key);
  size_t pos = 0;
  size_t found = std::string::npos;
  while ((pos = m_strContent.find(escaped, pos)) != std::string::npos) {
    size_t after = pos + escaped.size();
    // Only a whole line counts, and never the file's first line.
    if (pos > 0 && m_strContent[pos - 1] == '\n' &&
        (after == m_strContent.size() || m_strContent[after] == '\n')) {
      found = pos;
      break;
    }
    ++pos;
  }
  if (found == std::string::npos) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d - Text '%s' nicht gefunden", __LINE__, key.c_str());
    return key;
  }
  size_t keyEnd = found + escaped.size();
  if (keyEnd >= m_strContent.size()) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d - Endezeichen vom suchenden Text '%s' gefunden ", __LINE__,
                 key.c_str());
    return key;
  }
  size_t lineEnd = m_strContent.find('\n', keyEnd + 1);
  if (lineEnd == std::string::npos) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d - Endezeichen in Text '%s'vor gefunden Text gefunden ", __LINE__,
                 key.c_str());
    return key;
  }
  return Unescape(m_strContent.substr(keyEnd + 1, lineEnd - keyEnd - 1));
}
