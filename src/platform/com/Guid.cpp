// Braced text form of GUIDs for non-Windows builds.
#ifndef _WIN32

#include <cstddef>

#include "platform/com/Com.h"

namespace {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
constexpr std::size_t kTextLength = 38;
// Position of each of the 16 bytes' two digits in the text, in GUID field
// order (Data1 most significant byte first, ...).
constexpr std::size_t kBytePositions[16] = {1,  3,  5,  7,  10, 12, 15, 17,
                                            20, 22, 25, 27, 29, 31, 33, 35};
constexpr std::size_t kDashPositions[4] = {9, 14, 19, 24};

int HexValue(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (lpsz == nullptr || pclsid == nullptr) return E_INVALIDARG;
  for (std::size_t i = 0; i < kTextLength; ++i)
    if (lpsz[i] == 0) return CO_E_CLASSSTRING;
  if (lpsz[kTextLength] != 0 || lpsz[0] != u'{' || lpsz[kTextLength - 1] != u'}')
    return CO_E_CLASSSTRING;
  for (const std::size_t dash : kDashPositions)
    if (lpsz[dash] != u'-') return CO_E_CLASSSTRING;

  BYTE bytes[16];
  for (std::size_t i = 0; i < 16; ++i) {
    const int high = HexValue(lpsz[kBytePositions[i]]);
    const int low = HexValue(lpsz[kBytePositions[i] + 1]);
    if (high < 0 || low < 0) return CO_E_CLASSSTRING;
    bytes[i] = static_cast<BYTE>(high << 4 | low);
  }
  GUID guid;
  guid.Data1 = ULONG(bytes[0]) << 24 | ULONG(bytes[1]) << 16 | ULONG(bytes[2]) << 8 | bytes[3];
  guid.Data2 = static_cast<USHORT>(bytes[4] << 8 | bytes[5]);
  guid.Data3 = static_cast<USHORT>(bytes[6] << 8 | bytes[7]);
  for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  *pclsid = guid;
  return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < static_cast<int>(kTextLength + 1)) return 0;
  const BYTE bytes[16] = {static_cast<BYTE>(rguid.Data1 >> 24),
                          static_cast<BYTE>(rguid.Data1 >> 16),
                          static_cast<BYTE>(rguid.Data1 >> 8),
                          static_cast<BYTE>(rguid.Data1),
                          static_cast<BYTE>(rguid.Data2 >> 8),
                          static_cast<BYTE>(rguid.Data2),
                          static_cast<BYTE>(rguid.Data3 >> 8),
                          static_cast<BYTE>(rguid.Data3),
                          rguid.Data4[0],
                          rguid.Data4[1],
                          rguid.Data4[2],
                          rguid.Data4[3],
                          rguid.Data4[4],
                          rguid.Data4[5],
                          rguid.Data4[6],
                          rguid.Data4[7]};
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  lpsz[0] = u'{';
  for (const std::size_t dash : kDashPositions) lpsz[dash] = u'-';
  for (std::size_t i = 0; i < 16; ++i) {
    lpsz[kBytePositions[i]] = kDigits[bytes[i] >> 4];
    lpsz[kBytePositions[i] + 1] = kDigits[bytes[i] & 0xF];
  }
  lpsz[kTextLength - 1] = u'}';
  lpsz[kTextLength] = 0;
  return static_cast<int>(kTextLength + 1);
}

#endif
