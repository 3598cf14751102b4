#include "base/hresult.h"

#include <cstdio>

namespace base {
namespace {

struct Message {
  uint32_t code;
  const char* text;
};

// Messages of the HRESULTs that this system produces or meets.
constexpr Message kHResultMessages[] = {
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004004, "Operation aborted"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80030001, "Unable to perform requested operation."},
    {0x80030009, "Invalid pointer error."},
    {0x80030057, "The parameter is incorrect."},
    {0x80030070, "There is insufficient disk space to complete operation."},
    {0x80040110, "Class does not support aggregation (or class object is remote)"},
    {0x80040111, "ClassFactory cannot supply requested class"},
    {0x80040150, "Could not read key from registry"},
    {0x80040151, "Could not write key to registry"},
    {0x80040154, "Class not registered"},
    {0x800401F8, "DLL for class not found"},
    {0x800401F9, "Error in the DLL"},
    {0x80020005, "Type mismatch."},
    {0x80020008, "Bad variable type."},
    {0x8002000A, "Out of present range."},
    {0x8002000B, "Invalid index."},
    {0x8002000D, "Memory is locked."},
    {0x8002802B, "Element not found."},
    {0x80090007, "Bad Version of provider."},
};

// Messages of the Win32 errors; a HRESULT 0x8007xxxx shows the message of xxxx.
constexpr Message kWin32Messages[] = {
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough storage is available to process this command."},
    {11, "An attempt was made to load a program with an incorrect format."},
    {13, "The data is invalid."},
    {14, "Not enough storage is available to complete this operation."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {32, "The process cannot access the file because it is being used by another process."},
    {33, "The process cannot access the file because another process has locked a portion of the file."},
    {38, "Reached the end of the file."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {131, "An attempt was made to move the file pointer before the beginning of the file."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {1009, "The configuration registry database is corrupt."},
    {1010, "The configuration registry key is invalid."},
    {1011, "The configuration registry key could not be opened."},
    {1012, "The configuration registry key could not be read."},
    {1013, "The configuration registry key could not be written."},
    {1015, "The registry is corrupted."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1168, "Element not found."},
    {1383, "The local security authority database contains an internal inconsistency."},
};

const char* Find(const Message* table, size_t n, uint32_t code) {
  for (size_t i = 0; i < n; ++i)
    if (table[i].code == code) return table[i].text;
  return nullptr;
}

}  // namespace

std::string MessageText(HRESULT hr) {
  uint32_t code = uint32_t(hr);
  if (code == 0) return "The operation completed successfully.";
  if (const char* t = Find(kHResultMessages, std::size(kHResultMessages), code)) return t;
  // Win32 errors, as HRESULTs (0x8007xxxx) or as plain error numbers.
  uint32_t win32 = (code & 0xFFFF0000u) == 0x80070000u ? (code & 0xFFFFu) : code < 0x10000u ? code : 0;
  if (win32 != 0)
    if (const char* t = Find(kWin32Messages, std::size(kWin32Messages), win32)) return t;
  return std::string();
}

std::string ErrorText(HRESULT hr) {
  if (hr == 0) return std::string();
  char head[16];
  std::snprintf(head, sizeof head, "[0x%08X]", uint32_t(hr));
  std::string message = MessageText(hr);
  if (message.empty()) return head;
  return std::string(head) + " ( " + message + ") ";
}

}  // namespace base
