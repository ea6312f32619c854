// The flat API as the program links it: each call forwards to the runtime
// module "gdiplus.dll" beside the executable, loaded by GdiplusStartup and
// released by the last GdiplusShutdown. While no module is loaded every call
// fails with GdiplusNotInitialized, so the start-up check of the program
// guards the file that really does the work.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gdiplus.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/host_path.h"

namespace {

struct ModuleApi {
    decltype(&GdiplusStartup) startup = nullptr;
    decltype(&GdiplusShutdown) shutdown = nullptr;
    decltype(&GdipCreateBitmapFromFile) createBitmapFromFile = nullptr;
    decltype(&GdipGetImageWidth) getImageWidth = nullptr;
    decltype(&GdipGetImageHeight) getImageHeight = nullptr;
    decltype(&GdipGetImageEncodersSize) getImageEncodersSize = nullptr;
    decltype(&GdipGetImageEncoders) getImageEncoders = nullptr;
    decltype(&GdipSaveImageToFile) saveImageToFile = nullptr;
    decltype(&GdipDisposeImage) disposeImage = nullptr;
    decltype(&GdipAlloc) alloc = nullptr;
    decltype(&GdipFree) free = nullptr;
};

std::mutex g_lock;  // guards loading and unloading
void* g_handle = nullptr;
int g_startups = 0;
ModuleApi g_api;
std::atomic<const ModuleApi*> g_active{nullptr};  // what the forwarders call

const ModuleApi* Active() {
    return g_active.load(std::memory_order_acquire);
}

// The module beside the executable, as a host path.
std::optional<std::string> ModulePath() {
    std::vector<WCHAR> buffer(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return std::nullopt;
    std::u16string path(buffer.data(), length);
    const std::size_t slash = path.find_last_of(u"\\/");
    path.erase(slash == std::u16string::npos ? 0 : slash + 1);
    return win32::ToHostPath(path + u"gdiplus.dll");
}

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& slot) {
    void* symbol = dlsym(handle, name);
    slot = reinterpret_cast<Fn>(symbol);
    return symbol != nullptr;
}

bool BindAll(void* handle, ModuleApi& api) {
    return Bind(handle, "GdiplusStartup", api.startup) &&
           Bind(handle, "GdiplusShutdown", api.shutdown) &&
           Bind(handle, "GdipCreateBitmapFromFile", api.createBitmapFromFile) &&
           Bind(handle, "GdipGetImageWidth", api.getImageWidth) &&
           Bind(handle, "GdipGetImageHeight", api.getImageHeight) &&
           Bind(handle, "GdipGetImageEncodersSize", api.getImageEncodersSize) &&
           Bind(handle, "GdipGetImageEncoders", api.getImageEncoders) &&
           Bind(handle, "GdipSaveImageToFile", api.saveImageToFile) &&
           Bind(handle, "GdipDisposeImage", api.disposeImage) &&
           Bind(handle, "GdipAlloc", api.alloc) && Bind(handle, "GdipFree", api.free);
}

// Called with g_lock held. A module that is missing (FileNotFound), not
// loadable or short of a function (Win32Error) is not used at all.
GpStatus LoadModule() {
    const auto path = ModulePath();
    if (!path || access(path->c_str(), F_OK) != 0) return FileNotFound;
    void* handle = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return Win32Error;
    ModuleApi api;
    if (!BindAll(handle, api)) {
        dlclose(handle);
        return Win32Error;
    }
    g_handle = handle;
    g_api = api;
    return Ok;
}

void UnloadModule() {
    g_active.store(nullptr, std::memory_order_release);
    if (g_handle != nullptr) dlclose(g_handle);
    g_handle = nullptr;
    g_api = ModuleApi{};
}

}  // namespace

extern "C" {

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output) {
    std::lock_guard lock(g_lock);
    if (g_handle == nullptr) {
        if (GpStatus s = LoadModule(); s != Ok) return s;
    }
    const GpStatus status = g_api.startup(token, input, output);
    if (status == Ok) {
        ++g_startups;
        g_active.store(&g_api, std::memory_order_release);
    } else if (g_startups == 0) {
        UnloadModule();
    }
    return status;
}

void GdiplusShutdown(ULONG_PTR token) {
    std::lock_guard lock(g_lock);
    if (g_handle == nullptr || g_startups == 0) return;
    g_api.shutdown(token);
    if (--g_startups == 0) UnloadModule();
}

GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap) {
    const ModuleApi* api = Active();
    return api ? api->createBitmapFromFile(filename, bitmap) : GdiplusNotInitialized;
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width) {
    const ModuleApi* api = Active();
    return api ? api->getImageWidth(image, width) : GdiplusNotInitialized;
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height) {
    const ModuleApi* api = Active();
    return api ? api->getImageHeight(image, height) : GdiplusNotInitialized;
}

GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size) {
    const ModuleApi* api = Active();
    return api ? api->getImageEncodersSize(numEncoders, size) : GdiplusNotInitialized;
}

GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
    const ModuleApi* api = Active();
    return api ? api->getImageEncoders(numEncoders, size, encoders) : GdiplusNotInitialized;
}

GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                             const EncoderParameters* encoderParams) {
    const ModuleApi* api = Active();
    return api ? api->saveImageToFile(image, filename, clsidEncoder, encoderParams)
               : GdiplusNotInitialized;
}

GpStatus GdipDisposeImage(GpImage* image) {
    const ModuleApi* api = Active();
    return api ? api->disposeImage(image) : GdiplusNotInitialized;
}

void* GdipAlloc(size_t size) {
    const ModuleApi* api = Active();
    return api ? api->alloc(size) : nullptr;
}

void GdipFree(void* ptr) {
    const ModuleApi* api = Active();
    if (api != nullptr && ptr != nullptr) api->free(ptr);
}

}  // extern "C"
