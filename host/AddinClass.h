// One add-in class the host has loaded: the library it lives in, its class
// factory, and the extension name it registered. Creating an instance goes
// the host's way: CreateInstance, Init with the host connection, GetInfo,
// RegisterExtensionAs; the instance is then wrapped for scripts.
#pragma once

#include <memory>
#include <string>

#include "addin/ComPtr.h"
#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"
#include "platform/os/DynamicLibrary.h"

namespace host {

class TAddinClass {
 public:
  // Loads the library at `path` and gets its class factory: on Linux from
  // the library's DllGetClassObject (the add-in class ID), on Windows
  // through COM by the ProgID "AddIn." + the library's string resource 100,
  // after the library has registered itself. Throws THostError.
  explicit TAddinClass(const std::string& path);
  // An add-in linked into this process (tests, fuzzers): its class factory.
  explicit TAddinClass(addin::TComPtr<IClassFactory> factory) : factory_(std::move(factory)) {}

  // "AddIn." + the extension name the last instance registered as.
  const std::string& ProgId() const noexcept { return progId_; }

  // A new, initialised instance wrapped for scripts. Throws THostError.
  platform::TOleVariant Create(IDispatch* hostConnection);

 private:
  // Declared first so the factory is released before the library unloads.
  std::unique_ptr<platform::TDynamicLibrary> library_;
  addin::TComPtr<IClassFactory> factory_;
  std::string progId_;
};

}  // namespace host
