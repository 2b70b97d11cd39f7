#ifdef _WIN32

#include <windows.h>

#include "platform/os/LocalFile.h"

namespace platform {

std::unique_ptr<TLocalFile> TLocalFile::OpenForReading(const std::string& path,
                                                       std::uint32_t& error) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return nullptr;
  }
  return std::unique_ptr<TLocalFile>(new TLocalFile(reinterpret_cast<std::intptr_t>(handle)));
}

TLocalFile::~TLocalFile() {
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

int TLocalFile::Read(std::uint8_t* buffer, int size, std::uint32_t& error) {
  DWORD count = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(size), &count,
                nullptr)) {
    error = GetLastError();
    return -1;
  }
  return static_cast<int>(count);
}

}  // namespace platform

#endif
