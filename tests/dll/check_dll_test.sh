#!/usr/bin/env bash
# scripts/check-dll must catch what would stop the DLL from loading on
# Windows XP SP3 or from being found by the host: a Vista-only import, an
# unknown DLL, an import by ordinal, wrong or extra exports, a missing string
# 100, a missing or wrong version resource, a header asking for Windows 6.0,
# and a function looked up at run time that the list of such lookups does not
# name, or names without a fallback although XP lacks it. Builds small DLLs
# with the MinGW cross compiler and reads the checker's verdicts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../scripts/check-dll"
cc=i686-w64-mingw32-gcc-win32
work=$(mktemp -d /tmp/orbelin-check-dll.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME DLL PATTERN...: the check fails and prints every pattern.
# LOOKUPS (a file) replaces the list of run-time lookups.
expect() {
  local name=$1 dll=$2
  shift 2
  local out status=0 options=(--version 2.1.4.27)
  [ -n "${LOOKUPS:-}" ] && options+=(--lookups "$LOOKUPS")
  out=$("$check" "${options[@]}" "$dll" 2>&1) || status=$?
  local ok=1
  [ "$status" -eq 1 ] || ok=0
  for pattern in "$@"; do grep -qF -- "$pattern" <<<"$out" || ok=0; done
  if [ "$ok" -eq 1 ]; then
    echo "ok   $name"
  else
    echo "FAIL $name (exit $status)"
    sed 's/^/     /' <<<"$out"
    failures=$((failures + 1))
  fi
}

cat >"$work/bad.c" <<'C'
#include <winsock2.h>
#include <windows.h>
HRESULT __stdcall DllCanUnloadNow(void) { return (HRESULT)GetTickCount64(); }
int Extra(void) { return ntohs(1); }
C
cat >"$work/bad.def" <<'DEF'
EXPORTS
  DllCanUnloadNow = DllCanUnloadNow@0 @3
  Extra @7
DEF
cat >"$work/version.rc" <<'RC'
#include <winver.h>
LANGUAGE 0x09, 0x01
STRINGTABLE
BEGIN
  100 "Dalvora"
END
VS_VERSION_INFO VERSIONINFO
FILEVERSION 1, 0, 0, 0
PRODUCTVERSION 2, 1, 4, 27
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "041904E3"
    BEGIN
      VALUE "FileVersion", "1.0\0"
      VALUE "ProductVersion", "2.1\0"
      VALUE "ProductName", "Addin.Dalvora\0"
    END
  END
END
RC
i686-w64-mingw32-windres "$work/version.rc" -O coff -o "$work/version.o"
$cc -shared -O1 -o "$work/bad.dll" "$work/bad.c" "$work/bad.def" "$work/version.o" -lws2_32
expect "a Vista-only import, extra and missing exports, an English string 100, a wrong version" \
  "$work/bad.dll" \
  "KERNEL32.dll!GetTickCount64 is not exported by Windows XP SP3" \
  "ordinal 1 is None, not DllUnregisterServer" \
  "ordinal 4 is None, not DllGetClassObject" \
  "unexpected export Extra at ordinal 7" \
  "string 100 (Russian) is None" \
  "file version 1.0.0.0, not 2.1.4.27" \
  "version text FileVersion is '1.0', not '2.1.4.27'"

# A DLL outside the allowlist, a function taken by ordinal only, a function
# the allowlist does not name.
printf 'LIBRARY zlib1.dll\nEXPORTS\n  compress\n' >"$work/zlib1.def"
printf 'LIBRARY oleaut32.dll\nEXPORTS\n  ByNumber @2 NONAME\n' >"$work/ordinal.def"
i686-w64-mingw32-dlltool -d "$work/zlib1.def" -l "$work/libzlib1.a"
i686-w64-mingw32-dlltool -d "$work/ordinal.def" -l "$work/libordinal.a"
cat >"$work/imports.c" <<'C'
#include <windows.h>
int compress(void);
int ByNumber(void);
int Use(void) { return compress() + ByNumber() + (int)(INT_PTR)GetDesktopWindow(); }
C
$cc -shared -O1 -o "$work/imports.dll" "$work/imports.c" "$work/libzlib1.a" "$work/libordinal.a" -luser32
expect "an unknown DLL, an import by ordinal, an unlisted function, no resources" \
  "$work/imports.dll" \
  "zlib1.dll is not a Windows XP SP3 system DLL" \
  "oleaut32.dll!#2 is not exported by Windows XP SP3" \
  "USER32.dll!GetDesktopWindow is not exported by Windows XP SP3" \
  "0 version resources, not 1"

# A header that asks for Windows Vista (6.0): XP's loader refuses the DLL,
# whatever it imports.
cat >"$work/plain.c" <<'C'
#include <windows.h>
HRESULT __stdcall DllCanUnloadNow(void) { return S_FALSE; }
C
$cc -shared -O1 -o "$work/vista.dll" "$work/plain.c" -Wl,--major-os-version,6 \
  -Wl,--minor-os-version,0 -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0
expect "a header for Windows 6.0" "$work/vista.dll" \
  "operating system version 6.0 in the header" "subsystem version 6.0 in the header"

# Functions looked up by name at run time: one XP lacks, and one XP has.
cat >"$work/lookup.c" <<'C'
#include <windows.h>
typedef ULONGLONG(WINAPI* TTicks)(void);
HRESULT __stdcall DllCanUnloadNow(void) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  TTicks ticks = (TTicks)GetProcAddress(kernel, "GetTickCount64");
  FARPROC tick = GetProcAddress(kernel, "GetTickCount");
  return ticks && tick ? S_OK : S_FALSE;
}
C
# At a fixed base whose top byte is 0x68, the opcode of "push imm32": every
# address in the code then holds one, and the reading of the names must not
# be thrown off by it (the linker's automatic base once put it there).
$cc -shared -O2 -Wl,--image-base,0x68480000 -o "$work/lookup.dll" "$work/lookup.c"
# libgcc's own lookups, as the real list has them, and a stale entry.
grep 'register_frame_info' "$here/../../scripts/runtime-lookups.txt" >"$work/runtime.txt"
{
  cat "$work/runtime.txt"
  echo 'kernel32.dll!InitializeSRWLock -- a critical section'
} >"$work/unlisted.txt"
LOOKUPS=$work/unlisted.txt expect "a run-time lookup missing from the list, a stale entry" \
  "$work/lookup.dll" \
  "GetTickCount64 is looked up at run time but not in the list" \
  "GetTickCount is looked up at run time but not in the list" \
  "InitializeSRWLock is in the list of run-time lookups but the DLL does not look it up"
{
  cat "$work/runtime.txt"
  echo 'kernel32.dll!GetTickCount64 -- none'
  echo 'kernel32.dll!GetTickCount -- none'
} >"$work/nofallback.txt"
LOOKUPS=$work/nofallback.txt expect "a lookup Windows XP lacks, listed without a fallback" \
  "$work/lookup.dll" \
  "kernel32.dll!GetTickCount64 is not exported by Windows XP SP3 and the list gives no fallback"
# ...and the same list with a fallback for it passes that check.
sed 's/GetTickCount64 -- none/GetTickCount64 -- GetTickCount/' "$work/nofallback.txt" >"$work/fallback.txt"
verdict=$("$check" --version 2.1.4.27 --lookups "$work/fallback.txt" "$work/lookup.dll" || true)
if grep -q '^ok   run-time lookups' <<<"$verdict"; then
  echo "ok   a lookup Windows XP lacks, listed with its fallback"
else
  echo "FAIL a lookup Windows XP lacks, listed with its fallback"
  sed 's/^/     /' <<<"$verdict"
  failures=$((failures + 1))
fi

printf 'MZ not really a program' >"$work/broken.dll"
expect "a file that is no PE image" "$work/broken.dll" "cannot be read as a PE file"

echo "check-dll self-test: $((7 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
