// Loading a shared library (an add-in DLL or .so) into the process, and
// creating COM classes through the system's COM runtime where there is one.
#pragma once

#include <string>

#include "platform/com/Com.h"

namespace platform {

class TDynamicLibrary {
 public:
  // Throws std::runtime_error with the system's reason when loading fails.
  explicit TDynamicLibrary(const std::string& path);
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;
  ~TDynamicLibrary();

  // The exported symbol, or null when the library has none of that name.
  void* Symbol(const char* name) const noexcept;
  // The library's string resource (Windows); empty when it has none and on
  // systems without resources.
  std::string ResourceString(unsigned id) const;

 private:
  void* handle_ = nullptr;
};

// Full path of the running program.
std::string ExecutablePath();

// The class factory of a registered COM class, found by its ProgID through
// the COM runtime (Windows). REGDB_E_CLASSNOTREG on systems without one.
HRESULT ClassFactoryByProgId(const std::string& progId, IClassFactory** factory);

}  // namespace platform
