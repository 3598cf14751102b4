#pragma once
// CDX470Image: the memory segments and the procedure list of one download
// step, in the form exchanged with the host's download machinery. The image
// owns what it holds (segment buffers in task memory, the procedure list in
// movable global memory) until it hands it over with Detach.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "com/memory.h"
#include "com/stream.h"
#include "hostapi/download.h"

class CDX470Image {
 public:
  // Segment type of device memory.
  static constexpr uint32_t kDeviceMemory = 2;
  // The procedure buffer grows in steps of this many bytes.
  static constexpr size_t kProcedureStep = 4096;

  CDX470Image() = default;
  ~CDX470Image();
  CDX470Image(const CDX470Image&) = delete;
  CDX470Image& operator=(const CDX470Image&) = delete;

  // Appends a zero-filled segment (and a zero-filled second buffer when
  // `second`). E_UNEXPECTED when a segment of that type (and identifier, for
  // types 4 and 5) already contains `start`, E_INVALIDARG when the range
  // passes the end of the 32-bit address space, E_OUTOFMEMORY with the list
  // unchanged when memory runs out.
  HRESULT AddImageSegment(uint32_t type, uint32_t identifier, uint32_t start, uint32_t length, bool second);
  // The first segment of that type (and identifier) containing `address`.
  ImageSegment* FindImageSegment(uint32_t type, uint32_t identifier, uint32_t address);

  // Appends n bytes of procedure records under `guid`. The first append
  // fixes the list's GUID; another GUID later is refused with E_UNEXPECTED
  // and the list stays as it was. n = 0 does nothing.
  HRESULT AppendProcedure(const GUID& guid, const void* bytes, size_t n);
  void ClearProcedures();
  void ClearSegments();

  // Loads a procedure list that the host returned: the first 16 bytes are
  // its GUID, the rest are records appended under it. A null stream or one
  // shorter than 17 bytes adds nothing.
  HRESULT Init(IStream* stream);

  // Hands the segments to `segments` and the procedure list, as a stream
  // over global memory that frees it on release, to `stream` (null when
  // there are no procedures). A null output discards that part.
  HRESULT Detach(ImageSegmentList* segments, IStream** stream);

  // Takes over a segment list handed in by the host; the list is emptied.
  void TakeOver(ImageSegmentList* segments);

  uint32_t SegmentCount() const { return m_nSegments; }
  const ImageSegment* Segments() const { return m_pSegments; }
  uint32_t ProcedureBytes() const { return m_nProcedureBytes; }
  const GUID& ProcedureGuid() const { return m_guidProcedure; }
  // A copy of the procedure records (without the GUID).
  std::vector<uint8_t> Procedures() const;

 private:
  uint32_t m_nSegments = 0;
  ImageSegment* m_pSegments = nullptr;
  com::GlobalMem m_hProcedures;
  uint32_t m_nProcedureBytes = 0;
  GUID m_guidProcedure{};
};
