// File attributes that only Windows has (file_attributes_windows.cpp).
#pragma once

#include <filesystem>

namespace testsupport {

// A plain file: not hidden, system, read-only or temporary, and no folder.
bool OrdinaryFile(const std::filesystem::path& file);

}  // namespace testsupport
