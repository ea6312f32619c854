// The published encoder list. Programs find an encoder by MIME type in this
// list and then save with its class identifier, so both are the platform's
// standard values.
#include "encoders.h"

#include <array>
#include <cstring>
#include <string_view>

namespace gdip {

namespace {

using Factory = std::unique_ptr<Encoder> (*)();

struct EncoderEntry {
    std::uint32_t clsidData1;
    std::uint32_t formatData1;
    std::u16string_view codecName;
    std::u16string_view description;
    std::u16string_view extensions;
    std::u16string_view mimeType;
    std::array<std::string_view, 2> signatures;  // second may be empty
    Factory factory;
};

// All encoder identifiers share their last three groups, as do the format
// identifiers: {557CF40x-1A04-11D3-9A73-0000F81EF32E}, {B96B3Cxx-0728-11D3-
// 9D7B-0000F81EF32E}.
constexpr CLSID EncoderClsid(std::uint32_t data1) {
    return {data1, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
constexpr GUID FormatGuid(std::uint32_t data1) {
    return {data1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

using namespace std::string_view_literals;

const std::array<EncoderEntry, 5> kEncoders{{
    {0x557CF400,
     0xB96B3CAB,
     u"Built-in BMP Codec",
     u"BMP",
     u"*.BMP;*.DIB;*.RLE",
     u"image/bmp",
     {"BM"sv, ""sv},
     MakeBmpEncoder},
    {0x557CF401,
     0xB96B3CAE,
     u"Built-in JPEG Codec",
     u"JPEG",
     u"*.JPG;*.JPEG;*.JPE;*.JFIF",
     u"image/jpeg",
     {"\xFF\xD8"sv, ""sv},
     MakeJpegEncoder},
    {0x557CF402,
     0xB96B3CB0,
     u"Built-in GIF Codec",
     u"GIF",
     u"*.GIF",
     u"image/gif",
     {"GIF89a"sv, "GIF87a"sv},
     MakeGifEncoder},
    {0x557CF405,
     0xB96B3CB1,
     u"Built-in TIFF Codec",
     u"TIFF",
     u"*.TIF;*.TIFF",
     u"image/tiff",
     {"II*\0"sv, "MM\0*"sv},
     MakeTiffEncoder},
    {0x557CF406,
     0xB96B3CAF,
     u"Built-in PNG Codec",
     u"PNG",
     u"*.PNG",
     u"image/png",
     {"\x89PNG\r\n\x1A\n"sv, ""sv},
     MakePngEncoder},
}};

constexpr DWORD kFlags = ImageCodecFlagsEncoder | ImageCodecFlagsDecoder |
                         ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;

std::size_t StringBytes(std::u16string_view s) {
    return (s.size() + 1) * sizeof(WCHAR);
}

DWORD SignatureCount(const EncoderEntry& e) {
    return e.signatures[1].empty() ? 1 : 2;
}

// Per entry: its four strings, then its patterns and masks.
std::size_t EntryExtraBytes(const EncoderEntry& e) {
    return StringBytes(e.codecName) + StringBytes(e.description) + StringBytes(e.extensions) +
           StringBytes(e.mimeType) + 2 * SignatureCount(e) * e.signatures[0].size();
}

std::size_t BlockBytes() {
    std::size_t bytes = kEncoders.size() * sizeof(ImageCodecInfo);
    for (const EncoderEntry& e : kEncoders) bytes += EntryExtraBytes(e);
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
    const BYTE* Bytes(std::string_view a, std::string_view b, bool mask) {
        BYTE* at = m_bytes;
        for (std::string_view sig : {a, b}) {
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
    for (const EncoderEntry& e : kEncoders)
        bytes += StringBytes(e.codecName) + StringBytes(e.description) + StringBytes(e.extensions) +
                 StringBytes(e.mimeType);
    return bytes;
}

void Describe(const EncoderEntry& e, BlockWriter& w, ImageCodecInfo& info) {
    info.Clsid = EncoderClsid(e.clsidData1);
    info.FormatID = FormatGuid(e.formatData1);
    info.CodecName = w.String(e.codecName);
    info.DllName = nullptr;  // built into the module itself
    info.FormatDescription = w.String(e.description);
    info.FilenameExtension = w.String(e.extensions);
    info.MimeType = w.String(e.mimeType);
    info.Flags = kFlags;
    info.Version = 1;
    info.SigCount = SignatureCount(e);
    info.SigSize = static_cast<DWORD>(e.signatures[0].size());
    info.SigPattern = w.Bytes(e.signatures[0], e.signatures[1], false);
    info.SigMask = w.Bytes(e.signatures[0], e.signatures[1], true);
}

}  // namespace

void EncoderListSize(UINT& count, UINT& bytes) {
    count = static_cast<UINT>(kEncoders.size());
    bytes = static_cast<UINT>(BlockBytes());
}

GpStatus WriteEncoderList(UINT count, UINT bytes, ImageCodecInfo* block) {
    if (block == nullptr || count != kEncoders.size()) return InvalidParameter;
    if (bytes < BlockBytes()) return InsufficientBuffer;
    auto* base = reinterpret_cast<std::uint8_t*>(block);
    std::uint8_t* strings = base + kEncoders.size() * sizeof(ImageCodecInfo);
    BlockWriter writer(strings, strings + AllStringBytes());
    for (std::size_t i = 0; i < kEncoders.size(); ++i) Describe(kEncoders[i], writer, block[i]);
    return Ok;
}

GpStatus EncoderFor(const CLSID& clsid, std::unique_ptr<Encoder>& encoder) {
    for (const EncoderEntry& e : kEncoders) {
        if (!(EncoderClsid(e.clsidData1) == clsid)) continue;
        encoder = e.factory();
        return encoder ? Ok : NotImplemented;
    }
    return InvalidParameter;
}

}  // namespace gdip
