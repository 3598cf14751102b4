// Extension data: values of every kept kind go in and come out unchanged.
#include "hostapi/dx47x_blob.h"
#include "project_fixture.h"

namespace projecttest {
namespace {

TEST_F(ProjectTest, ExtDataKeepsAFullSizeBlobAndAnswersNullForUnknownKeys) {
  com::ComPtr<IDeviceExtData> ext = ExtData(Add("1.1.5"));
  HRESULT hr = E_FAIL;
  com::Variant missing = ReadExt(ext.Get(), dx47x::blob::kKeyWide, &hr);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(missing.vt, VT_NULL);

  com::Variant blob = ByteArray(112292, 42);
  ASSERT_EQ(WriteExt(ext.Get(), dx47x::blob::kKeyWide, blob), S_OK);
  com::Variant back = ReadExt(ext.Get(), dx47x::blob::kKeyWide);
  ASSERT_EQ(back.vt, VT_ARRAY | VT_UI1);
  EXPECT_EQ(SafeArrayGetDim(back.parray), 1u);
  LONG lower = -1;
  SafeArrayGetLBound(back.parray, 1, &lower);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(BytesOf(back), BytesOf(blob));

  // Keys are separate and exact.
  EXPECT_EQ(ReadExt(ext.Get(), u"dx470").vt, VT_NULL);
  com::Bstr empty;
  EXPECT_EQ(ext->WriteExtData(empty.Get(), blob), E_INVALIDARG);
}

TEST_F(ProjectTest, ExtDataKeepsDimensionsAndBoundsOfArrays) {
  com::ComPtr<IDeviceExtData> ext = ExtData(Add("1.1.5"));
  SAFEARRAYBOUND bounds[2] = {{3, -1}, {4, 10}};  // dimension 1: -1..1, dimension 2: 10..13
  SAFEARRAY* a = SafeArrayCreate(VT_UI1, 2, bounds);
  {
    com::SafeArrayData data(a);
    for (int i = 0; i < 12; ++i) data.As<uint8_t>()[i] = uint8_t(100 + i);
  }
  com::Variant v;
  v.AttachArray(a);
  ASSERT_EQ(WriteExt(ext.Get(), u"grid", v), S_OK);

  com::Variant back = ReadExt(ext.Get(), u"grid");
  ASSERT_EQ(back.vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(SafeArrayGetDim(back.parray), 2u);
  LONG lo = 0, hi = 0;
  SafeArrayGetLBound(back.parray, 1, &lo);
  SafeArrayGetUBound(back.parray, 1, &hi);
  EXPECT_EQ(lo, -1);
  EXPECT_EQ(hi, 1);
  SafeArrayGetLBound(back.parray, 2, &lo);
  SafeArrayGetUBound(back.parray, 2, &hi);
  EXPECT_EQ(lo, 10);
  EXPECT_EQ(hi, 13);
  LONG index[2] = {1, 12};  // dimension 1 first: element 2 + 3 * 2
  uint8_t element = 0;
  ASSERT_EQ(SafeArrayGetElement(back.parray, index, &element), S_OK);
  EXPECT_EQ(element, 108);

  // Arrays of other fixed-size elements, and an empty array.
  SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 5, 2);
  LONG i5 = 5, i6 = 6, x = -70000, y = 123456;
  SafeArrayPutElement(longs, &i5, &x);
  SafeArrayPutElement(longs, &i6, &y);
  com::Variant lv;
  lv.AttachArray(longs);
  ASSERT_EQ(WriteExt(ext.Get(), u"longs", lv), S_OK);
  com::Variant lback = ReadExt(ext.Get(), u"longs");
  ASSERT_EQ(lback.vt, VT_ARRAY | VT_I4);
  LONG got = 0;
  ASSERT_EQ(SafeArrayGetElement(lback.parray, &i6, &got), S_OK);
  EXPECT_EQ(got, 123456);
  ASSERT_EQ(WriteExt(ext.Get(), u"nothing", ByteArray(0, 0)), S_OK);
  com::Variant eback = ReadExt(ext.Get(), u"nothing");
  ASSERT_EQ(eback.vt, VT_ARRAY | VT_UI1);
  EXPECT_EQ(eback.parray->rgsabound[0].cElements, 0u);
}

TEST_F(ProjectTest, ExtDataKeepsSimpleValuesAndRefusesOthers) {
  com::ComPtr<IDeviceExtData> ext = ExtData(Add("1.1.5"));
  ASSERT_EQ(WriteExt(ext.Get(), u"i2", com::Variant(int16_t(-2))), S_OK);
  ASSERT_EQ(WriteExt(ext.Get(), u"i4", com::Variant(int32_t(-400000))), S_OK);
  ASSERT_EQ(WriteExt(ext.Get(), u"ui1", com::Variant(uint8_t(250))), S_OK);
  ASSERT_EQ(WriteExt(ext.Get(), u"bool", com::Variant(true)), S_OK);
  ASSERT_EQ(WriteExt(ext.Get(), u"text", com::Variant(u"Grüße")), S_OK);
  com::Variant v = ReadExt(ext.Get(), u"i2");
  EXPECT_EQ(v.vt, VT_I2);
  EXPECT_EQ(v.iVal, -2);
  v = ReadExt(ext.Get(), u"i4");
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, -400000);
  v = ReadExt(ext.Get(), u"ui1");
  EXPECT_EQ(v.vt, VT_UI1);
  EXPECT_EQ(v.bVal, 250);
  v = ReadExt(ext.Get(), u"bool");
  EXPECT_EQ(v.vt, VT_BOOL);
  EXPECT_EQ(v.boolVal, VARIANT_TRUE);
  v = ReadExt(ext.Get(), u"text");
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(com::Bstr(v.bstrVal).View(), u"Grüße");

  // A value by reference is stored as the value it points to.
  LONG target = 77;
  VARIANT byref;
  VariantInit(&byref);
  byref.vt = VT_I4 | VT_BYREF;
  byref.plVal = &target;
  ASSERT_EQ(WriteExt(ext.Get(), u"i4", byref), S_OK);
  EXPECT_EQ(ReadExt(ext.Get(), u"i4").lVal, 77);

  // An interface cannot be stored; the old value stays.
  com::Variant unknown(static_cast<IUnknown*>(ext.Get()));
  EXPECT_EQ(WriteExt(ext.Get(), u"i4", unknown), DISP_E_BADVARTYPE);
  EXPECT_EQ(ReadExt(ext.Get(), u"i4").lVal, 77);
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 1);
  com::Variant sv;
  sv.AttachArray(strings);
  EXPECT_EQ(WriteExt(ext.Get(), u"strings", sv), DISP_E_BADVARTYPE);
  EXPECT_EQ(ReadExt(ext.Get(), u"strings").vt, VT_NULL);
}

}  // namespace
}  // namespace projecttest
