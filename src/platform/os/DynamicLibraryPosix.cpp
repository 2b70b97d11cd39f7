#ifndef _WIN32

#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "platform/os/DynamicLibrary.h"

namespace platform {

TDynamicLibrary::TDynamicLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    throw std::runtime_error("cannot load " + path + ": " + (reason ? reason : "unknown reason"));
  }
}

TDynamicLibrary::~TDynamicLibrary() {
  dlclose(handle_);
}

void* TDynamicLibrary::Symbol(const char* name) const noexcept {
  return dlsym(handle_, name);
}

std::string TDynamicLibrary::ResourceString(unsigned) const {
  return {};
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

HRESULT ClassFactoryByProgId(const std::string&, IClassFactory** factory) {
  if (factory) *factory = nullptr;
  return REGDB_E_CLASSNOTREG;
}

}  // namespace platform

#endif
