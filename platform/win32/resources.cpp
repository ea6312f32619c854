// Looks up the executable's resource table that res/ defines.
#include "resources.h"

namespace win32 {

const ResourceEntry* FindResourceEntry(ResourceType type, UINT id) {
    for (std::size_t i = 0; i < g_resourceCount; ++i) {
        const ResourceEntry& e = g_resourceTable[i];
        if (e.type == type && e.id == id) return &e;
    }
    return nullptr;
}

}  // namespace win32
