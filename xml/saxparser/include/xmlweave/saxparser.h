#pragma once
// CSaxParser: reads a file of the typed dialect block by block, cuts tags and
// values out of its text buffer, classifies them and reports each element to
// the active IDocumentHandler. Handlers pushed during a parse receive the
// subtree below the element that is open when they are added.
//
// Consuming text moves an offset; the buffer is compacted only when a read
// needs room and the consumed part is at least as large as what remains, so
// parsing takes time linear in the size of the input. Nothing recurses:
// nesting depth is bounded by memory only. No lock of its own: the reader
// object serialises access.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "com/comptr.h"
#include "xmlweave.h"
#include "xmlweave/codecs.h"
#include "xmlweave/inputsource.h"
#include "xmlweave/trace.h"

namespace xmlweave {

class CSaxParser {
 public:
  static constexpr uint32_t kBlockSize = 2048;

  CSaxParser();
  explicit CSaxParser(TraceChannel channel);
  ~CSaxParser();
  CSaxParser(const CSaxParser&) = delete;
  CSaxParser& operator=(const CSaxParser&) = delete;

  // Parses the whole input, then releases all handlers.
  HRESULT Parse(InputSource* source);
  HRESULT AddDocumentHandler(IDocumentHandler* handler);
  HRESULT GetActiveDocumentHandler(IDocumentHandler** handler);
  HRESULT RemoveDocumentHandler();

  // Scanner steps, usable on their own once Begin() bound a source.
  void Begin(InputSource* source);
  HRESULT ReadFileToString();
  // The next tag from '<' to '>' inclusive, empty when there is none. The
  // view is valid until the next read.
  HRESULT GetNextTag(std::string_view& tag);
  // The text up to the next '<'; left as it is when no '<' follows.
  HRESULT GetNextValue(std::string_view& value);
  HRESULT GetTagType(std::string_view tag, std::string& name, TagType& type, bool& empty);
  HRESULT CompareBeginNextEndTag(const std::string& name, bool& equal);
  static bool IsXmlHeaderTag(std::string_view tag);

  uint32_t Line() const { return m_line; }
  int32_t Depth() const { return m_depth; }
  bool EndOfInput() const { return m_eof; }
  std::string_view Buffered() const { return {m_buf.get() + m_begin, m_end - m_begin}; }
  // Block size of reads (tests and fuzzing move the block boundaries).
  void SetBlockSize(uint32_t size) { m_blockSize = size ? size : kBlockSize; }

 private:
  HRESULT FindWithRefill(char c, size_t from, size_t& pos);
  void Consume(size_t count) { m_begin += count; }
  void CountLines(std::string_view piece);
  bool EnsureRoom(size_t bytes);
  HRESULT ParseLoop();
  HRESULT ParseHeader();
  HRESULT ParseTag(std::string_view tag);
  // One kind of tag each, the name in m_name (dispatch.cpp).
  HRESULT BeginElement();
  HRESULT EndElement();
  HRESULT Comment();
  HRESULT FileVersion();
  HRESULT EmptyElement();
  HRESULT ParseTypedLeaf(TagType type, bool empty);
  HRESULT ParseArrayLeaf(TagType type, bool empty);
  HRESULT CheckEndTag();
  void ReportHandlerError(HRESULT code);
  void ReleaseAllHandlers();
  HRESULT Classify(std::string_view tag, std::string& name, TagType& type, bool& empty);
  // One kind of tag each (classify.cpp).
  HRESULT ClassifyVersion(std::string& name, TagType& type);
  HRESULT ClassifyComment(std::string_view tag, size_t at, std::string& name, TagType& type);
  HRESULT ClassifyEndTag(std::string_view tag, size_t at, std::string& name, TagType& type);
  HRESULT ClassifyPlainTag(std::string_view tag, std::string& name, TagType& type);
  HRESULT ClassifyTypedTag(std::string_view tag, std::string& name, TagType& type, bool& empty,
                           const char*& step);

  TraceChannel m_trace;
  InputSource* m_source = nullptr;
  bool m_sourceValid = false;
  uint32_t m_blockSize = kBlockSize;
  bool m_eof = false;
  bool m_parsing = false;
  std::unique_ptr<char[]> m_buf;
  size_t m_cap = 0, m_begin = 0, m_end = 0;
  uint32_t m_line = 1;
  int32_t m_depth = -1;

  com::ComPtr<IDocumentHandler> m_pDocumentHandler;
  std::vector<com::ComPtr<IDocumentHandler>> m_handlerStack;
  std::vector<int32_t> m_levelStack;
  std::vector<std::string> m_elementNameStack;

  // Scratch of the current tag, kept to reuse their storage.
  std::string m_name;
  std::string m_text;
  std::vector<uint8_t> m_bytes;
  std::vector<int32_t> m_longs;
};

}  // namespace xmlweave
