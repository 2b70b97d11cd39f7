#ifdef _WIN32

#include "platform/os/Registry.h"

#include <vector>

#include "platform/com/Com.h"

namespace platform {

namespace {

// Owns an open registry key.
class TKeyHandle {
 public:
  TKeyHandle() = default;
  TKeyHandle(const TKeyHandle&) = delete;
  TKeyHandle& operator=(const TKeyHandle&) = delete;
  ~TKeyHandle() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool RegistrySetString(std::string_view keyPath, std::string_view valueName,
                       std::string_view data) {
  TKeyHandle key;
  const std::string path(keyPath);
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, key.Out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::string name(valueName);
  const std::string text(data);
  return RegSetValueExA(key.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryDeleteKey(std::string_view keyPath) {
  const std::string path(keyPath);
  return RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS;
}

bool RegistryKeyExists(std::string_view keyPath) {
  TKeyHandle key;
  const std::string path(keyPath);
  return RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

std::optional<std::string> RegistryGetString(std::string_view keyPath, std::string_view valueName) {
  TKeyHandle key;
  const std::string path(keyPath);
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::string name(valueName);
  const char* namePtr = name.empty() ? nullptr : name.c_str();
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), namePtr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  std::vector<char> buffer(size + 1, '\0');
  if (RegQueryValueExA(key.Get(), namePtr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(buffer.data());
}

std::string ServerModulePath() {
  HMODULE module = nullptr;
  // The module that holds this function, not the executable that loaded it.
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&ServerModulePath), &module)) {
    return {};
  }
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string ShortPathName(const std::string& path) {
  const DWORD needed = GetShortPathNameA(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::vector<char> buffer(needed);
  const DWORD length = GetShortPathNameA(path.c_str(), buffer.data(), needed);
  if (length == 0 || length >= needed) return path;
  return std::string(buffer.data(), length);
}

}  // namespace platform

#endif
