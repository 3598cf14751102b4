#include "com/bstr.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t Prefix(BSTR b) {
  uint32_t n;
  std::memcpy(&n, reinterpret_cast<const char*>(b) - 4, 4);
  return n;
}

TEST(Bstr, HoldsByteLengthBeforeAndTwoZeroBytesAfter) {
  BSTR b = SysAllocString(u"abc");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Prefix(b), 6u);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(SysStringByteLen(b), 6u);
  EXPECT_EQ(b[3], 0);
  SysFreeString(b);

  // An odd byte length keeps its exact count and is still followed by zeros.
  BSTR odd = SysAllocStringByteLen("xyz", 3);
  EXPECT_EQ(Prefix(odd), 3u);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  const char* bytes = reinterpret_cast<const char*>(odd);
  EXPECT_EQ(std::memcmp(bytes, "xyz\0\0", 5), 0);
  SysFreeString(odd);
}

TEST(Bstr, KeepsEmbeddedZerosAndZeroFillsWithoutSource) {
  const char16_t text[] = {u'a', 0, u'b'};
  BSTR b = SysAllocStringLen(text, 3);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[2], u'b');
  SysFreeString(b);

  BSTR z = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(z, nullptr);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(z[i], 0);
  SysFreeString(z);
}

TEST(Bstr, NullMeansEmpty) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);  // an empty string is a real, distinct BSTR
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

TEST(Bstr, ReallocReplacesEvenFromItsOwnCharacters) {
  BSTR b = SysAllocString(u"hello world");
  ASSERT_TRUE(SysReAllocString(&b, b + 6));
  EXPECT_EQ(std::u16string_view(b, SysStringLen(b)), u"world");
  ASSERT_TRUE(SysReAllocStringLen(&b, b, 2));
  EXPECT_EQ(std::u16string_view(b, SysStringLen(b)), u"wo");
  ASSERT_TRUE(SysReAllocString(&b, nullptr));
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 0u);
  SysFreeString(b);
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(Bstr, RefusesLengthsBeyondThePrefix) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, WrapperOwnsCopiesAndConverts) {
  com::Bstr a = com::Bstr::FromUtf8("Grüße");
  EXPECT_EQ(a.Length(), 5u);
  EXPECT_EQ(a.ToUtf8(), "Grüße");
  com::Bstr b = a;
  EXPECT_NE(a.Get(), b.Get());
  EXPECT_EQ(a, b);

  com::Bstr odd;
  odd.Attach(SysAllocStringByteLen("abc", 3));
  com::Bstr oddCopy(odd);
  EXPECT_EQ(oddCopy.ByteLength(), 3u);  // copies keep the exact byte length

  BSTR raw = b.Detach();
  EXPECT_EQ(b.Get(), nullptr);
  SysFreeString(raw);

  com::Bstr out(u"old");
  BSTR* slot = &out;  // frees the old string, for an out parameter
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(u"new");
  EXPECT_EQ(out.View(), u"new");
  EXPECT_EQ(com::Bstr().View(), u"");
}

}  // namespace
