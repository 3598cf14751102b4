#pragma once
// Parameter files ("LCD"): the whole configuration of a display in its
// device-image form (PARAM's 34 leading bytes, then the LCD image with both
// fonts packed), accepted back only when its three checksums agree. The
// main dialog's File menu imports and exports them; the file logic itself
// needs no dialog.
#include <cstddef>
#include <cstdint>
#include <string>

class CDX470Data;

namespace editor {

inline constexpr const char* kTextFileExtension = "LCD";

enum class TextFileStatus : uint8_t {
  Ok,
  OpenFailed,   // import: the file cannot be opened or is not a regular file
  InvalidData,  // import: read error, too long, checksum or font data wrong
  SaveFailed,   // export: the image cannot be built, or create/write failed
};

// True when `content` (the `size` bytes of a whole file) holds a parameter
// file whose three checksums match. Nothing outside content[0..size) is read.
bool CheckTextFile(const uint8_t* content, size_t size);

// Replaces the current configuration of `data` with the file's; on any
// failure the configuration stays as it was.
TextFileStatus ReadTextFile(const std::string& path, CDX470Data& data);

// Writes the current configuration of `data` to `path`: the bytes go beside
// the target and replace it in one step, so a failed write keeps the old
// file; a read-only target is made writable first. On success the block
// information (with the image's font offsets and checksum) goes into the
// configuration and the image length into the data object; on failure
// nothing changes.
TextFileStatus WriteTextFile(const std::string& path, CDX470Data& data);

// File menu "Import texts": asks for a file with the platform's open dialog
// and imports it. IDOK when the configuration was replaced (`lastPath` is
// then the file), IDCANCEL otherwise; failures are reported in message boxes.
int ImportFile(CDX470Data& data, std::string& lastPath);

// File menu "Export texts": writes to `target`, or, when it is empty, to the
// file chosen in the save dialog. True when the file was written (`lastPath`
// is then the file).
bool ExportFile(CDX470Data& data, std::string& lastPath, const std::string& target = {});

}  // namespace editor
