// ImageMagick's convert for the window tests, through the runtime tests'
// helper: the shell on Linux, the host's own program started through Wine
// on Windows.
#include <string>
#include <vector>

#include "tests/support/image_files.h"

namespace testsupport {
bool Convert(const std::vector<std::string>& args);
}  // namespace testsupport

namespace testsupport {

bool ConvertImageFile(const std::filesystem::path& in, const std::filesystem::path& out) {
    return testsupport::Convert({in.string(), out.string()});
}

}  // namespace testsupport
