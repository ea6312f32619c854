// The one place that knows every codec. A file's format is read from its
// first bytes only; its name plays no part.

#include <algorithm>
#include <array>

#include "codec.h"

namespace gdip {

namespace {

constexpr std::array kCodecs{
#define ORV_CODEC(Name) &k##Name##Codec,
#include "codec_list.h"
#undef ORV_CODEC
};

// Two marks claim the same files when, at one offset, one begins the other.
bool Overlap(const Signature& a, const Signature& b) {
    if (a.bytes.empty() || b.bytes.empty() || a.offset != b.offset) return false;
    const std::size_t n = std::min(a.bytes.size(), b.bytes.size());
    return a.bytes.substr(0, n) == b.bytes.substr(0, n);
}

std::string Fault(const CodecDescriptor& a, const char* what) {
    return std::string(a.name) + ": " + what;
}

std::string OwnFault(const CodecDescriptor& c) {
    if (c.name.empty()) return "a codec without a name";
    if (c.sniff == nullptr || c.makeDecoder == nullptr) return Fault(c, "no sniffer or decoder");
    if (c.signatures[0].bytes.empty()) return Fault(c, "no signature");
    if (c.makeEncoder == nullptr) return {};
    const auto& [first, second] = c.signatures;
    if (c.published.mimeType.empty() || first.offset != 0 ||
        (!second.bytes.empty() &&
         (second.offset != 0 || second.bytes.size() != first.bytes.size())))
        return Fault(c, "an encoder that cannot be published");
    return {};
}

std::string PairFault(const CodecDescriptor& a, const CodecDescriptor& b) {
    if (a.name == b.name) return Fault(a, "two codecs of one name");
    for (const Signature& s : a.signatures)
        for (const Signature& t : b.signatures)
            if (Overlap(s, t)) return Fault(a, "a signature that another codec claims too");
    if (a.makeEncoder == nullptr || b.makeEncoder == nullptr) return {};
    if (a.published.clsidData1 == b.published.clsidData1 ||
        a.published.formatData1 == b.published.formatData1)
        return Fault(a, "an identifier that another encoder has too");
    if (a.published.mimeType == b.published.mimeType)
        return Fault(a, "a MIME type that another encoder has too");
    return {};
}

// The decoders, made once, in the order they are tried.
struct Sniffer {
    const CodecDescriptor* codec;
    std::unique_ptr<Decoder> decoder;
};

std::vector<Sniffer> MakeSniffers() {
    std::vector<Sniffer> all;
    for (const CodecDescriptor* c : kCodecs) all.push_back({c, c->makeDecoder()});
    std::stable_sort(all.begin(), all.end(), [](const Sniffer& a, const Sniffer& b) {
        return a.codec->priority < b.codec->priority;
    });
    return all;
}

}  // namespace

std::span<const CodecDescriptor* const> Codecs() {
    return kCodecs;
}

std::string RegistryFault(std::span<const CodecDescriptor* const> codecs) {
    for (std::size_t i = 0; i < codecs.size(); ++i) {
        if (std::string f = OwnFault(*codecs[i]); !f.empty()) return f;
        for (std::size_t j = i + 1; j < codecs.size(); ++j)
            if (std::string f = PairFault(*codecs[i], *codecs[j]); !f.empty()) return f;
    }
    return {};
}

const Decoder* DecoderFor(std::span<const std::uint8_t> head) {
    static const std::vector<Sniffer> sniffers = [] {
        try {
            return MakeSniffers();
        } catch (...) {
            return std::vector<Sniffer>{};
        }
    }();
    for (const Sniffer& s : sniffers)
        if (s.decoder && s.codec->sniff(head)) return s.decoder.get();
    return nullptr;
}

}  // namespace gdip
