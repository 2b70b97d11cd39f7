#include "addin/ComServer.h"

namespace addin {

namespace {
LONG volatile LiveObjects = 0;
LONG volatile ModuleLocks = 0;
}  // namespace

void AddLiveObject() noexcept {
  InterlockedIncrement(&LiveObjects);
}

void RemoveLiveObject() noexcept {
  InterlockedDecrement(&LiveObjects);
}

LONG LiveObjectCount() noexcept {
  return LiveObjects;
}

void LockModule(bool lock) noexcept {
  if (lock)
    InterlockedIncrement(&ModuleLocks);
  else
    InterlockedDecrement(&ModuleLocks);
}

HRESULT CanUnloadModule() noexcept {
  return LiveObjects == 0 && ModuleLocks == 0 ? S_OK : S_FALSE;
}

}  // namespace addin
