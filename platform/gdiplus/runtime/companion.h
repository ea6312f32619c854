// DLLs that lie beside the module and carry what the module itself has no
// room for (the HEIF decoders on Windows). Windows only.
#pragma once

namespace gdip {

// Loads the DLL `name` from the folder of the module that holds this code
// (gdiplus.dll, or a test program that links the codecs), never through the
// search path; the DLL's own imports are looked for in that folder and the
// system folder only. Null when it is missing or cannot be loaded; the
// system shows no message box either way.
void* LoadCompanion(const wchar_t* name);
// The address of an export of a loaded companion, or null.
void* CompanionExport(void* library, const char* name);
void FreeCompanion(void* library);

}  // namespace gdip
