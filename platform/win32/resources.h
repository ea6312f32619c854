// The executable's resources. The program's res/ folder defines the table, as
// the resource section of a Windows executable would hold it.
#pragma once

#include <cstddef>

#include "windows_types.h"

namespace win32 {

enum class ResourceType { Dialog, IconGroup };

struct ResourceEntry {
    ResourceType type;
    UINT id;
    const void* data;
    std::size_t size;
};

// Null when the table has no such entry.
const ResourceEntry* FindResourceEntry(ResourceType type, UINT id);

}  // namespace win32

// Defined by the program (res/).
extern const win32::ResourceEntry g_resourceTable[];
extern const std::size_t g_resourceCount;
