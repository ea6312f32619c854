// What both backends of the system calls share: the answers the tests preset
// in place of the system's, and copying text out into a caller's buffer the
// way the system calls do. Not seen by the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win32/shell.h"
#include "platform/win32/windows_types.h"

namespace win32 {

// Set by SetModuleFileNameForTesting; empty when the system answers.
std::u16string& ModuleFileNameOverride();
// Set by SetFolderChooserForTesting and SetShellExecuteForTesting; empty when
// the user and the desktop answer.
FolderChooserHook& FolderChooser();
ShellExecuteHook& ShellExecuteRecorder();

// As much of text as fits before a terminator in a buffer of capacity > 0
// code units; returns the code units written, terminator left out.
std::size_t CopyTruncated(std::u16string_view text, LPWSTR buffer, std::size_t capacity);

// A file name into a buffer of nSize code units: cut to fit with its
// terminator; the length written, or nSize when the name was cut. 0 when
// there is no buffer.
DWORD CopyFileNameOut(std::u16string_view name, LPWSTR buffer, DWORD nSize);

// A path into a MAX_PATH buffer, whole or not at all: FALSE, nothing
// written, when it is empty or too long.
BOOL CopyPathOut(std::u16string_view path, LPWSTR buffer);

}  // namespace win32
