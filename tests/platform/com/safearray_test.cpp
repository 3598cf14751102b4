#include "com/safearray.h"

#include <gtest/gtest.h>

#include <cstring>

#include "counted_object.h"

namespace {

TEST(SafeArray, DescriptorLayoutMatchesTheWindowsOne) {
  EXPECT_EQ(offsetof(SAFEARRAY, cLocks), 8u);
  EXPECT_EQ(offsetof(SAFEARRAY, pvData), 16u);
  EXPECT_EQ(offsetof(SAFEARRAY, rgsabound), 24u);
  EXPECT_EQ(sizeof(SAFEARRAYBOUND), 8u);
}

TEST(SafeArray, ByteVectorAsStoredBlobs) {
  com::SafeArray a(SafeArrayCreateVector(VT_UI1, 0, 112292));
  ASSERT_TRUE(a);
  EXPECT_EQ(SafeArrayGetDim(a.Get()), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(a.Get()), 1u);
  EXPECT_EQ(a.Get()->rgsabound[0].cElements, 112292u);
  VARTYPE vt;
  ASSERT_EQ(SafeArrayGetVartype(a.Get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_UI1);
  LONG lb = -1, ub = -1;
  ASSERT_EQ(SafeArrayGetLBound(a.Get(), 1, &lb), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(a.Get(), 1, &ub), S_OK);
  EXPECT_EQ(lb, 0);
  EXPECT_EQ(ub, 112291);
  EXPECT_EQ(SafeArrayGetLBound(a.Get(), 0, &lb), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(a.Get(), 2, &ub), DISP_E_BADINDEX);
  {
    com::SafeArrayData data(a.Get());
    ASSERT_NE(data.Get(), nullptr);
    EXPECT_EQ(data.As<uint8_t>()[112291], 0);  // zero-filled
    data.As<uint8_t>()[5] = 0xAB;
    EXPECT_EQ(SafeArrayDestroy(a.Get()), DISP_E_ARRAYISLOCKED);
  }
  LONG i = 5;
  uint8_t b = 0;
  ASSERT_EQ(SafeArrayGetElement(a.Get(), &i, &b), S_OK);
  EXPECT_EQ(b, 0xAB);
  EXPECT_EQ(SafeArrayUnlock(a.Get()), E_UNEXPECTED);
}

TEST(SafeArray, TwoDimensionsWithNonzeroLowerBounds) {
  // Dimension 1: 3 elements from -1; dimension 2: 2 elements from 10.
  SAFEARRAYBOUND bounds[2] = {{3, -1}, {2, 10}};
  com::SafeArray a(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_TRUE(a);
  // Stored last dimension first.
  EXPECT_EQ(a.Get()->rgsabound[0].lLbound, 10);
  EXPECT_EQ(a.Get()->rgsabound[1].lLbound, -1);
  LONG lb, ub;
  ASSERT_EQ(SafeArrayGetLBound(a.Get(), 1, &lb), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(a.Get(), 1, &ub), S_OK);
  EXPECT_EQ(lb, -1);
  EXPECT_EQ(ub, 1);
  ASSERT_EQ(SafeArrayGetLBound(a.Get(), 2, &lb), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(a.Get(), 2, &ub), S_OK);
  EXPECT_EQ(lb, 10);
  EXPECT_EQ(ub, 11);
  EXPECT_EQ(SafeArrayGetLBound(a.Get(), 3, &lb), DISP_E_BADINDEX);

  for (LONG j = 10; j <= 11; ++j)
    for (LONG i = -1; i <= 1; ++i) {
      LONG idx[2] = {i, j};
      LONG value = j * 100 + i;
      ASSERT_EQ(SafeArrayPutElement(a.Get(), idx, &value), S_OK);
    }
  // Dimension 1 varies fastest in memory.
  const LONG* data = static_cast<const LONG*>(a.Get()->pvData);
  EXPECT_EQ(data[0], 999);
  EXPECT_EQ(data[1], 1000);
  EXPECT_EQ(data[3], 1099);
  EXPECT_EQ(data[5], 1101);

  LONG value = 0;
  const LONG outside[][2] = {{2, 10}, {-2, 10}, {0, 12}, {0, 9}};
  for (const auto& idx : outside) EXPECT_EQ(SafeArrayGetElement(a.Get(), idx, &value), DISP_E_BADINDEX);
  EXPECT_EQ(a.Get()->cLocks, 0u);  // a failed access leaves no lock behind
}

TEST(SafeArray, RefusesImpossibleShapes) {
  SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, INT32_MAX, 2), nullptr);  // upper bound past LONG
  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 2), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, huge), nullptr);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, StringElementsAreCopiedAndFreed) {
  com::SafeArray a(SafeArrayCreateVector(VT_BSTR, 1, 3));
  LONG i = 2;
  BSTR s = SysAllocString(u"two");
  ASSERT_EQ(SafeArrayPutElement(a.Get(), &i, s), S_OK);
  SysFreeString(s);  // the array holds its own copy
  ASSERT_EQ(SafeArrayPutElement(a.Get(), &i, com::Bstr(u"deux").Get()),
            S_OK);  // replaces, freeing the old one
  BSTR got = nullptr;
  ASSERT_EQ(SafeArrayGetElement(a.Get(), &i, &got), S_OK);
  EXPECT_EQ(std::u16string_view(got), u"deux");
  SysFreeString(got);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(a.Get(), &copy), S_OK);
  com::SafeArray owned(copy);
  VARTYPE vt;
  ASSERT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
  EXPECT_EQ(vt, VT_BSTR);
  BSTR* original = static_cast<BSTR*>(a.Get()->pvData);
  BSTR* copied = static_cast<BSTR*>(copy->pvData);
  EXPECT_NE(original[1], copied[1]);
  EXPECT_EQ(std::u16string_view(copied[1]), u"deux");
  EXPECT_EQ(copied[0], nullptr);
}

TEST(SafeArray, InterfaceAndVariantElementsCountReferences) {
  test::CountedObject object;
  {
    com::SafeArray a(SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
    LONG i = 0;
    ASSERT_EQ(SafeArrayPutElement(a.Get(), &i, &object), S_OK);
    EXPECT_EQ(object.refs, 2u);
    IUnknown* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(a.Get(), &i, &got), S_OK);
    EXPECT_EQ(object.refs, 3u);
    got->Release();
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(a.Get(), &copy), S_OK);
    EXPECT_EQ(object.refs, 3u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    ASSERT_EQ(SafeArrayPutElement(a.Get(), &i, nullptr), S_OK);
    EXPECT_EQ(object.refs, 1u);
    ASSERT_EQ(SafeArrayPutElement(a.Get(), &i, &object), S_OK);
    VARTYPE vt;
    ASSERT_EQ(SafeArrayGetVartype(a.Get(), &vt), S_OK);
    EXPECT_EQ(vt, VT_UNKNOWN);
  }
  EXPECT_EQ(object.refs, 1u);

  {
    com::SafeArray v(SafeArrayCreateVector(VT_VARIANT, 0, 1));
    LONG i = 0;
    com::Variant text(u"in a variant");
    ASSERT_EQ(SafeArrayPutElement(v.Get(), &i, &text), S_OK);
    com::Variant unk(static_cast<IUnknown*>(&object));
    ASSERT_EQ(SafeArrayPutElement(v.Get(), &i, &unk), S_OK);  // the string element is cleared
    EXPECT_EQ(object.refs, 3u);
    com::Variant got;
    ASSERT_EQ(SafeArrayGetElement(v.Get(), &i, &got), S_OK);
    EXPECT_EQ(got.vt, VT_UNKNOWN);
    EXPECT_EQ(object.refs, 4u);
  }
  EXPECT_EQ(object.refs, 1u);
}

TEST(SafeArray, RedimChangesTheLastDimension) {
  com::SafeArray a(SafeArrayCreateVector(VT_BSTR, 0, 3));
  for (LONG i = 0; i < 3; ++i) ASSERT_EQ(SafeArrayPutElement(a.Get(), &i, com::Bstr(u"s").Get()), S_OK);
  SAFEARRAYBOUND smaller{1, 5};
  ASSERT_EQ(SafeArrayRedim(a.Get(), &smaller), S_OK);  // frees the two cut off
  LONG lb, ub;
  SafeArrayGetLBound(a.Get(), 1, &lb);
  SafeArrayGetUBound(a.Get(), 1, &ub);
  EXPECT_EQ(lb, 5);
  EXPECT_EQ(ub, 5);
  SAFEARRAYBOUND larger{4, 0};
  ASSERT_EQ(SafeArrayRedim(a.Get(), &larger), S_OK);
  EXPECT_EQ(static_cast<BSTR*>(a.Get()->pvData)[3], nullptr);

  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  com::SafeArray m(SafeArrayCreate(VT_I2, 2, bounds));
  SAFEARRAYBOUND rows{3, 0};
  ASSERT_EQ(SafeArrayRedim(m.Get(), &rows), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(m.Get(), 2, &ub), S_OK);
  EXPECT_EQ(ub, 2);
  ASSERT_EQ(SafeArrayGetUBound(m.Get(), 1, &ub), S_OK);
  EXPECT_EQ(ub, 1);

  ASSERT_EQ(SafeArrayLock(m.Get()), S_OK);
  EXPECT_EQ(SafeArrayRedim(m.Get(), &larger), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnlock(m.Get()), S_OK);
}

}  // namespace
