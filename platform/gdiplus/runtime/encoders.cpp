// The published encoder list. Programs find an encoder by MIME type in this
// list and then save with its class identifier, so both are the platform's
// standard values.
#include "encoders.h"

#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace gdip {

namespace {

// All encoder identifiers share their last three groups, as do the format
// identifiers: {557CF40x-1A04-11D3-9A73-0000F81EF32E}, {B96B3Cxx-0728-11D3-
// 9D7B-0000F81EF32E}.
constexpr CLSID EncoderClsid(std::uint32_t data1) {
    return {data1, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
constexpr GUID FormatGuid(std::uint32_t data1) {
    return {data1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

// The codecs that write, in the list's order.
const std::vector<const CodecDescriptor*>& Encoders() {
    static const std::vector<const CodecDescriptor*> all = [] {
        std::vector<const CodecDescriptor*> v;
        for (const CodecDescriptor* c : Codecs())
            if (c->makeEncoder != nullptr) v.push_back(c);
        return v;
    }();
    return all;
}

constexpr DWORD kFlags = ImageCodecFlagsEncoder | ImageCodecFlagsDecoder |
                         ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;

std::size_t StringBytes(std::u16string_view s) {
    return (s.size() + 1) * sizeof(WCHAR);
}

DWORD SignatureCount(const CodecDescriptor& c) {
    return c.signatures[1].bytes.empty() ? 1 : 2;
}

// Per entry: its four strings, then its patterns and masks.
std::size_t StringBytes(const PublishedEncoder& e) {
    return StringBytes(e.codecName) + StringBytes(e.description) + StringBytes(e.extensions) +
           StringBytes(e.mimeType);
}
std::size_t EntryExtraBytes(const CodecDescriptor& c) {
    return StringBytes(c.published) + 2 * SignatureCount(c) * c.signatures[0].bytes.size();
}

std::size_t BlockBytes() {
    std::size_t bytes = Encoders().size() * sizeof(ImageCodecInfo);
    for (const CodecDescriptor* c : Encoders()) bytes += EntryExtraBytes(*c);
    return bytes;
}

// Writes into the block's free space from the front: strings first (so
// that every string stays aligned for WCHAR), bytes after all strings.
class BlockWriter {
public:
    BlockWriter(std::uint8_t* strings, std::uint8_t* bytes) : m_strings(strings), m_bytes(bytes) {}
    const WCHAR* String(std::u16string_view s) {
        auto* at = reinterpret_cast<WCHAR*>(m_strings);
        std::memcpy(at, s.data(), s.size() * sizeof(WCHAR));
        at[s.size()] = 0;
        m_strings += StringBytes(s);
        return at;
    }
    const BYTE* Bytes(const std::array<Signature, 2>& signatures, bool mask) {
        BYTE* at = m_bytes;
        for (const Signature& s : signatures) {
            const std::string_view sig = s.bytes;
            if (sig.empty()) continue;
            if (mask)
                std::memset(m_bytes, 0xFF, sig.size());
            else
                std::memcpy(m_bytes, sig.data(), sig.size());
            m_bytes += sig.size();
        }
        return at;
    }

private:
    std::uint8_t* m_strings;
    std::uint8_t* m_bytes;
};

std::size_t AllStringBytes() {
    std::size_t bytes = 0;
    for (const CodecDescriptor* c : Encoders()) bytes += StringBytes(c->published);
    return bytes;
}

void Describe(const CodecDescriptor& c, BlockWriter& w, ImageCodecInfo& info) {
    const PublishedEncoder& e = c.published;
    info.Clsid = EncoderClsid(e.clsidData1);
    info.FormatID = FormatGuid(e.formatData1);
    info.CodecName = w.String(e.codecName);
    info.DllName = nullptr;  // built into the module itself
    info.FormatDescription = w.String(e.description);
    info.FilenameExtension = w.String(e.extensions);
    info.MimeType = w.String(e.mimeType);
    info.Flags = kFlags;
    info.Version = 1;
    info.SigCount = SignatureCount(c);
    info.SigSize = static_cast<DWORD>(c.signatures[0].bytes.size());
    info.SigPattern = w.Bytes(c.signatures, false);
    info.SigMask = w.Bytes(c.signatures, true);
}

}  // namespace

void EncoderListSize(UINT& count, UINT& bytes) {
    count = static_cast<UINT>(Encoders().size());
    bytes = static_cast<UINT>(BlockBytes());
}

GpStatus WriteEncoderList(UINT count, UINT bytes, ImageCodecInfo* block) {
    if (block == nullptr || count != Encoders().size()) return InvalidParameter;
    if (bytes < BlockBytes()) return InsufficientBuffer;
    auto* base = reinterpret_cast<std::uint8_t*>(block);
    std::uint8_t* strings = base + Encoders().size() * sizeof(ImageCodecInfo);
    BlockWriter writer(strings, strings + AllStringBytes());
    for (std::size_t i = 0; i < Encoders().size(); ++i) Describe(*Encoders()[i], writer, block[i]);
    return Ok;
}

GpStatus EncoderFor(const CLSID& clsid, std::unique_ptr<Encoder>& encoder) {
    for (const CodecDescriptor* c : Encoders()) {
        if (!(EncoderClsid(c->published.clsidData1) == clsid)) continue;
        encoder = c->makeEncoder();
        return encoder ? Ok : NotImplemented;
    }
    return InvalidParameter;
}

}  // namespace gdip
