#include "com/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "com/comptr.h"

namespace {

using com::ComPtr;
using com::LargeInteger;
using com::ULargeInteger;

uint64_t Seek(IStream* s, int64_t move, DWORD origin, HRESULT expect = S_OK) {
  ULARGE_INTEGER pos{};
  EXPECT_EQ(s->Seek(LargeInteger(move), origin, &pos), expect);
  return pos.QuadPart;
}

uint64_t SizeOf(IStream* s) {
  STATSTG st;
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.type, STGTY_STREAM);
  EXPECT_EQ(st.pwcsName, nullptr);
  return st.cbSize.QuadPart;
}

TEST(HGlobalStream, ReadWriteSeekStat) {
  ComPtr<IStream> s;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  EXPECT_EQ(SizeOf(s.Get()), 0u);
  ULONG n = 0;
  ASSERT_EQ(s->Write("hello world", 11, &n), S_OK);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(SizeOf(s.Get()), 11u);

  EXPECT_EQ(Seek(s.Get(), 6, STREAM_SEEK_SET), 6u);
  char buf[32] = {};
  ASSERT_EQ(s->Read(buf, sizeof buf, &n), S_OK);  // past the end: fewer bytes, still S_OK
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(std::string(buf, n), "world");
  ASSERT_EQ(s->Read(buf, 4, &n), S_OK);
  EXPECT_EQ(n, 0u);

  EXPECT_EQ(Seek(s.Get(), -5, STREAM_SEEK_END), 6u);
  EXPECT_EQ(Seek(s.Get(), -2, STREAM_SEEK_CUR), 4u);
  EXPECT_EQ(s->Seek(LargeInteger(-5), STREAM_SEEK_CUR, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(Seek(s.Get(), 0, STREAM_SEEK_CUR), 4u);  // a failed seek does not move
  EXPECT_EQ(s->Seek(LargeInteger(0), 7, nullptr), STG_E_INVALIDFUNCTION);

  // Writing beyond the end fills the gap with zeros.
  Seek(s.Get(), 14, STREAM_SEEK_SET);
  ASSERT_EQ(s->Write("!", 1, nullptr), S_OK);
  EXPECT_EQ(SizeOf(s.Get()), 15u);
  Seek(s.Get(), 10, STREAM_SEEK_SET);
  ASSERT_EQ(s->Read(buf, 5, &n), S_OK);
  EXPECT_EQ(std::memcmp(buf, "d\0\0\0!", 5), 0);

  EXPECT_EQ(s->LockRegion(ULargeInteger(0), ULargeInteger(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
}

TEST(HGlobalStream, SizeComesFromAGivenBlockAndSetSizeResizesIt) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16 + 32);
  ComPtr<IStream> s;
  ASSERT_EQ(CreateStreamOnHGlobal(h, FALSE, &s), S_OK);
  EXPECT_EQ(SizeOf(s.Get()), 48u);
  ASSERT_EQ(s->SetSize(ULargeInteger(20)), S_OK);
  EXPECT_EQ(SizeOf(s.Get()), 20u);
  EXPECT_EQ(GlobalSize(h), 20u);
  ASSERT_EQ(s->SetSize(ULargeInteger(100)), S_OK);
  EXPECT_EQ(Seek(s.Get(), 0, STREAM_SEEK_END), 100u);
  EXPECT_EQ(s->SetSize(ULargeInteger(1ull << 32)), STG_E_INVALIDFUNCTION);

  HGLOBAL under = nullptr;
  ASSERT_EQ(GetHGlobalFromStream(s.Get(), &under), S_OK);
  EXPECT_EQ(under, h);
  s.Reset();
  EXPECT_EQ(GlobalSize(h), 100u);  // not deleted on release
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(HGlobalStream, ClonesShareTheBlockWhichGoesWithTheLastOne) {
  HGLOBAL h = GlobalAlloc(GHND, 0);
  ComPtr<IStream> s, clone;
  ASSERT_EQ(CreateStreamOnHGlobal(h, TRUE, &s), S_OK);
  ASSERT_EQ(s->Write("abcdef", 6, nullptr), S_OK);
  Seek(s.Get(), 2, STREAM_SEEK_SET);
  ASSERT_EQ(s->Clone(&clone), S_OK);
  EXPECT_EQ(Seek(clone.Get(), 0, STREAM_SEEK_CUR), 2u);  // the clone starts where s stood
  ASSERT_EQ(clone->Write("XY", 2, nullptr), S_OK);
  EXPECT_EQ(Seek(s.Get(), 0, STREAM_SEEK_CUR), 2u);  // positions are separate
  char buf[4] = {};
  ASSERT_EQ(s->Read(buf, 4, nullptr), S_OK);
  EXPECT_EQ(std::string(buf, 4), "XYef");

  ComPtr<IUnknown> unk;
  ASSERT_EQ(s->QueryInterface(IUnknown::iid, unk.PpvSlot()), S_OK);
  ComPtr<ISequentialStream> seq;
  ASSERT_EQ(s->QueryInterface(ISequentialStream::iid, seq.PpvSlot()), S_OK);
  EXPECT_EQ(static_cast<void*>(unk.Get()), static_cast<void*>(s.Get()));
  unk.Reset();
  seq.Reset();

  s.Reset();
  EXPECT_EQ(GlobalSize(h), 6u);  // the clone still holds it
  clone.Reset();
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFree(h), h);  // already freed
}

TEST(HGlobalStream, CopyToAndForeignStreams) {
  ComPtr<IStream> from, to;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &from), S_OK);
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &to), S_OK);
  std::string data(40000, 'x');
  data[39999] = 'y';
  ASSERT_EQ(from->Write(data.data(), ULONG(data.size()), nullptr), S_OK);
  Seek(from.Get(), 1, STREAM_SEEK_SET);
  ULARGE_INTEGER read{}, written{};
  ASSERT_EQ(from->CopyTo(to.Get(), ULargeInteger(1ull << 40), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 39999u);
  EXPECT_EQ(written.QuadPart, 39999u);
  EXPECT_EQ(SizeOf(to.Get()), 39999u);

  HGLOBAL h = nullptr;
  EXPECT_EQ(GetHGlobalFromStream(nullptr, &h), E_INVALIDARG);
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
  EXPECT_EQ(from->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(from->Stat(nullptr, 0), STG_E_INVALIDPOINTER);
}

}  // namespace
