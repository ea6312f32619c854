// Version information: the first well-formed VS_VERSIONINFO block anywhere in
// a file's bytes. Our modules carry the block as data inside an ELF file, so
// there is no resource directory to follow; the search skips every place
// where the key text appears without a valid block around it (a string
// literal, a half-written block).
#include "version.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "host_path.h"

namespace {

// WORD wLength, WORD wValueLength, WORD wType, the key with its terminator,
// padding to a multiple of 4, then the fixed record.
constexpr char16_t kKey[] = u"VS_VERSION_INFO";
constexpr std::size_t kKeyOffset = 6;
constexpr std::size_t kKeyBytes = sizeof(kKey);  // 32, terminator included
constexpr std::size_t kFixedOffset = 40;
constexpr std::size_t kMinimumBlock = kFixedOffset + sizeof(VS_FIXEDFILEINFO);

WORD Word(const unsigned char* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

DWORD Dword(const unsigned char* p) {
    return static_cast<DWORD>(Word(p)) | (static_cast<DWORD>(Word(p + 2)) << 16);
}

// The key as it stands in the file: UTF-16LE.
std::string KeyBytes() {
    std::string key;
    for (char16_t c : kKey) {
        key += static_cast<char>(c & 0xFF);
        key += static_cast<char>(c >> 8);
    }
    return key;
}

bool IsBlockAt(const unsigned char* b, std::size_t available) {
    if (available < kMinimumBlock) return false;
    const WORD length = Word(b);
    return length >= kMinimumBlock && length <= available &&
           Word(b + 2) == sizeof(VS_FIXEDFILEINFO) && Word(b + 4) == 0 &&
           Dword(b + kFixedOffset) == VS_FFI_SIGNATURE;
}

struct Block {
    std::size_t offset;
    std::size_t length;
};

std::optional<Block> FindBlock(const std::string& bytes) {
    static const std::string key = KeyBytes();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
        if (at < kKeyOffset) continue;
        const std::size_t start = at - kKeyOffset;
        if (IsBlockAt(data + start, bytes.size() - start)) return Block{start, Word(data + start)};
    }
    return std::nullopt;
}

// The whole file; nothing for a folder, a missing or unreadable file.
std::optional<std::string> ReadRegularFile(LPCWSTR winPath) {
    if (winPath == nullptr) return std::nullopt;
    const auto host = win32::ToHostPath(winPath);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::ifstream in(*host, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, DWORD* lpdwHandle) {
    if (lpdwHandle != nullptr) *lpdwHandle = 0;
    const auto bytes = ReadRegularFile(lptstrFilename);
    if (!bytes) return 0;
    const auto block = FindBlock(*bytes);
    return block ? static_cast<DWORD>(block->length) : 0;
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (lpData == nullptr || dwLen < kMinimumBlock) return FALSE;
    const auto bytes = ReadRegularFile(lptstrFilename);
    if (!bytes) return FALSE;
    const auto block = FindBlock(*bytes);
    if (!block) return FALSE;
    // A shorter buffer gets the block cut to its size, as on Windows.
    const std::size_t n = std::min<std::size_t>(block->length, dwLen);
    std::memcpy(lpData, bytes->data() + block->offset, n);
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen) {
    if (lplpBuffer != nullptr) *lplpBuffer = nullptr;
    if (puLen != nullptr) *puLen = 0;
    if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr) return FALSE;
    if (std::u16string_view(lpSubBlock) != u"\\") return FALSE;
    const auto* b = static_cast<const unsigned char*>(pBlock);
    if (Word(b + 2) != sizeof(VS_FIXEDFILEINFO) || Dword(b + kFixedOffset) != VS_FFI_SIGNATURE ||
        std::memcmp(b + kKeyOffset, KeyBytes().data(), kKeyBytes) != 0)
        return FALSE;
    *lplpBuffer = const_cast<unsigned char*>(b + kFixedOffset);
    if (puLen != nullptr) *puLen = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
