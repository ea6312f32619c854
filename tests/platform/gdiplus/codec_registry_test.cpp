// The rules of the list of codecs: the module's own list keeps them, and a
// list that breaks one is refused before any file is read.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"

namespace {

using gdip::CodecDescriptor;

std::unique_ptr<gdip::Encoder> NoEncoder() {
    return nullptr;
}

// A codec that writes, made from one of the module's own.
CodecDescriptor Writer(std::string_view name, gdip::Signature signature, std::uint32_t id,
                       std::u16string_view mime) {
    CodecDescriptor c = gdip::kBmpCodec;
    c.name = name;
    c.signatures = {signature, {}};
    c.makeEncoder = NoEncoder;
    c.published.clsidData1 = c.published.formatData1 = id;
    c.published.mimeType = mime;
    return c;
}

// A codec that only reads: nothing of it is published.
CodecDescriptor Reader(std::string_view name, gdip::Signature signature) {
    CodecDescriptor c = Writer(name, signature, 1, u"image/a");
    c.makeEncoder = nullptr;
    return c;
}

// The build names sources and fuzzers after the list's lines, the fuzzers
// find their codec by its name: the two must agree.
TEST(CodecRegistry, TheModulesListIsSoundAndNamedAsTheBuildNamesIt) {
    EXPECT_EQ(gdip::RegistryFault(gdip::Codecs()), "");
    const std::pair<std::string, const CodecDescriptor*> listed[] = {
#define ORV_CODEC(Name) {#Name, &gdip::k##Name##Codec},
#include "platform/gdiplus/runtime/codec_list.h"
#undef ORV_CODEC
    };
    ASSERT_EQ(std::size(listed), gdip::Codecs().size());
    for (auto [name, codec] : listed) {
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(codec->name, name);
    }
}

TEST(CodecRegistry, ListsBreakingARuleAreRefused) {
    const CodecDescriptor a = Writer("a", {0, "GIF89a"}, 1, u"image/a");
    CodecDescriptor noSniffer = Writer("n", {0, "NN"}, 3, u"image/n");
    noSniffer.sniff = nullptr;
    CodecDescriptor twoSizes = Writer("t", {0, "II*"}, 4, u"image/t");
    twoSizes.signatures[1] = {0, "MM"};
    const struct {
        const char* what;
        CodecDescriptor other;
        bool refused;
    } cases[] = {
        {"a distinct codec", Writer("b", {0, "BM"}, 2, u"image/b"), false},
        {"one signature", Writer("b", {0, "GIF89a"}, 2, u"image/b"), true},
        {"a signature that begins another", Writer("b", {0, "GIF8"}, 2, u"image/b"), true},
        {"the same bytes elsewhere", Reader("b", {4, "GIF89a"}), false},
        {"a reader claiming a writer's signature", Reader("b", {0, "GIF"}), true},
        {"one name", Writer("a", {0, "BM"}, 2, u"image/b"), true},
        {"one class identifier", Writer("b", {0, "BM"}, 1, u"image/b"), true},
        {"one MIME type", Writer("b", {0, "BM"}, 2, u"image/a"), true},
        {"a reader with a writer's identifiers", Reader("b", {0, "RIFF"}), false},
        {"no sniffer", noSniffer, true},
        {"signatures of two lengths", twoSizes, true},
        {"a published signature not at the start", Writer("b", {4, "ftyp"}, 2, u"image/b"), true},
    };
    for (const auto& c : cases) {
        const std::vector<const CodecDescriptor*> list{&a, &c.other};
        EXPECT_EQ(!gdip::RegistryFault(list).empty(), c.refused) << c.what;
    }
}

}  // namespace
