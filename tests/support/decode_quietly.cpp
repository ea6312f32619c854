// DecodeQuietly (runtime_files.h), apart from the rest because it asserts:
// the fuzzers' seed maker builds the other helpers without GoogleTest.
#include <gtest/gtest.h>

#include "tests/support/runtime_files.h"

namespace testsupport {

gdip::Bitmap DecodeQuietly(const gdip::CodecDescriptor& codec, const Bytes& file,
                           GpStatus expected) {
    gdip::Bitmap out;
    std::string printed;
    EXPECT_EQ(DecodeWatched(*codec.makeDecoder(), file, out, printed), expected) << codec.name;
    EXPECT_EQ(printed, "") << codec.name;
    return out;
}

}  // namespace testsupport
