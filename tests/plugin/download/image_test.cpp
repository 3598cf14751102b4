// The image object: segments, procedure lists, loading the host's result
// and handing everything over.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "com/comptr.h"
#include "download/image.h"
#include "hostapi/procedures.h"

namespace {

constexpr GUID kOther = MakeGuid("00000001-0002-0003-0405-060708090A0B");

std::vector<uint8_t> ReadAll(IStream* s) {
  STATSTG st{};
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  std::vector<uint8_t> bytes(size_t(st.cbSize.QuadPart));
  ULONG read = 0;
  EXPECT_EQ(s->Read(bytes.data(), ULONG(bytes.size()), &read), S_OK);
  EXPECT_EQ(read, bytes.size());
  return bytes;
}

com::ComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes) {
  com::ComPtr<IStream> s;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  ULONG written = 0;
  if (!bytes.empty()) {
    EXPECT_EQ(s->Write(bytes.data(), ULONG(bytes.size()), &written), S_OK);
  }
  return s;
}

TEST(Image, SegmentsAreZeroFilledFoundByRangeAndRefuseAnOverlappingStart) {
  CDX470Image image;
  ASSERT_EQ(image.AddImageSegment(2, 0, 0x7820, 21, true), S_OK);
  const ImageSegment* s = image.FindImageSegment(2, 0, 0x7820 + 20);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->length, 21u);
  ASSERT_NE(s->second, nullptr);
  for (uint32_t i = 0; i < 21; ++i) EXPECT_EQ(s->data[i] | s->second[i], 0);
  EXPECT_EQ(image.FindImageSegment(2, 0, 0x7820 + 21), nullptr);
  EXPECT_EQ(image.FindImageSegment(2, 0, 0x781F), nullptr);
  EXPECT_EQ(image.FindImageSegment(3, 0, 0x7820), nullptr);

  // A start inside an existing segment of the same type is refused.
  EXPECT_EQ(image.AddImageSegment(2, 0, 0x7830, 4, false), E_UNEXPECTED);
  EXPECT_EQ(image.SegmentCount(), 1u);
  // Other types may overlap; types 4 and 5 are told apart by identifier.
  EXPECT_EQ(image.AddImageSegment(3, 0, 0x7830, 4, false), S_OK);
  EXPECT_EQ(image.AddImageSegment(4, 1, 0x100, 4, false), S_OK);
  EXPECT_EQ(image.AddImageSegment(4, 2, 0x100, 4, false), S_OK);
  EXPECT_EQ(image.AddImageSegment(4, 1, 0x102, 4, false), E_UNEXPECTED);
  EXPECT_EQ(image.SegmentCount(), 4u);
  EXPECT_EQ(image.FindImageSegment(4, 2, 0x101), &image.Segments()[3]);
  EXPECT_EQ(image.Segments()[0].start, 0x7820u);
}

TEST(Image, SegmentRangesStayInsideTheAddressSpace) {
  CDX470Image image;
  EXPECT_EQ(image.AddImageSegment(2, 0, 0xFFFFFFF0u, 0x20, false), E_INVALIDARG);
  EXPECT_EQ(image.AddImageSegment(2, 0, 0xFFFFFFF0u, 0x10, false), S_OK);
  EXPECT_NE(image.FindImageSegment(2, 0, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(image.SegmentCount(), 1u);
}

TEST(Image, ProceduresGrowInStepsBehindTheirGuidAndRefuseASecondGuid) {
  CDX470Image image;
  EXPECT_EQ(image.AppendProcedure(kOther, nullptr, 0), S_OK);  // nothing to append
  EXPECT_EQ(image.ProcedureGuid(), GUID{});
  const auto open = dx470::proc::Open();
  ASSERT_EQ(image.AppendProcedure(dx470::proc::kProcedureGuid, &open, 16), S_OK);
  EXPECT_EQ(image.AppendProcedure(kOther, &open, 16), E_UNEXPECTED);
  EXPECT_EQ(image.ProcedureBytes(), 16u);
  EXPECT_EQ(image.ProcedureGuid(), dx470::proc::kProcedureGuid);

  // Past the first 4096-byte step: 300 records need 16 + 4800 bytes.
  for (int i = 0; i < 299; ++i) {
    const auto w = dx470::proc::WriteRange(uint16_t(i), uint16_t(i + 1));
    ASSERT_EQ(image.AppendProcedure(dx470::proc::kProcedureGuid, &w, 16), S_OK);
  }
  std::vector<uint8_t> records = image.Procedures();
  ASSERT_EQ(records.size(), 300u * 16);
  EXPECT_EQ(records[0], dx470::proc::kOpen);
  EXPECT_EQ(dx470::proc::WriteRangeOf(&records[299 * 16]).start, 298);

  image.ClearProcedures();
  EXPECT_EQ(image.ProcedureBytes(), 0u);
  EXPECT_EQ(image.AppendProcedure(kOther, &open, 16), S_OK);  // a new list takes any GUID
}

TEST(Image, DetachHandsSegmentsAndAStreamOfGuidAndRecordsOver) {
  CDX470Image image;
  ASSERT_EQ(image.AddImageSegment(2, 0, 0x7820, 8, false), S_OK);
  const dx470::proc::Record list[] = {dx470::proc::Open(), dx470::proc::End()};
  ASSERT_EQ(image.AppendProcedure(dx470::proc::kProcedureGuid, list, sizeof list), S_OK);

  ImageSegmentList out{0, nullptr};
  com::ComPtr<IStream> stream;
  ASSERT_EQ(image.Detach(&out, &stream), S_OK);
  EXPECT_EQ(image.SegmentCount(), 0u);
  EXPECT_EQ(image.ProcedureBytes(), 0u);
  ASSERT_EQ(out.count, 1u);
  ASSERT_TRUE(stream);
  std::vector<uint8_t> bytes = ReadAll(stream.Get());
  ASSERT_EQ(bytes.size(), 16u + 32);
  EXPECT_EQ(std::memcmp(bytes.data(), &dx470::proc::kProcedureGuid, 16), 0);
  EXPECT_EQ(bytes[16], dx470::proc::kOpen);
  EXPECT_EQ(bytes[32], dx470::proc::kEnd);

  // The host's list comes back for the next step and is freed with the image.
  CDX470Image next;
  next.TakeOver(&out);
  EXPECT_EQ(out.count, 0u);
  EXPECT_EQ(out.segments, nullptr);
  EXPECT_NE(next.FindImageSegment(2, 0, 0x7827), nullptr);
}

TEST(Image, DetachWithoutProceduresOrOutputsDiscards) {
  CDX470Image image;
  ASSERT_EQ(image.AddImageSegment(2, 0, 0, 4, false), S_OK);
  com::ComPtr<IStream> stream;
  ASSERT_EQ(image.Detach(nullptr, &stream), S_OK);
  EXPECT_FALSE(stream);
  EXPECT_EQ(image.SegmentCount(), 0u);

  const auto end = dx470::proc::End();
  ASSERT_EQ(image.AppendProcedure(kOther, &end, 16), S_OK);
  ImageSegmentList out{7, nullptr};
  ASSERT_EQ(image.Detach(&out, nullptr), S_OK);
  EXPECT_EQ(out.count, 0u);
  EXPECT_EQ(image.ProcedureBytes(), 0u);
}

TEST(Image, InitLoadsTheHostsListUnderItsGuid) {
  std::vector<uint8_t> bytes(16 + 32);
  std::memcpy(bytes.data(), &kOther, 16);
  bytes[16] = 0x0E;
  bytes[32] = 0xFF;
  CDX470Image image;
  ASSERT_EQ(image.Init(StreamOf(bytes).Get()), S_OK);
  EXPECT_EQ(image.ProcedureGuid(), kOther);
  EXPECT_EQ(image.Procedures(), std::vector<uint8_t>(bytes.begin() + 16, bytes.end()));

  // Short or missing streams add nothing.
  CDX470Image empty;
  EXPECT_EQ(empty.Init(StreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16)).Get()), S_OK);
  EXPECT_EQ(empty.Init(nullptr), S_OK);
  EXPECT_EQ(empty.ProcedureBytes(), 0u);

  // A list under another GUID than the one already held is refused.
  std::memcpy(bytes.data(), &dx470::proc::kProcedureGuid, 16);
  EXPECT_EQ(image.Init(StreamOf(bytes).Get()), E_UNEXPECTED);
  EXPECT_EQ(image.ProcedureBytes(), 32u);
}

TEST(Procedures, RecordsHaveTheirCodesAndBigEndianAddresses) {
  using namespace dx470::proc;
  const Record w = WriteRange(0x7820, 0x7833);
  const uint8_t wExpected[16] = {0x09, 0x78, 0x20, 0x78, 0x33};
  EXPECT_EQ(std::memcmp(w.bytes, wExpected, 16), 0);
  const Record r = ReadRange(0x7820, 0x7834);
  const uint8_t rExpected[16] = {0xF0, 0x04, 0x00, 0x78, 0x20, 0x78, 0x34};
  EXPECT_EQ(std::memcmp(r.bytes, rExpected, 16), 0);
  const Record restart = Restart();
  const uint8_t restartExpected[16] = {0x0D, 0x00, 0xC8};
  EXPECT_EQ(std::memcmp(restart.bytes, restartExpected, 16), 0);
  EXPECT_EQ(ReadRangeOf(r.bytes).end, 0x7834);
  EXPECT_EQ(WriteRangeOf(w.bytes).start, 0x7820);
  EXPECT_EQ(kProcedureGuid.Data1, 0xA708ADE0u);
}

}  // namespace
