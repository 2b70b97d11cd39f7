#include <gtest/gtest.h>

#include <string_view>

#include "CountingDispatch.h"
#include "platform/com/Com.h"

namespace {

using platform_test::CountingDispatch;

VARIANT DispatchVariant(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  object->AddRef();
  return v;
}

std::u16string_view TextOf(const VARIANT& v) {
  return {v.bstrVal, SysStringLen(v.bstrVal)};
}

TEST(Variant, LayoutMatchesTheWindowsOne) {
  VARIANT v;
  EXPECT_EQ(reinterpret_cast<char*>(&v.vt) - reinterpret_cast<char*>(&v), 0);
  EXPECT_EQ(reinterpret_cast<char*>(&v.lVal) - reinterpret_cast<char*>(&v), 8);
  EXPECT_EQ(reinterpret_cast<char*>(&v.pvarVal) - reinterpret_cast<char*>(&v), 8);
  // DECIMAL covers the whole variant, its reserved word over vt.
  EXPECT_EQ(reinterpret_cast<char*>(&v.decVal.wReserved) - reinterpret_cast<char*>(&v), 0);
  EXPECT_EQ(sizeof(DECIMAL), 16u);
}

TEST(Variant, CopyAndClearBalanceObjectReferences) {
  CountingDispatch object;
  VARIANT original = DispatchVariant(&object);
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &original), S_OK);
  EXPECT_EQ(object.References(), 3u);

  // Copying over a variant releases what it held first.
  ASSERT_EQ(VariantCopy(&copy, &original), S_OK);
  EXPECT_EQ(object.References(), 3u);

  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(copy.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&original), S_OK);
  EXPECT_EQ(object.References(), 1u);
}

TEST(Variant, ReferencesOwnNothing) {
  CountingDispatch object;
  VARIANT target = DispatchVariant(&object);
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = &target;

  VARIANT shallow;
  VariantInit(&shallow);
  ASSERT_EQ(VariantCopy(&shallow, &reference), S_OK);
  EXPECT_EQ(shallow.vt, VT_BYREF | VT_VARIANT);
  EXPECT_EQ(shallow.pvarVal, &target);
  EXPECT_EQ(VariantClear(&shallow), S_OK);
  EXPECT_EQ(VariantClear(&reference), S_OK);
  EXPECT_EQ(object.References(), 2u);  // untouched by either clear

  VARIANT deep;
  VariantInit(&deep);
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = &target;
  ASSERT_EQ(VariantCopyInd(&deep, &reference), S_OK);
  EXPECT_EQ(deep.vt, VT_DISPATCH);
  EXPECT_EQ(object.References(), 3u);
  VariantClear(&deep);
  VariantClear(&target);
  EXPECT_EQ(object.References(), 1u);
}

TEST(Variant, CopyIndDuplicatesReferencedStrings) {
  BSTR text = SysAllocString(u"abc");
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_BSTR;
  reference.pbstrVal = &text;
  // In place: the reference becomes an owned copy.
  ASSERT_EQ(VariantCopyInd(&reference, &reference), S_OK);
  EXPECT_EQ(reference.vt, VT_BSTR);
  EXPECT_NE(reference.bstrVal, text);
  EXPECT_EQ(TextOf(reference), u"abc");
  VariantClear(&reference);
  SysFreeString(text);
}

TEST(Variant, NullReferenceIsRefusedNotFollowed) {
  VARIANT reference, dest;
  VariantInit(&reference);
  VariantInit(&dest);
  reference.vt = VT_BYREF | VT_I4;
  reference.plVal = nullptr;
  EXPECT_EQ(VariantCopyInd(&dest, &reference), E_INVALIDARG);
  EXPECT_EQ(VariantChangeType(&dest, &reference, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(dest.vt, VT_EMPTY);
}

TEST(Variant, UnknownTypesAreRefused) {
  VARIANT v, dest;
  VariantInit(&dest);
  VariantInit(&v);
  v.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantCopy(&dest, &v), DISP_E_BADVARTYPE);
}

TEST(Variant, ChangeTypeConvertsScalars) {
  struct Case {
    VARIANT source;
    VARTYPE target;
    HRESULT expected;
    double number;  // the result as a number, for numeric targets
  };
  const auto i4 = [](LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  };
  const auto r8 = [](double value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
  };
  const Case cases[] = {
      {i4(300), VT_UI1, DISP_E_OVERFLOW, 0},
      {i4(255), VT_UI1, S_OK, 255},
      {i4(-1), VT_UI4, DISP_E_OVERFLOW, 0},
      {i4(-32768), VT_I2, S_OK, -32768},
      {r8(2.5), VT_I4, S_OK, 2},
      {r8(3.5), VT_I4, S_OK, 4},
      {r8(1e10), VT_I4, DISP_E_OVERFLOW, 0},
      {r8(1e40), VT_R4, DISP_E_OVERFLOW, 0},
      {r8(1.25), VT_CY, S_OK, 1.25},
      {i4(5), VT_DISPATCH, DISP_E_TYPEMISMATCH, 0},
      {i4(7), VT_I8, S_OK, 7},
  };
  for (const Case& c : cases) {
    VARIANT source = c.source;
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(VariantChangeType(&result, &source, 0, c.target), c.expected) << c.target;
    if (c.expected != S_OK) {
      EXPECT_EQ(result.vt, VT_EMPTY);
      continue;
    }
    ASSERT_EQ(result.vt, c.target);
    VARIANT asDouble;
    VariantInit(&asDouble);
    ASSERT_EQ(VariantChangeType(&asDouble, &result, 0, VT_R8), S_OK);
    EXPECT_EQ(asDouble.dblVal, c.number);
  }
}

TEST(Variant, ChangeTypeInPlaceBetweenTextAndNumbers) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u" 42 ");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 42);

  v.vt = VT_BOOL;
  v.boolVal = VARIANT_TRUE;
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
  EXPECT_EQ(TextOf(v), u"True");
  VariantClear(&v);

  v.vt = VT_NULL;
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(v.vt, VT_NULL);
}

}  // namespace
