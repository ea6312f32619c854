// Programs that the Windows tests start: the host's under Wine
// (convert_windows.cpp), and Windows programs (child_process_windows.cpp).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// Runs the Windows program `exe` with `args` in `folder` and waits for it at
// most `seconds`; its standard output and error go to the file `output`.
// The exit code, or -1 when it could not start or did not end in time (it
// is then ended).
int RunWindowsProgram(const std::filesystem::path& exe, const std::vector<std::string>& args,
                      const std::filesystem::path& folder, const std::filesystem::path& output,
                      int seconds);

// The folder of the running test program, and whether a DLL of that name
// is loaded in this process.
std::filesystem::path ProgramFolder();
bool ModuleLoaded(const std::string& name);

// A program of the host: true when it ran and exited with 0. `program` is
// a host path or a name the host's shell finds; Windows paths
// among the arguments become the host paths Wine maps them to.
bool RunOnHost(const std::string& program, const std::vector<std::string>& args);

}  // namespace testsupport
