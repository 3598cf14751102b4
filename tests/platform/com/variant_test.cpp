#include "com/variant.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "com/safearray.h"
#include "counted_object.h"

namespace {

using com::Variant;

HRESULT Convert(const VARIANT& src, VARTYPE vt, Variant* out, USHORT flags = 0) {
  return VariantChangeType(out, &src, flags, vt);
}

std::u16string Text(const VARIANT& v) { return std::u16string(v.bstrVal, SysStringLen(v.bstrVal)); }

TEST(Variant, LayoutMatchesTheWindowsOne) {
  EXPECT_EQ(sizeof(VARIANT), 24u);
  EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
  Variant v;
  EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(VariantChangeType, ByteToLongAndRange) {
  Variant out;
  ASSERT_EQ(Convert(Variant(uint8_t(200)), VT_I4, &out), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 200);

  EXPECT_EQ(Convert(Variant(int32_t(300)), VT_UI1, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(out.vt, VT_I4);  // unchanged on failure
  EXPECT_EQ(Convert(Variant(int32_t(-1)), VT_UI1, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Variant(int32_t(40000)), VT_I2, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(Convert(Variant(int32_t(255)), VT_UI1, &out), S_OK);
  EXPECT_EQ(out.bVal, 255);
}

TEST(VariantChangeType, RealsRoundHalfToEven) {
  Variant out;
  ASSERT_EQ(Convert(Variant(2.5), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 2);
  ASSERT_EQ(Convert(Variant(3.5), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 4);
  ASSERT_EQ(Convert(Variant(-2.5), VT_I2, &out), S_OK);
  EXPECT_EQ(out.iVal, -2);
  EXPECT_EQ(Convert(Variant(255.5), VT_UI1, &out), DISP_E_OVERFLOW);  // rounds to 256
  EXPECT_EQ(Convert(Variant(2147483647.5), VT_I4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Variant(1e300), VT_R4, &out), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, TextToNumbers) {
  Variant out;
  ASSERT_EQ(Convert(Variant(u" 42 "), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 42);
  ASSERT_EQ(Convert(Variant(u"-17"), VT_I2, &out), S_OK);
  EXPECT_EQ(out.iVal, -17);
  ASSERT_EQ(Convert(Variant(u"1,000"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 1000);
  ASSERT_EQ(Convert(Variant(u"2.5e1"), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 25);
  ASSERT_EQ(Convert(Variant(u"1.5"), VT_R4, &out), S_OK);
  EXPECT_FLOAT_EQ(out.fltVal, 1.5f);

  EXPECT_EQ(Convert(Variant(u"256"), VT_UI1, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Variant(u"99999999999999999999999"), VT_I4, &out), DISP_E_OVERFLOW);
  for (const char16_t* bad : {u"", u"abc", u"12x", u"-", u"1e", u"1 2", u"True"})
    EXPECT_EQ(Convert(Variant(bad), VT_I4, &out), DISP_E_TYPEMISMATCH) << base::Utf16ToUtf8(bad);
  VARIANT nullText;
  VariantInit(&nullText);
  nullText.vt = VT_BSTR;  // a null BSTR is the empty string
  EXPECT_EQ(Convert(nullText, VT_I4, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, NumbersAndBooleansToText) {
  Variant out;
  ASSERT_EQ(Convert(Variant(int32_t(-123)), VT_BSTR, &out), S_OK);
  EXPECT_EQ(Text(out), u"-123");
  ASSERT_EQ(Convert(Variant(uint8_t(7)), VT_BSTR, &out), S_OK);
  EXPECT_EQ(Text(out), u"7");
  ASSERT_EQ(Convert(Variant(0.1), VT_BSTR, &out), S_OK);
  EXPECT_EQ(Text(out), u"0.1");
  ASSERT_EQ(Convert(Variant(true), VT_BSTR, &out), S_OK);
  EXPECT_EQ(Text(out), u"-1");
  ASSERT_EQ(Convert(Variant(false), VT_BSTR, &out), S_OK);
  EXPECT_EQ(Text(out), u"0");
  ASSERT_EQ(Convert(Variant(true), VT_BSTR, &out, VARIANT_ALPHABOOL), S_OK);
  EXPECT_EQ(Text(out), u"True");
  ASSERT_EQ(Convert(Variant(false), VT_BSTR, &out, VARIANT_ALPHABOOL), S_OK);
  EXPECT_EQ(Text(out), u"False");
}

TEST(VariantChangeType, Booleans) {
  Variant out;
  ASSERT_EQ(Convert(Variant(int32_t(5)), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(Convert(Variant(u"false"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  ASSERT_EQ(Convert(Variant(u"TRUE"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(Convert(Variant(u"0"), VT_BOOL, &out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  EXPECT_EQ(Convert(Variant(u"maybe"), VT_BOOL, &out), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(Convert(Variant(true), VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, -1);
  ASSERT_EQ(Convert(Variant(true), VT_UI1, &out), S_OK);
  EXPECT_EQ(out.bVal, 0xFF);  // True keeps its bits in an unsigned byte
}

TEST(VariantChangeType, EmptyAndNull) {
  Variant empty, null, out;
  null.vt = VT_NULL;
  ASSERT_EQ(Convert(empty, VT_I4, &out), S_OK);
  EXPECT_EQ(out.lVal, 0);
  ASSERT_EQ(Convert(empty, VT_BSTR, &out), S_OK);
  EXPECT_NE(out.bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(out.bstrVal), 0u);
  EXPECT_EQ(Convert(null, VT_I4, &out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Convert(null, VT_BSTR, &out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Convert(null, VT_EMPTY, &out), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(Convert(Variant(int32_t(3)), VT_NULL, &out), S_OK);
  EXPECT_EQ(out.vt, VT_NULL);
}

TEST(VariantChangeType, InPlaceAndByReference) {
  Variant v(u"77");
  ASSERT_EQ(v.ChangeType(VT_UI1), S_OK);  // the old BSTR is freed
  EXPECT_EQ(v.vt, VT_UI1);
  EXPECT_EQ(v.bVal, 77);
  EXPECT_EQ(v.ChangeType(VT_BOOL + 1000), DISP_E_BADVARTYPE);

  SHORT target = 12;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I2 | VT_BYREF;
  ref.piVal = &target;
  Variant out;
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"12");
}

TEST(VariantCopy, DeepCopiesStringsArraysAndReferences) {
  test::CountedObject object;
  {
    Variant a(static_cast<IUnknown*>(&object));
    EXPECT_EQ(object.refs, 2u);
    Variant b = a;
    EXPECT_EQ(object.refs, 3u);
    b = Variant(int32_t(1));
    EXPECT_EQ(object.refs, 2u);
  }
  EXPECT_EQ(object.refs, 1u);

  Variant s(u"text");
  Variant t = s;
  EXPECT_NE(s.bstrVal, t.bstrVal);
  EXPECT_EQ(Text(t), u"text");
  EXPECT_EQ(VariantCopy(&s, &s), S_OK);
  EXPECT_EQ(Text(s), u"text");

  Variant arr;
  ASSERT_EQ(arr.AttachArray(SafeArrayCreateVector(VT_BSTR, 0, 2)), S_OK);
  EXPECT_EQ(arr.vt, VT_ARRAY | VT_BSTR);
  LONG i = 1;
  ASSERT_EQ(SafeArrayPutElement(arr.parray, &i, com::Bstr(u"x").Get()), S_OK);
  Variant arrCopy = arr;
  ASSERT_NE(arrCopy.parray, arr.parray);
  BSTR got = nullptr;
  ASSERT_EQ(SafeArrayGetElement(arrCopy.parray, &i, &got), S_OK);
  EXPECT_EQ(std::u16string_view(got), u"x");
  SysFreeString(got);
}

TEST(VariantClear, FreesOwnedValuesAndRejectsUnknownTypes) {
  test::CountedObject object;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UNKNOWN;
  v.punkVal = &object;
  object.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(object.refs, 1u);

  v.vt = 0x7F;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  v.vt = VT_VARIANT;  // only by reference or in an array
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);

  // A locked array is not freed under its user.
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
  SAFEARRAY* psa = v.parray;
  ASSERT_EQ(SafeArrayLock(psa), S_OK);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

}  // namespace
