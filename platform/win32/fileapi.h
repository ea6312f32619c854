// Kernel file calls on the host file system, through the drive mapping of
// host_path.h: both separators, drive C: = home, Z: = root. One header per
// concept stands behind this one.
#pragma once

#include "file_find.h"
#include "file_handles.h"
#include "file_paths.h"
