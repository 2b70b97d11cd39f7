#ifndef _WIN32

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "platform/os/Registry.h"

namespace platform {

namespace {

// Registry key names compare without regard to ASCII letter case.
struct TCaseInsensitiveLess {
  using is_transparent = void;
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
  bool operator()(std::string_view a, std::string_view b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (Lower(a[i]) != Lower(b[i])) return Lower(a[i]) < Lower(b[i]);
    }
    return a.size() < b.size();
  }
};

struct TKey {
  std::map<std::string, std::string, TCaseInsensitiveLess> Values;
  std::map<std::string, std::unique_ptr<TKey>, TCaseInsensitiveLess> Subkeys;
};

TKey& ClassesRoot() {
  static TKey root;
  return root;
}

// Splits "a\b\c" into its non-empty parts.
std::vector<std::string_view> PathParts(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find('\\');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

TKey* FindKey(std::span<const std::string_view> parts) {
  TKey* key = &ClassesRoot();
  for (std::string_view part : parts) {
    const auto found = key->Subkeys.find(part);
    if (found == key->Subkeys.end()) return nullptr;
    key = found->second.get();
  }
  return key;
}

}  // namespace

bool RegistrySetString(std::string_view keyPath, std::string_view valueName,
                       std::string_view data) {
  TKey* key = &ClassesRoot();
  for (std::string_view part : PathParts(keyPath)) {
    auto& child = key->Subkeys[std::string(part)];
    if (!child) child = std::make_unique<TKey>();
    key = child.get();
  }
  key->Values[std::string(valueName)] = std::string(data);
  return true;
}

bool RegistryDeleteKey(std::string_view keyPath) {
  const auto parts = PathParts(keyPath);
  if (parts.empty()) return false;
  TKey* parent = FindKey(std::span(parts).first(parts.size() - 1));
  if (!parent) return false;
  const auto found = parent->Subkeys.find(parts.back());
  if (found == parent->Subkeys.end() || !found->second->Subkeys.empty()) return false;
  parent->Subkeys.erase(found);
  return true;
}

bool RegistryKeyExists(std::string_view keyPath) {
  return FindKey(PathParts(keyPath)) != nullptr;
}

std::optional<std::string> RegistryGetString(std::string_view keyPath, std::string_view valueName) {
  const TKey* key = FindKey(PathParts(keyPath));
  if (!key) return std::nullopt;
  const auto found = key->Values.find(valueName);
  if (found == key->Values.end()) return std::nullopt;
  return found->second;
}

std::string ServerModulePath() {
  Dl_info info{};
  // The shared object that holds this function, not the executable.
  if (!dladdr(reinterpret_cast<void*>(&ServerModulePath), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return info.dli_fname;
  return resolved;
}

std::string ShortPathName(const std::string& path) {
  return path;
}

}  // namespace platform

#endif
