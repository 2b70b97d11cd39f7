// Keys and string values under HKEY_CLASSES_ROOT, the part of the registry
// that self-registration writes. On Windows these are the real registry
// calls; elsewhere a process-wide in-memory stand-in with the same rules
// (case-insensitive key names, a key with subkeys cannot be deleted), so the
// registration code runs and is tested unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Key paths are relative to HKEY_CLASSES_ROOT with "\" between the parts; an
// empty value name is the key's default value. All text is 8-bit ANSI.

// Creates the key (and any missing parent) and sets a string value in it.
[[nodiscard]] bool RegistrySetString(std::string_view keyPath, std::string_view valueName,
                                     std::string_view data);

// Deletes a key that has no subkeys. False when it is missing or has subkeys.
[[nodiscard]] bool RegistryDeleteKey(std::string_view keyPath);

[[nodiscard]] bool RegistryKeyExists(std::string_view keyPath);

// The string value, or nothing when the key or the value is missing.
std::optional<std::string> RegistryGetString(std::string_view keyPath, std::string_view valueName);

// Full path of the module (DLL or shared library) this code is linked into.
std::string ServerModulePath();

// The short (8.3) form of an existing path on Windows; other systems have no
// short names and answer the path unchanged.
std::string ShortPathName(const std::string& path);

}  // namespace platform
