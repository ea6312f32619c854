// Values shared by the run's operations.
#pragma once

#include <string>
#include <vector>

enum class RunState : int { Idle = 0, Running = 1, Paused = 2 };

enum class ClashPolicy : int { Prefix = 0, Suffix = 1, Overwrite = 2 };

// The ordered full paths of a run's source files.
using JobList = std::vector<std::u16string>;

// Room reserved for a new job list and for each folder's subfolder list.
constexpr std::size_t kJobListReserve = 65535;
// Room reserved for a run's format list.
constexpr std::size_t kFormatListReserve = 40000;

// Identifiers of the two one-shot step timers.
constexpr unsigned kLoadTimer = 0x10100;
constexpr unsigned kSaveTimer = 0x10101;

enum class StatusLineForm { InProgress, Final };

// T, P, R, E and S of the status line.
struct RunCounters {
    int total = 0;
    int processed = 0;
    int recognised = 0;
    int expected = 0;
    int saved = 0;
};
