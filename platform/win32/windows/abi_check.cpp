// The backend's hand-made declarations held, at compile time, to the 64-bit
// Windows ABI of abi_layout.h (the system headers' own side is
// abi_check_system.cpp).
#include <cstddef>

#include "platform/framework/afx_gdi.h"
#include "platform/win32/file_find.h"
#include "platform/win32/file_handles.h"
#include "platform/win32/shell.h"
#include "platform/win32/version.h"
#include "platform/win32/windows/abi_layout.h"
#include "platform/win32/windows/system_api.h"

#define ORV_SYSTEM_SIZE(type, size) static_assert(sizeof(sys::type) == (size), #type);
#define ORV_SYSTEM_FIELD(type, field, at) \
    static_assert(offsetof(sys::type, field) == (at), #type "::" #field);
#define ORV_PROGRAM_SIZE(type, size) static_assert(sizeof(::type) == (size), #type);
#define ORV_PROGRAM_FIELD(type, field, at) \
    static_assert(offsetof(::type, field) == (at), #type "::" #field);
#define ORV_CONSTANT(name, value) static_assert(sys::name == (value), #name);

ORV_ABI_SYSTEM_STRUCTS(ORV_SYSTEM_SIZE, ORV_SYSTEM_FIELD)
ORV_ABI_PROGRAM_STRUCTS(ORV_PROGRAM_SIZE, ORV_PROGRAM_FIELD)
ORV_ABI_CONSTANTS(ORV_CONSTANT)

// Not in the system headers' MSG, but in the documented one: the last field.
static_assert(offsetof(sys::MSG, lPrivate) == 44);
// Before Windows 8's touch and pointer input: what the modal loops wait for.
static_assert(sys::QS_ALLINPUT == 0x04FF);
