// The imaging runtime's flat API as the program calls it. The functions here
// forward to the runtime module "gdiplus.dll" beside the executable, loaded by
// GdiplusStartup; until then, and when it cannot be loaded, every call returns
// an error status.
#pragma once

#include "../win32/windows_types.h"

enum GpStatus {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};

struct GpImage;
struct GpBitmap;  // a GpBitmap is a GpImage

using DebugEventProc = void (*)(int level, char* message);

struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};

struct GdiplusStartupOutput {
    void* NotificationHook;
    void* NotificationUnhook;
};

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

constexpr DWORD ImageCodecFlagsEncoder = 0x00000001;
constexpr DWORD ImageCodecFlagsDecoder = 0x00000002;
constexpr DWORD ImageCodecFlagsSupportBitmap = 0x00000004;
constexpr DWORD ImageCodecFlagsBuiltin = 0x00010000;

// Encoder parameters, laid out as the platform lays them out.
struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type;
    void* Value;
};
struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[1];
};
constexpr ULONG EncoderParameterValueTypeLong = 4;

// Our module's own parameter (one LONG): non-zero asks the save to keep a
// file that already has the name. The file then takes the name only if it is
// still free in the step that makes it visible, and the save returns
// ObjectBusy, writing nothing, when another file holds the name by then.
// Without it a save replaces the file under its name, as the flat API
// always does.
inline constexpr GUID EncoderKeepExisting = {
    0x6b0e3a52, 0x9d41, 0x4c7e, {0xa3, 0x18, 0x5f, 0x27, 0xc4, 0x90, 0x1d, 0x6e}};

extern "C" {
GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap);
GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size);
GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders);
GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                             const EncoderParameters* encoderParams);
GpStatus GdipDisposeImage(GpImage* image);
void* GdipAlloc(size_t size);
void GdipFree(void* ptr);
}
