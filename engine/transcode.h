// The output formats of a run and the image object through which a source
// file is loaded, measured, saved and released by the imaging runtime.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "res/resource.h"

struct OutputFormat {
    int code = 0;
    std::u16string mimeType;
    std::u16string extension;  // with its dot, in capitals
    CLSID encoder{};
};

// The output formats, in the order a run writes them, each with the
// identifier of the checkbox that selects it. Everything that walks the
// formats (select-all, the settings check, the controls a run locks, a run's
// list, the tests) reads this table; its length is the number of formats.
struct FormatRow {
    int code;
    int checkboxId;
    const char16_t* mimeType;
    const char16_t* extension;  // with its dot, in capitals
};
inline constexpr auto kFormatTable = std::to_array<FormatRow>({
    {1, IDC_FORMAT_PNG, u"image/png", u".PNG"},
    {2, IDC_FORMAT_BMP, u"image/bmp", u".BMP"},
    {3, IDC_FORMAT_JPEG, u"image/jpeg", u".JPG"},
    {4, IDC_FORMAT_GIF, u"image/gif", u".GIF"},
    {5, IDC_FORMAT_TIFF, u"image/tiff", u".TIF"},
});

// Rows selected by the checkbox states: every row when select-all is ticked,
// otherwise those whose box is ticked, in table order. isChecked(id) answers
// for one checkbox. Encoders are looked up for each row.
template <class IsChecked>
void AppendSelectedFormats(std::vector<OutputFormat>& rFormats, int selectAllId,
                           IsChecked isChecked);

// Index of the encoder with exactly this MIME type (case-sensitive), writing
// its CLSID; -1 and pClsid untouched when there is none.
int FindEncoderClsid(const std::u16string& mimeType, CLSID* pClsid);

// One loaded source image; its memory comes from the runtime's allocator.
struct SourceImage {
    GpBitmap* handle;
    GpStatus lastStatus;
};

// Null only when the object itself cannot be allocated; otherwise an object
// whose handle is null when the file did not load.
SourceImage* LoadSourceImage(const std::u16string& path);
UINT SourceImageWidth(SourceImage* pImage);
UINT SourceImageHeight(SourceImage* pImage);
// Replace: the file takes the path whatever is there. KeepExisting: it takes
// the path only if no file holds it when the file lands; otherwise nothing is
// written and the status is ObjectBusy.
enum class SaveMode { Replace, KeepExisting };
GpStatus SaveSourceImage(SourceImage* pImage, const std::u16string& path, const CLSID& encoder,
                         SaveMode mode);
void DestroySourceImage(SourceImage* pImage);

template <class IsChecked>
void AppendSelectedFormats(std::vector<OutputFormat>& rFormats, int selectAllId,
                           IsChecked isChecked) {
    const bool all = isChecked(selectAllId);
    for (const FormatRow& row : kFormatTable) {
        if (!all && !isChecked(row.checkboxId)) continue;
        rFormats.push_back(OutputFormat{row.code, row.mimeType, row.extension, CLSID{}});
    }
    for (OutputFormat& format : rFormats) FindEncoderClsid(format.mimeType, &format.encoder);
}
