#include "download/image.h"

#include <cstring>
#include <limits>

#include "com/comptr.h"

namespace {

// Types 4 and 5 tell their segments apart by the identifier too.
bool SameKind(const ImageSegment& s, uint32_t type, uint32_t identifier) {
  if (s.type != type) return false;
  return (type != 4 && type != 5) || s.identifier == identifier;
}

bool Contains(const ImageSegment& s, uint32_t address) {
  return address >= s.start && address - s.start < s.length;
}

void FreeBuffers(ImageSegment& s) {
  CoTaskMemFree(s.data);
  CoTaskMemFree(s.second);
  s.data = s.second = nullptr;
}

// A zero-filled task-memory block; 0 bytes still yield a block.
uint8_t* ZeroedBlock(uint32_t length) {
  auto* p = static_cast<uint8_t*>(CoTaskMemAlloc(length));
  if (p) std::memset(p, 0, length);
  return p;
}

}  // namespace

CDX470Image::~CDX470Image() {
  ClearSegments();
  ClearProcedures();
}

HRESULT CDX470Image::AddImageSegment(uint32_t type, uint32_t identifier, uint32_t start, uint32_t length,
                                     bool second) {
  if (uint64_t(start) + length > (uint64_t(1) << 32)) return E_INVALIDARG;
  if (FindImageSegment(type, identifier, start)) return E_UNEXPECTED;
  if (m_nSegments == std::numeric_limits<uint32_t>::max()) return E_OUTOFMEMORY;

  ImageSegment segment{type, identifier, start, length, ZeroedBlock(length), nullptr};
  if (second) segment.second = ZeroedBlock(length);
  if (!segment.data || (second && !segment.second)) {
    FreeBuffers(segment);
    return E_OUTOFMEMORY;
  }
  const size_t bytes = (size_t(m_nSegments) + 1) * sizeof(ImageSegment);
  auto* grown = static_cast<ImageSegment*>(CoTaskMemRealloc(m_pSegments, bytes));
  if (!grown) {
    FreeBuffers(segment);
    return E_OUTOFMEMORY;
  }
  m_pSegments = grown;
  m_pSegments[m_nSegments++] = segment;
  return S_OK;
}

ImageSegment* CDX470Image::FindImageSegment(uint32_t type, uint32_t identifier, uint32_t address) {
  for (uint32_t i = 0; i < m_nSegments; ++i) {
    ImageSegment& s = m_pSegments[i];
    if (SameKind(s, type, identifier) && Contains(s, address)) return &s;
  }
  return nullptr;
}

HRESULT CDX470Image::AppendProcedure(const GUID& guid, const void* bytes, size_t n) {
  if (n == 0) return S_OK;
  if (!bytes) return E_POINTER;
  if (m_hProcedures && !(guid == m_guidProcedure)) return E_UNEXPECTED;

  // GUID + records so far + n, rounded up to the next step; all of it must
  // stay within 32 bits, the size the host's lists are counted in.
  constexpr size_t kLimit = std::numeric_limits<uint32_t>::max() - (kProcedureStep - 1);
  const size_t used = 16 + size_t(m_nProcedureBytes);
  if (n > kLimit - used) return E_OUTOFMEMORY;
  const size_t needed = used + n;
  const size_t capacity = (needed + kProcedureStep - 1) / kProcedureStep * kProcedureStep;

  if (!m_hProcedures) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, capacity);
    if (!h) return E_OUTOFMEMORY;
    com::GlobalMem block(h);
    {
      com::GlobalLockGuard lock(h);
      if (!lock.Get()) return E_OUTOFMEMORY;
      std::memcpy(lock.Get(), &guid, sizeof(GUID));
    }
    m_hProcedures = std::move(block);
    m_guidProcedure = guid;
  } else if (capacity > GlobalSize(m_hProcedures.Get())) {
    if (!GlobalReAlloc(m_hProcedures.Get(), capacity, GMEM_MOVEABLE | GMEM_ZEROINIT)) return E_OUTOFMEMORY;
  }
  com::GlobalLockGuard lock(m_hProcedures.Get());
  if (!lock.Get()) return E_OUTOFMEMORY;
  std::memcpy(lock.As<uint8_t>() + used, bytes, n);
  m_nProcedureBytes = static_cast<uint32_t>(used + n - 16);
  return S_OK;
}

void CDX470Image::ClearProcedures() {
  m_hProcedures.Reset();
  m_nProcedureBytes = 0;
  m_guidProcedure = GUID{};
}

void CDX470Image::ClearSegments() {
  for (uint32_t i = 0; i < m_nSegments; ++i) FreeBuffers(m_pSegments[i]);
  CoTaskMemFree(m_pSegments);
  m_pSegments = nullptr;
  m_nSegments = 0;
}

HRESULT CDX470Image::Init(IStream* stream) {
  if (!stream) return S_OK;
  STATSTG stat{};
  HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  const uint64_t size = stat.cbSize.QuadPart;
  if (size > std::numeric_limits<uint32_t>::max()) return E_OUTOFMEMORY;
  if (size < 17) return S_OK;

  hr = stream->Seek(com::LargeInteger(0), STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ULONG read = 0;
    hr = stream->Read(bytes.data() + done, ULONG(bytes.size() - done), &read);
    if (FAILED(hr)) return hr;
    if (read == 0) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
    done += read;
  }
  GUID guid;
  std::memcpy(&guid, bytes.data(), sizeof guid);
  return AppendProcedure(guid, bytes.data() + 16, bytes.size() - 16);
}

HRESULT CDX470Image::Detach(ImageSegmentList* segments, IStream** stream) {
  if (stream) {
    *stream = nullptr;
    if (m_hProcedures) {
      com::ComPtr<IStream> s;
      HRESULT hr = CreateStreamOnHGlobal(m_hProcedures.Get(), TRUE, &s);
      if (FAILED(hr)) return hr;
      // The stream frees the block from now on.
      m_hProcedures.Detach();
      hr = s->SetSize(com::ULargeInteger(16 + uint64_t(m_nProcedureBytes)));
      ClearProcedures();
      if (FAILED(hr)) return hr;
      *stream = s.Detach();
    }
  } else {
    ClearProcedures();
  }
  if (segments) {
    segments->count = m_nSegments;
    segments->segments = m_pSegments;
    m_nSegments = 0;
    m_pSegments = nullptr;
  } else {
    ClearSegments();
  }
  return S_OK;
}

void CDX470Image::TakeOver(ImageSegmentList* segments) {
  if (!segments) return;
  ClearSegments();
  if (segments->segments) {
    m_nSegments = segments->count;
    m_pSegments = segments->segments;
  }
  segments->count = 0;
  segments->segments = nullptr;
}

std::vector<uint8_t> CDX470Image::Procedures() const {
  std::vector<uint8_t> records;
  if (!m_hProcedures) return records;
  com::GlobalLockGuard lock(m_hProcedures.Get());
  if (!lock.Get()) return records;
  const uint8_t* p = lock.As<uint8_t>() + 16;
  records.assign(p, p + m_nProcedureBytes);
  return records;
}
