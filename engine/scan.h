// Listing every file under a folder into a job list.
#pragma once

#include <string>

#include "engine/run_types.h"

// Appends the full path of every file under folder (depth first: a folder's
// files, then each subfolder's subtree) except "Thumbs.db", "Desktop.ini"
// and the temporaries that a killed save may leave (save_temporary.h).
// A folder link that leads back to a folder on the current descent path is
// not entered again.
void ScanTree(const std::u16string& folder, JobList& rJobList, bool includeSubfolders);
