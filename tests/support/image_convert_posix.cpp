// ImageMagick's convert on Linux, through the shell.
#include <cstdlib>

#include "tests/support/image_files.h"

namespace testsupport {

bool ConvertImageFile(const std::filesystem::path& in, const std::filesystem::path& out) {
    std::string command = "convert '";
    command += in.string();
    command += "' '";
    command += out.string();
    command += "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace testsupport
