// ImageMagick's convert on a POSIX host, through the shell.
#include <cstdlib>

#include "tests/support/runtime_files.h"

namespace testsupport {

bool Convert(const std::vector<std::string>& args) {
    std::string command = "convert";
    for (const std::string& a : args) {
        command += ' ';
        command += ShellQuoted(a);
    }
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace testsupport
