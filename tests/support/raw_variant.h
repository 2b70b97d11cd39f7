#pragma once
// A variant of any scalar type with the given bits, for the types OleVariant
// has no constructor of its own for (I1, UI1, UI2, UI4, UI8...).

#include "platform/OleVariant.h"

inline platform::OleVariant RawVariant(VARTYPE type, ULONGLONG bits) {
  VARIANT raw;
  VariantInit(&raw);
  raw.vt = type;
  raw.ullVal = bits;
  return platform::OleVariant::Attach(raw);
}
