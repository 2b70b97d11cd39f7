// The class ID of the add-in's COM class, fixed once and never changed:
// registration writes it, DllGetClassObject answers it. Where there is no
// registry shared between the host and the library (the host emulator on
// Linux), the host asks an add-in library for its class object under this
// ID, so a library made for that host serves its add-in class under it.
#pragma once

#include "platform/com/Com.h"

namespace addin {

// {37240DA5-3FB3-4224-92BF-76864D4AE18C}
inline constexpr CLSID CLSID_Dalvora = {
    0x37240DA5, 0x3FB3, 0x4224, {0x92, 0xBF, 0x76, 0x86, 0x4D, 0x4A, 0xE1, 0x8C}};

}  // namespace addin
