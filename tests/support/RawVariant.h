#pragma once
// A variant of any scalar type with the given bits, for the types TOleVariant
// has no constructor of its own for (I1, UI1, UI2, UI4, UI8...).

#include "platform/com/OleVariant.h"

inline platform::TOleVariant RawVariant(VARTYPE type, ULONGLONG bits) {
  VARIANT raw;
  VariantInit(&raw);
  raw.vt = type;
  raw.ullVal = bits;
  return platform::TOleVariant::Attach(raw);
}
