// export-lcd and import-lcd: the editor's own parameter-file export and
// import, run on a device without windows. The plug-in is reached only
// through COM: its editor runs a UI script that answers the file dialog with
// the file, chooses the File menu command and leaves with OK, which saves
// the configuration as the editor's OK always does. The script's report is
// captured; a message box that the command shows means it failed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "cli.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "host/project_objects.h"
#include "host/services.h"
#include "hostapi/plugin.h"
#include "printable.h"
#include "win/file.h"

namespace cli {
namespace {

constexpr int kMenuImport = 32768, kMenuExport = 32769, kMenuDelete = 32772, kMenuPrint = 32776;

// A file removed with the object.
class TempFile {
 public:
  TempFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dx47x-lcd-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot create a temporary file");
    ::close(fd);
    m_path = pattern;
  }
  ~TempFile() { std::remove(m_path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

// Sends standard output to a temporary file while it lives; Text() ends the
// capture and answers what was written.
class StdoutCapture {
 public:
  StdoutCapture() {
    Flush();
    m_saved = ::dup(STDOUT_FILENO);
    m_file = std::tmpfile();
    if (m_saved < 0 || !m_file || ::dup2(::fileno(m_file), STDOUT_FILENO) < 0) {
      Restore();
      throw std::runtime_error("cannot capture the editor's report");
    }
  }
  ~StdoutCapture() { Restore(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Text() {
    Restore();
    return m_text;
  }

 private:
  static void Flush() {
    std::cout.flush();
    std::fflush(stdout);
  }
  void Restore() {
    if (m_saved >= 0) {
      Flush();
      ::dup2(m_saved, STDOUT_FILENO);
      ::close(m_saved);
      m_saved = -1;
    }
    if (m_file) {
      std::rewind(m_file);
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0;) m_text.append(buffer, n);
      std::fclose(m_file);
      m_file = nullptr;
    }
  }

  int m_saved = -1;
  std::FILE* m_file = nullptr;
  std::string m_text;
};

// A path as a script text: quotes, backslashes and control codes escaped.
std::string ScriptText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 32 || c == 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

// The script: the file answer, the command, then OK. A "no" is queued for
// the first message box: a failing command shows an OK box, which does not
// offer "no", so the run fails and nothing is saved; after a command that
// succeeded the Delete question takes the "no", and nothing is deleted.
std::string CommandScript(int menu, const std::string& path) {
  std::ostringstream s;
  s << "file " << ScriptText(path) << "\nanswer no\nmenu " << menu << "\nmenu " << kMenuDelete << "\nok\n";
  return s.str();
}

// Undoes the report's escapes (\n, \t, \xNN, \", \\).
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'n')
      out += '\n';
    else if (c == 't')
      out += '\t';
    else if (c == 'x' && i + 2 < text.size()) {
      out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      out += c;
  }
  return out;
}

// The text of the first message box in the report, on one line; else the
// report's first script failure; else "".
std::string FailureText(const std::string& report) {
  std::istringstream lines(report);
  std::string firstProblem;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("box: ", 0) == 0) {
      const size_t text = line.find(": ", 5);
      const size_t answer = line.rfind(" -> ");
      if (text == std::string::npos || answer == std::string::npos || answer < text) continue;
      std::string message, part;
      std::istringstream parts(Unescape(line.substr(text + 2, answer - text - 2)));
      while (std::getline(parts, part))
        if (!part.empty()) message += (message.empty() ? "" : " ") + part;
      return message;
    }
    if (firstProblem.empty() && line.rfind("script:", 0) == 0) firstProblem = line;
  }
  return firstProblem;
}

// Runs the editor on the device with `scriptText` instead of windows; the
// editor's result, its report in `report`.
HRESULT RunScriptedEditor(Context& ctx, const host::PhysicalAddress& target, const std::string& scriptText,
                          std::string& report, std::string& error) {
  host::Project project = host::Project::Open(ctx.projectPath);
  const int64_t id = project.DeviceAt(target);
  if (std::optional<std::string> problem = host::ConfigurationProblem(project, id)) {
    error = *problem;
    return E_FAIL;
  }
  com::ComPtr<IDevice> device;
  HRESULT hr = host::MakeDeviceObject(project, id, &device);
  if (FAILED(hr)) {
    error = "cannot create the device object " + CallError(hr);
    return hr;
  }
  com::ComPtr<IDeviceUI> editor;
  hr = CoCreateInstance(CLSID_DX470UI, nullptr, CLSCTX_INPROC_SERVER, IDeviceUI::iid, editor.PpvSlot());
  if (FAILED(hr)) {
    error = "the plug-in's editor is not available " + CallError(hr) +
            (hr == REGDB_E_READREGDB ? "" : " (run 'dx47x-host register')");
    return hr;
  }
  IUnknown* object = device.Get();
  hr = editor->SetDevice(1, &object);
  if (FAILED(hr)) {
    error = "the plug-in refused the device " + CallError(hr);
    return hr;
  }
  TempFile script;
  std::ofstream(script.Path(), std::ios::trunc) << scriptText;
  StdoutCapture capture;
  {
    const host::EditorScript hostScript(script.Path());  // the editor asks the host for it
    SetErrorInfo(0, nullptr);
    hr = editor->Edit();
  }
  report = capture.Text();
  if (FAILED(hr) && hr != EDIT_E_SCRIPT_FAILED && hr != E_ABORT)
    error = "the editor failed: " + CallError(hr);
  return hr;
}

int RunFileCommand(Context& ctx, const std::string& command, int menu) {
  if (ctx.args.size() != 2) throw UsageError{command + ": expected ADDRESS FILE"};
  const host::PhysicalAddress target = AddressArg(command, ctx.args[0]);
  const std::string path = std::filesystem::absolute(ctx.args[1]).string();
  // The editor refuses such a file too, but only as "Failed to open file".
  if (menu == kMenuImport) {
    if (const DWORD e = win::CheckRegularFile(path); e == win::kErrorNotRegularFile)
      return Fail("cannot read " + path + ": " + win::FileErrorText(e) + " Nothing was changed.");
  }
  std::string report, error;
  const HRESULT hr = RunScriptedEditor(ctx, target, CommandScript(menu, path), report, error);
  if (hr == S_OK) {
    if (menu == kMenuExport)
      std::printf("exported the texts of device %s to %s\n", target.ToString().c_str(),
                  Printable(path).c_str());
    else
      std::printf("imported the texts of %s into device %s\n", Printable(path).c_str(),
                  target.ToString().c_str());
    return kSuccess;
  }
  if (hr == EDIT_E_SCRIPT_FAILED) {
    const std::string why = FailureText(report);
    return Fail(why.empty() ? command + " failed; nothing was changed" : why);
  }
  return Fail(error.empty() ? "the editor failed: " + CallError(hr) : error);
}

}  // namespace

int CmdExportLcd(Context& ctx) { return RunFileCommand(ctx, "export-lcd", kMenuExport); }
int CmdImportLcd(Context& ctx) { return RunFileCommand(ctx, "import-lcd", kMenuImport); }

// print: the editor's "Print documentation" with the print dialog answered
// by a PDF file at the given resolution; the configuration stays as it is.
int CmdPrint(Context& ctx) {
  std::optional<std::string> address, pdf;
  int dpi = 300;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--pdf") {
      pdf = OptionValue("print", ctx.args, &i);
    } else if (a == "--dpi") {
      const std::string value = OptionValue("print", ctx.args, &i);
      if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError{"print: --dpi takes a resolution in dots per inch"};
      dpi = std::stoi(value);
    } else if (a.rfind("--", 0) == 0 || address) {
      throw UsageError{"print: unexpected argument " + a};
    } else {
      address = a;
    }
  }
  if (!address || !pdf) throw UsageError{"print: expected ADDRESS --pdf FILE [--dpi N]"};
  const host::PhysicalAddress target = AddressArg("print", *address);
  const std::string path = std::filesystem::absolute(*pdf).string();
  std::ostringstream script;
  script << "printer " << dpi << " " << ScriptText(path) << "\nanswer no\nmenu " << kMenuPrint << "\nmenu "
         << kMenuDelete << "\ncancel\n";
  std::string report, error;
  const HRESULT hr = RunScriptedEditor(ctx, target, script.str(), report, error);
  if (hr == EDIT_E_SCRIPT_FAILED) {
    const std::string why = FailureText(report);
    return Fail(why.empty() ? "print failed" : why);
  }
  if (hr != E_ABORT) return Fail(error.empty() ? "the editor failed: " + CallError(hr) : error);
  if (!std::filesystem::exists(path)) return Fail("the documentation could not be written to " + path);
  std::printf("printed the documentation of device %s to %s (%d dpi)\n", target.ToString().c_str(),
              Printable(path).c_str(), dpi);
  return kSuccess;
}

}  // namespace cli
