// ImageMagick's convert on a POSIX host, through the shell.
#include <cstdlib>

#include "tests/support/runtime_files.h"

namespace testsupport {

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

bool Convert(const std::vector<std::string>& args) {
    std::string command = "convert";
    for (const std::string& a : args) {
        command += ' ';
        command += Quote(a);
    }
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace testsupport
