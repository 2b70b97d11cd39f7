// BSTR allocation for non-Windows builds: a 4-byte byte length, the UTF-16
// units, then a 2-byte NUL. The pointer handed out addresses the units.
#ifndef _WIN32

#include <cstdlib>
#include <cstring>

#include "platform/com/Com.h"

namespace {

constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);
// Largest byte length whose block size still fits in 32 bits.
constexpr UINT kMaxBytes = 0xFFFFFFFFu - kPrefixBytes - 2;

char* BlockOf(BSTR text) {
  return reinterpret_cast<char*>(text) - kPrefixBytes;
}

// A new string of byteLength bytes copied from source (zeros when source is
// null), or null when the length is impossible or memory is short.
BSTR AllocateBytes(const void* source, UINT byteLength) {
  if (byteLength > kMaxBytes) return nullptr;
  // One extra byte for an odd length, so the terminating NUL is whole.
  const std::size_t size = kPrefixBytes + byteLength + 2 + (byteLength & 1u);
  char* block = static_cast<char*>(std::malloc(size));
  if (block == nullptr) return nullptr;
  const std::uint32_t prefix = byteLength;
  std::memcpy(block, &prefix, kPrefixBytes);
  char* body = block + kPrefixBytes;
  if (source != nullptr)
    std::memcpy(body, source, byteLength);
  else
    std::memset(body, 0, byteLength);
  std::memset(body + byteLength, 0, size - kPrefixBytes - byteLength);
  return reinterpret_cast<BSTR>(body);
}

UINT UnitsUntilNul(const OLECHAR* text) {
  UINT n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return AllocateBytes(strIn, ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocString(const OLECHAR* psz) {
  return psz == nullptr ? nullptr : SysAllocStringLen(psz, UnitsUntilNul(psz));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
  return AllocateBytes(psz, len);
}

// The new copy is made before the old string is freed: psz may point into it.
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  BSTR copy = SysAllocStringLen(psz, len);
  if (copy == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = copy;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  if (psz == nullptr) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  return SysReAllocStringLen(pbstr, psz, UnitsUntilNul(psz));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(BlockOf(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  std::uint32_t prefix;
  std::memcpy(&prefix, BlockOf(bstr), kPrefixBytes);
  return prefix;
}

UINT SysStringLen(BSTR pbstr) {
  return SysStringByteLen(pbstr) / static_cast<UINT>(sizeof(OLECHAR));
}

#endif
