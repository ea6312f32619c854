// HEIF samples for the Windows build of the tests. The Windows build has
// libheif's decoders only, so the samples are made on the host by
// orv-make-heif (heif_maker_host.cpp, the same MakeHeif over the host's
// libheif and its encoders), which the tests start through Wine.
#include <string>

#include "host_program_windows.h"
#include "tests/support/heif_files.h"
#include "tests/support/temp_dir.h"

namespace testsupport {

Bytes MakeHeif(const gdip::Bitmap& img, heif_compression_format format,
               heif_orientation orientation) {
    testsupport::TempDir dir;
    const auto in = dir.Path() / "in.pam", out = dir.Path() / "out.heif";
    WritePam(in, img);
    if (!testsupport::RunOnHost(ORV_HOST_HEIF_MAKER,
                                {in.string(), out.string(), std::to_string(int(format)),
                                 std::to_string(int(orientation))}))
        return {};
    return ReadBytes(out);
}

}  // namespace testsupport
