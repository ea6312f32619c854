// Creating a destination folder and the missing folders above it.
#pragma once

#include <string>

// Trims and normalises rPath in place, then creates each missing level from
// the top down. False at the first creation that fails.
bool CreateFolderLevels(std::u16string& rPath);
