// demo: the main job. On its own project ($DX47X_HOME/demo/demo.db, made
// anew on every run) it registers the modules, adds a DX 47x device, gives it
// a few messages through the plug-in's data model, downloads it completely,
// changes one character of a message text and downloads again (partially).
// Last it opens the editor on the device with a UI script that saves a
// screenshot of the main dialog as out/main_dialog.png and cancels.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

#include "cli.h"
#include "com/comptr.h"
#include "data/blockinfo.h"
#include "data/positions.h"
#include "data/records.h"
#include "download_view.h"
#include "host/download_executor.h"
#include "host/ext_data_bytes.h"
#include "host/modules.h"
#include "host/project_objects.h"
#include "printable.h"
#include "win/file.h"
#include "win/home.h"

namespace cli {
namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

HRESULT ReadBlob(IDevice* device, Blob* blob) {
  std::vector<uint8_t> bytes;
  HRESULT hr = host::ReadExtDataBytes(device, dx47x::blob::kKeyWide, &bytes);
  if (FAILED(hr)) return hr;
  if (bytes.size() != sizeof(Blob)) return E_UNEXPECTED;
  std::memcpy(blob, bytes.data(), sizeof(Blob));
  return S_OK;
}

HRESULT WriteBlob(IDevice* device, const Blob& blob) {
  return host::WriteExtDataBytes(device, dx47x::blob::kKeyWide, &blob, sizeof blob);
}

void SetText(dx470::PARAM& param, int slot, std::string_view text) {
  uint8_t* row = param.Lcd.Messages[slot].Text[0];
  std::memset(row, 0, 30);
  std::memcpy(row, text.data(), std::min<size_t>(text.size(), 30));
}

int Download(const host::Project& project, int64_t id, uint8_t mode, const char* what) {
  std::printf("== %s\n", what);
  host::DownloadResult r;
  {
    TerminalObserver observer;
    r = host::RunDownload(project, id, mode, &observer);
  }
  if (!r.succeeded) return Fail(std::string(what) + " failed: " + r.error);
  std::printf("%s\n", DownloadSummary(r).c_str());
  return kSuccess;
}

// A text as a quoted UI script text.
std::string ScriptText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

int SaveEditorScreenshot(const std::string& projectPath, const host::PhysicalAddress& address,
                         const std::string& folder) {
  std::printf("== editor screenshot\n");
  std::error_code ec;
  std::filesystem::create_directories("out", ec);
  const std::string png = std::filesystem::absolute("out/main_dialog.png").string();
  const std::string script = folder + "/screenshot.ui";
  {
    std::ofstream out(script, std::ios::trunc);
    out << "expect-dialog 201\nscreenshot " << ScriptText(png) << "\ncancel\n";
    if (!out) return Fail("cannot write the UI script " + script);
  }
  Context edit{projectPath, {address.ToString(), "--script", script}};
  if (CmdEdit(edit) != 3) return Fail("the screenshot of the editor could not be taken");
  std::printf("saved out/main_dialog.png\n");
  return kSuccess;
}

// The printed documentation as out/documentation.pdf, and its first page as
// a picture when poppler's pdftoppm is installed.
int SaveDocumentation(const std::string& projectPath, const host::PhysicalAddress& address) {
  std::printf("== documentation\n");
  Context print{projectPath, {address.ToString(), "--pdf", "out/documentation.pdf"}};
  if (int rc = CmdPrint(print); rc != kSuccess) return rc;
  if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) {
    std::printf("pdftoppm is not installed: no picture of the first page\n");
    return kSuccess;
  }
  if (std::system("pdftoppm -png -r 60 -f 1 -l 1 -singlefile out/documentation.pdf out/documentation") != 0)
    return Fail("pdftoppm could not turn out/documentation.pdf into a picture");
  std::printf("saved out/documentation.png\n");
  return kSuccess;
}

}  // namespace

int CmdDemo(Context& ctx) {
  if (!ctx.args.empty()) throw UsageError{"demo: unexpected argument " + ctx.args[0]};
  for (const std::string& path : host::KnownModulePaths()) {
    std::string error;
    if (FAILED(host::RegisterModule(path, false, &error))) return Fail(error);
  }

  const std::string folder = win::HomeDirectory() + "/demo";
  const std::string path = folder + "/demo.db";
  win::CreateDirectories(folder);
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  host::Project project = host::Project::Create(path, "Demo");
  std::printf("== project %s\n", Printable(path).c_str());

  host::PhysicalAddress address{1, 1, 10};
  host::DeviceTemplate product = host::Dx47xDeviceTemplate();
  product.data.name = "Entrance display";
  int64_t id = project.AddDevice(address, product);
  std::string error;
  if (FAILED(NotifyPlugin(project, id, std::nullopt, &error))) return Fail(error);
  std::printf("added device %s \"%s\" with the plug-in's default configuration\n", address.ToString().c_str(),
              product.data.name.c_str());

  // Three messages, as a user would enter them in the editor.
  com::ComPtr<IDevice> device;
  if (FAILED(host::MakeDeviceObject(project, id, &device))) return Fail("no device object");
  auto blob = std::make_unique<Blob>();
  if (HRESULT hr = ReadBlob(device.Get(), blob.get()); FAILED(hr))
    return Fail("the device has no readable configuration: " + CallError(hr));
  dx470::PARAM& param = blob->Current;
  dx470::DefineMessage(param, 0, 1, 0, false, "Welcome");
  SetText(param, 0, "Welcome to the lobby");
  dx470::DefineMessage(param, 1, 2, 2, false, "");
  SetText(param, 1, "Lights");
  dx470::DefineMessage(param, 2, 6, 0, false, "");
  SetText(param, 2, "Outside \x02 C");
  dx470::UpdateBlockInformation(param);
  if (FAILED(WriteBlob(device.Get(), *blob))) return Fail("cannot store the configuration");
  std::printf("configured 3 messages\n");

  if (int rc = Download(project, id, 0xFF, "complete download"); rc != kSuccess) return rc;

  ReadBlob(device.Get(), blob.get());
  blob->Current.Lcd.Messages[0].Text[0][0] = 'w';  // "welcome to the lobby"
  dx470::UpdateBlockInformation(blob->Current);
  if (FAILED(WriteBlob(device.Get(), *blob))) return Fail("cannot store the configuration");
  std::printf("changed one character of message 1\n");

  if (int rc = Download(project, id, 1, "partial download"); rc != kSuccess) return rc;
  if (int rc = SaveEditorScreenshot(path, address, folder); rc != kSuccess) return rc;
  return SaveDocumentation(path, address);
}

}  // namespace cli
