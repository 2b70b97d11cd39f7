// Module lifetime bookkeeping: the add-in objects alive in this module and
// the host's server locks, which together decide DllCanUnloadNow.
#pragma once

#include "platform/com/Com.h"

namespace addin {

void AddLiveObject() noexcept;
void RemoveLiveObject() noexcept;
LONG LiveObjectCount() noexcept;
void LockModule(bool lock) noexcept;
// S_OK when no object is alive and no lock is held, S_FALSE otherwise.
HRESULT CanUnloadModule() noexcept;

}  // namespace addin
