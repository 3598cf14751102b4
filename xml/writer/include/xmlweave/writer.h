#pragma once
// CWriter: produces files of the typed dialect, one element per line with
// TAB indentation (both switchable), and counts every byte it writes.
//
// Output is buffered in user space and written in blocks of 64 KiB. The
// document goes to a temporary file beside the target ("name.~XXXXXX") that
// replaces the target only when Close has written everything, so a failed or
// abandoned document never leaves a half-written file over a good one. A
// target that exists and is not a regular file (a FIFO, a device such as
// /dev/null) is written in place instead: it cannot be replaced by a file.
// A write error is reported by the call that meets it, and by Close at the
// latest. A '\' in a path is a separator, as '/' is.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "base/hresult.h"
#include "win/file.h"
#include "xmlweave/codecs.h"
#include "xmlweave/trace.h"

namespace xmlweave {

class CWriter {
 public:
  static constexpr size_t kFlushSize = 64 * 1024;
  static constexpr size_t kBufferSize = 2 * kFlushSize;
  // Bytes behind the buffer's end that the copy of a line may overwrite:
  // its indent and type attribute are copied as fixed-size blocks.
  static constexpr size_t kLineSlack = 32;

  CWriter();
  explicit CWriter(TraceChannel channel);
  ~CWriter();
  CWriter(const CWriter&) = delete;
  CWriter& operator=(const CWriter&) = delete;

  HRESULT CreateFile(const std::string& path, bool tabs, bool lineEnds);
  // Ends the document: its end tag, then the temporary file replaces the
  // target. Nothing to do without an open file.
  HRESULT Close();
  // Drops the open document: the temporary file goes, the target keeps what
  // it held (a target written in place keeps what was written so far).
  void Abandon();
  HRESULT Write(std::string_view text, bool lineEnd = false);
  HRESULT WriteCrLf();
  HRESULT WriteTab(int32_t count);

  HRESULT StartDocument(const char* root, const char* version);
  HRESULT WriteElement(TagType type, const char* name, const char* value);
  // A number or boolean leaf: `text` is its value as written, which never
  // holds a character that needs encoding.
  HRESULT WriteNumberElement(TagType type, const char* name, std::string_view text);
  HRESULT WriteByteArrayElement(const char* name, uint32_t count, const uint8_t* bytes);
  HRESULT WriteLongArrayElement(const char* name, uint32_t count, const int32_t* values);
  HRESULT WriteBeginElement(const char* name);
  HRESULT WriteEndElement(const char* name);
  HRESULT WriteCommentElement(const char* text);

  // Creates the folders of a file's path that are missing.
  HRESULT CreatePathDirectories(const std::string& path);

  // Removes what writers of `target` that died before Close left beside it:
  // regular files "name.~XXXXXX" (six letters or digits) whose lock no live
  // writer holds. Called by CreateFile; the files of other targets, and
  // anything else, stay.
  static void RemoveStaleTemporaries(const std::string& target);

  uint32_t ByteCount() const { return m_byteCount; }
  void SetByteCount(uint32_t count) { m_byteCount = count; }
  int32_t Depth() const { return m_depth; }
  bool IsOpen() const { return m_file.IsOpen(); }

 private:
  // Hands bytes to the buffer (counted); EndWrite ends one write: it flushes
  // a full buffer and answers the first failure since the last one.
  void Put(const char* data, size_t size) {
    m_byteCount += uint32_t(size);
    if (size <= kBufferSize - m_len) {
      std::memcpy(m_buf.get() + m_len, data, size);
      m_len += size;
    } else {
      PutLarge(data, size);
    }
  }
  void Put(std::string_view s) { Put(s.data(), s.size()); }
  template <size_t N>
  void PutLiteral(const char (&s)[N]) {
    Put(s, N - 1);
  }
  void PutLarge(const char* data, size_t size);
  HRESULT EndWrite() {
    // Most writes neither fill the buffer nor follow a failed flush.
    return m_len < kFlushSize && SUCCEEDED(m_putError) ? S_OK : EndWriteSlow();
  }
  HRESULT EndWriteSlow();
  HRESULT WriteOut(const char* data, size_t size);
  HRESULT Append(std::string_view bytes);
  void AppendIndent();
  void PutTabs(int32_t count);
  HRESULT PutLeaf(std::string_view name, TagType type, std::string_view text);
  // One line of the document: the indent, `pieces` and the line end, as one
  // write (defined beside the elements that use it).
  template <class... Pieces>
  HRESULT PutLine(const Pieces&... pieces);
  // Ends a line: the line end when wanted and enabled, then EndWrite.
  HRESULT EndLine(bool lineEnd);
  HRESULT Flush();
  HRESULT OpenTemporary(DWORD& err);
  HRESULT CreateLockedTemporary(const std::string& target, int& fd, std::string& name, DWORD& err);
  void CloseFiles();
  HRESULT WriteArrayElement(const char* name, TagType type, bool isNull, HRESULT prepared,
                            const char* failText);

  TraceChannel m_trace;
  win::File m_file;
  std::string m_target;     // the file that the document replaces at Close
  std::string m_temporary;  // where it is written until then; empty when in place
  int m_lockFd = -1;        // holds the temporary file's lock until Close
  int32_t m_depth = -1;
  std::string m_root;
  bool m_tabs = true;
  bool m_lineEnds = true;
  uint32_t m_byteCount = 0;
  std::unique_ptr<char[]> m_buf;  // bytes not yet handed to the system
  size_t m_len = 0;
  HRESULT m_putError = S_OK;    // failure of a flush inside the current write
  HRESULT m_writeError = S_OK;  // first failed write of the open file
  std::string m_scratch;
  std::string m_content;  // base64 or list text of the current array element
};

}  // namespace xmlweave
