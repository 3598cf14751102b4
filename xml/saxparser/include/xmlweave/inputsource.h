#pragma once
// Where the parser reads from: an open file, or bytes in memory (tests and
// fuzzing). A read returns fewer bytes than asked only at the end.
#include <cstdint>
#include <string_view>

#include "base/hresult.h"
#include "win/file.h"

namespace xmlweave {

class InputSource {
 public:
  virtual ~InputSource() = default;
  virtual bool IsValid() const = 0;
  // Reads up to `size` bytes into `dst`; ERROR_SUCCESS or a Win32 error.
  virtual DWORD Read(char* dst, uint32_t size, uint32_t* got) = 0;
};

// A borrowed open file.
class FileSource final : public InputSource {
 public:
  explicit FileSource(win::File& file) : m_file(file) {}
  bool IsValid() const override { return m_file.IsOpen(); }
  DWORD Read(char* dst, uint32_t size, uint32_t* got) override { return m_file.Read(dst, size, got); }

 private:
  win::File& m_file;
};

// Bytes in memory. A read that would go past `failAt` fails with
// ERROR_READ_FAULT (to test read failures).
class MemorySource final : public InputSource {
 public:
  explicit MemorySource(std::string_view data, size_t failAt = SIZE_MAX) : m_data(data), m_failAt(failAt) {}
  bool IsValid() const override { return true; }
  DWORD Read(char* dst, uint32_t size, uint32_t* got) override;

 private:
  std::string_view m_data;
  size_t m_pos = 0;
  size_t m_failAt;
};

}  // namespace xmlweave
