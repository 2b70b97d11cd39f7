#include <gtest/gtest.h>

#include <string_view>

#include "CountingDispatch.h"
#include "platform/com/Com.h"

namespace {

using platform_test::CountingDispatch;

VARIANT I4(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

TEST(SafeArray, BoundsAndElementsForAnyLowerBound) {
  for (const LONG lower : {0, 1, -2}) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, lower, 3);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    LONG lbound = 99, ubound = 99;
    ASSERT_EQ(SafeArrayGetLBound(array, 1, &lbound), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(array, 1, &ubound), S_OK);
    EXPECT_EQ(lbound, lower);
    EXPECT_EQ(ubound, lower + 2);

    for (LONG i = lbound; i <= ubound; ++i) {
      VARIANT value = I4(i * 10);
      ASSERT_EQ(SafeArrayPutElement(array, &i, &value), S_OK);
    }
    for (LONG i = lbound; i <= ubound; ++i) {
      VARIANT value;
      ASSERT_EQ(SafeArrayGetElement(array, &i, &value), S_OK);
      EXPECT_EQ(value.vt, VT_I4);
      EXPECT_EQ(value.lVal, i * 10);
    }
    for (LONG outside : {lower - 1, lower + 3}) {
      VARIANT value = I4(0);
      EXPECT_EQ(SafeArrayPutElement(array, &outside, &value), DISP_E_BADINDEX) << outside;
      EXPECT_EQ(SafeArrayGetElement(array, &outside, &value), DISP_E_BADINDEX) << outside;
    }
    EXPECT_EQ(SafeArrayGetLBound(array, 2, &lbound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
  }
}

TEST(SafeArray, EmptyArrayAnswersUpperBoundBelowLower) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 1, 0);
  LONG ubound = 99;
  ASSERT_EQ(SafeArrayGetUBound(array, 1, &ubound), S_OK);
  EXPECT_EQ(ubound, 0);
  LONG index = 1;
  VARIANT value;
  EXPECT_EQ(SafeArrayGetElement(array, &index, &value), DISP_E_BADINDEX);
  SafeArrayDestroy(array);
}

TEST(SafeArray, RefusesWhatItCannotHold) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, bounds), nullptr);       // one dimension only
  EXPECT_EQ(SafeArrayCreateVector(VT_RESERVED, 0, 1), nullptr);     // no such element type
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0x7FFFFFFF, 2), nullptr);  // last index past LONG
}

TEST(SafeArray, ElementsOwnTheirObjectsAndStrings) {
  CountingDispatch object;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 1, 2);
  LONG first = 1, second = 2;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_DISPATCH;
  value.pdispVal = &object;
  ASSERT_EQ(SafeArrayPutElement(array, &first, &value), S_OK);
  EXPECT_EQ(object.References(), 2u);

  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"kept");
  ASSERT_EQ(SafeArrayPutElement(array, &second, &text), S_OK);
  VariantClear(&text);  // the array made its own copy

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
  EXPECT_EQ(object.References(), 3u);

  // Replacing an element releases the old value.
  VARIANT number = I4(1);
  ASSERT_EQ(SafeArrayPutElement(array, &first, &number), S_OK);
  EXPECT_EQ(object.References(), 2u);

  VARIANT fetched;
  ASSERT_EQ(SafeArrayGetElement(copy, &second, &fetched), S_OK);
  EXPECT_EQ(std::u16string_view(fetched.bstrVal, SysStringLen(fetched.bstrVal)), u"kept");
  VariantClear(&fetched);

  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(object.References(), 1u);
}

TEST(SafeArray, StringAndObjectElementsArePassedByValue) {
  CountingDispatch object;
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 1);
  SAFEARRAY* objects = SafeArrayCreateVector(VT_DISPATCH, 0, 1);
  LONG index = 0;
  BSTR text = SysAllocString(u"2000");
  ASSERT_EQ(SafeArrayPutElement(strings, &index, text), S_OK);
  SysFreeString(text);
  ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IDispatch*>(&object)), S_OK);

  BSTR fetchedText = nullptr;
  IDispatch* fetchedObject = nullptr;
  ASSERT_EQ(SafeArrayGetElement(strings, &index, &fetchedText), S_OK);
  ASSERT_EQ(SafeArrayGetElement(objects, &index, &fetchedObject), S_OK);
  EXPECT_EQ(std::u16string_view(fetchedText, SysStringLen(fetchedText)), u"2000");
  EXPECT_EQ(fetchedObject, &object);
  EXPECT_EQ(object.References(), 3u);
  SysFreeString(fetchedText);
  fetchedObject->Release();

  VARTYPE type = VT_EMPTY;
  ASSERT_EQ(SafeArrayGetVartype(strings, &type), S_OK);
  EXPECT_EQ(type, VT_BSTR);
  SafeArrayDestroy(strings);
  SafeArrayDestroy(objects);
  EXPECT_EQ(object.References(), 1u);
}

TEST(SafeArray, LockedArrayIsNotDestroyed) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  static_cast<LONG*>(data)[1] = 7;
  EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(array), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);

  LONG index = 1, value = 0;
  ASSERT_EQ(SafeArrayGetElement(array, &index, &value), S_OK);
  EXPECT_EQ(value, 7);

  // A variant owns its array and destroys it when cleared.
  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_ARRAY | VT_I4;
  holder.parray = array;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &holder), S_OK);
  EXPECT_NE(copy.parray, array);
  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(VariantClear(&holder), S_OK);
}

}  // namespace
