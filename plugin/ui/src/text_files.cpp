// Parameter files: the file logic, then the File menu's dialogs around it.
#include "editor/text_files.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "data/blockinfo.h"
#include "data/dx470data.h"
#include "data/records.h"
#include "download/lcdimage.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"
#include "win/file.h"

namespace editor {
namespace {

// The caption of boxes that name no caption of their own.
constexpr const char* kApplicationTitle = "DX47x";

// Reads the whole file, refusing one longer than an image buffer without
// reading past it.
std::optional<std::vector<uint8_t>> ReadContent(win::File& file) {
  uint64_t length = 0;
  if (file.Size(length) != ERROR_SUCCESS || length > dx470::kImageBufferSize) return std::nullopt;
  std::vector<uint8_t> content(dx470::kImageBufferSize, 0);
  DWORD read = 0;
  if (file.Read(content.data(), DWORD(content.size()), &read) != ERROR_SUCCESS || read != length)
    return std::nullopt;
  content.resize(read);
  return content;
}

// Makes an existing read-only file writable; answers the permissions to put
// back when the replacement fails.
std::optional<std::filesystem::perms> MakeWritable(const std::string& path) {
  namespace fs = std::filesystem;
  if (!win::FileExists(path) || win::IsWritable(path)) return std::nullopt;
  std::error_code ec;
  const fs::perms old = fs::status(path, ec).permissions();
  if (ec) return std::nullopt;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
  if (ec) return std::nullopt;
  return old;
}

std::string Filter() {
  const std::string ext = kTextFileExtension;
  return Translate("Parameter files") + " (*." + ext + ")|*." + ext + "|" + Translate("All Files") +
         " (*.*)|*.*||";
}

void Box(const std::string& caption, const std::string& text, ui::Icon icon) {
  ui::Services().MessageBox({caption, text, ui::Buttons::Ok, icon, 0, true});
}

}  // namespace

bool CheckTextFile(const uint8_t* content, size_t size) {
  return size <= dx470::kImageBufferSize && dx470::CheckBlockInformation(content, size);
}

TextFileStatus ReadTextFile(const std::string& path, CDX470Data& data) {
  win::File file;
  // Only a regular file: a FIFO would block the editor for ever.
  if (file.Open(path, win::FileMode::ReadRegular) != ERROR_SUCCESS) return TextFileStatus::OpenFailed;
  const std::optional<std::vector<uint8_t>> content = ReadContent(file);
  if (!content || !CheckTextFile(content->data(), content->size())) return TextFileStatus::InvalidData;
  // Everything is cleared, the head taken over and both fonts unpacked;
  // damaged font data leaves the configuration as it was.
  if (!dx470::BuildLcdImage(content->data(), content->size(), data.Param()).ok())
    return TextFileStatus::InvalidData;
  return TextFileStatus::Ok;
}

TextFileStatus WriteTextFile(const std::string& path, CDX470Data& data) {
  // The image build stores font offsets and checksum: work on a copy so
  // that a failed export changes nothing.
  auto work = std::make_unique<dx470::PARAM>(data.Param());
  dx470::UpdateBlockInformation(*work);
  auto buffer = std::make_unique<dx470::ImageBuffer>();
  buffer->fill(0);
  const dx470::ImageResult image = dx470::BuildLcdImage(*work, *buffer);
  if (!image.ok()) return TextFileStatus::SaveFailed;

  const std::optional<std::filesystem::perms> restore = MakeWritable(path);
  if (win::WriteFileAtomic(path, buffer->data(), dx470::kImagePrefixSize + image.length) != ERROR_SUCCESS) {
    std::error_code ec;
    if (restore) std::filesystem::permissions(path, *restore, std::filesystem::perm_options::replace, ec);
    return TextFileStatus::SaveFailed;
  }
  data.Param() = *work;
  data.Blob().ImageLength = image.length;
  return TextFileStatus::Ok;
}

int ImportFile(CDX470Data& data, std::string& lastPath) {
  dx470::UpdateBlockInformation(data.Param());
  const std::string ext = kTextFileExtension;
  const ui::FileDialogSpec request{
      false, Translate("Import texts"), Filter(), {}, "*." + ext, ui::kFileMustExist | ui::kHideReadOnly};
  const std::optional<std::string> path = ui::Services().FileDialog(request);
  if (!path) return ui::IDCANCEL;

  TextFileStatus status;
  {
    ui::WaitCursor wait;
    status = ReadTextFile(*path, data);
  }
  if (status == TextFileStatus::OpenFailed) {
    Box(Translate("Warning"), Translate("Failed to open file"), ui::Icon::Question);
    return ui::IDCANCEL;
  }
  if (status != TextFileStatus::Ok) {
    Box(Translate("Warning"),
        Translate("File does not contain valid data!") + "\n\n" +
            Translate("No data will be read from file."),
        ui::Icon::Question);
    return ui::IDCANCEL;
  }
  lastPath = *path;
  return ui::IDOK;
}

bool ExportFile(CDX470Data& data, std::string& lastPath, const std::string& target) {
  dx470::UpdateBlockInformation(data.Param());
  std::string path = target;
  if (path.empty()) {
    const std::string initial = lastPath.empty() ? "*." + std::string(kTextFileExtension) : lastPath;
    const ui::FileDialogSpec request{
        true, Translate("Export texts"), Filter(), {}, initial, ui::kPathMustExist | ui::kHideReadOnly};
    const std::optional<std::string> chosen = ui::Services().FileDialog(request);
    if (!chosen) return false;
    path = *chosen;
  }

  TextFileStatus status;
  {
    ui::WaitCursor wait;
    status = WriteTextFile(path, data);
  }
  if (status != TextFileStatus::Ok) {
    Box(kApplicationTitle, Translate("Failed to save file"), ui::Icon::Warning);
    return false;
  }
  lastPath = path;
  return true;
}

}  // namespace editor
