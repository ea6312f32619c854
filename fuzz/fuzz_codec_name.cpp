// The codec a decoder fuzz target decodes with, set per target by the build
// (ORV_FUZZ_CODEC): the one file compiled once per target.
extern const char kFuzzCodec[];
const char kFuzzCodec[] = ORV_FUZZ_CODEC;
