#ifdef _WIN32

#include <stdexcept>
#include <vector>

#include "platform/os/CodePage.h"
#include "platform/os/DynamicLibrary.h"

namespace platform {

TDynamicLibrary::TDynamicLibrary(const std::string& path) {
  handle_ = LoadLibraryA(path.c_str());
  if (!handle_)
    throw std::runtime_error("cannot load " + path + ": error " + std::to_string(GetLastError()));
}

TDynamicLibrary::~TDynamicLibrary() {
  FreeLibrary(static_cast<HMODULE>(handle_));
}

void* TDynamicLibrary::Symbol(const char* name) const noexcept {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string TDynamicLibrary::ResourceString(unsigned id) const {
  char text[256];
  const int length = LoadStringA(static_cast<HMODULE>(handle_), id, text, sizeof text);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

std::string ExecutablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

HRESULT ClassFactoryByProgId(const std::string& progId, IClassFactory** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  // Apartment threading, as the host runs its add-ins; a repeated call is harmless.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) return init;
  const TOleString wideProgId = FromAnsi(progId);
  CLSID classId;
  HRESULT hr = CLSIDFromProgID(wideProgId.c_str(), &classId);
  if (FAILED(hr)) return hr;
  return CoGetClassObject(classId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                          reinterpret_cast<void**>(factory));
}

}  // namespace platform

#endif
