// The system headers (mingw-w64's <windows.h>) held, at compile time, to the
// 64-bit Windows ABI of abi_layout.h that the backend's declarations follow
// (abi_check.cpp): together they tie each declaration to the system's.
#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <cstddef>

#include "platform/win32/windows/abi_layout.h"

#define ORV_SIZE(type, size) static_assert(sizeof(::type) == (size), #type);
#define ORV_FIELD(type, field, at) \
    static_assert(offsetof(::type, field) == (at), #type "::" #field);
// The name is expanded here: most constants are the headers' macros.
#define ORV_CONSTANT(name, value) static_assert((name) == (value), #name);

ORV_ABI_SYSTEM_STRUCTS(ORV_SIZE, ORV_FIELD)
ORV_ABI_PROGRAM_STRUCTS(ORV_SIZE, ORV_FIELD)
ORV_ABI_CONSTANTS(ORV_CONSTANT)

// The backend's QS_ALLINPUT is the value without the touch and pointer bits
// that the headers add for Windows 8 and later.
static_assert((QS_ALLINPUT & ~(QS_TOUCH | QS_POINTER)) == 0x04FF);
