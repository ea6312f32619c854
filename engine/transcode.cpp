// The format table, the encoder look-up and the image calls of the imaging runtime.
#include "engine/transcode.h"

#include <cstdlib>
#include <new>

#include "res/resource.h"
#include "ui/main_dialog.h"

int FindEncoderClsid(const std::u16string& mimeType, CLSID* pClsid) {
    UINT count = 0;
    UINT size = 0;
    GdipGetImageEncodersSize(&count, &size);
    if (size == 0) return -1;
    auto* block = static_cast<ImageCodecInfo*>(std::malloc(size));
    if (block == nullptr) return -1;
    int found = -1;
    if (GdipGetImageEncoders(count, size, block) == Ok) {
        for (UINT i = 0; i < count; ++i) {
            if (block[i].MimeType != nullptr && mimeType == block[i].MimeType) {
                *pClsid = block[i].Clsid;
                found = static_cast<int>(i);
                break;
            }
        }
    }
    std::free(block);
    return found;
}

SourceImage* LoadSourceImage(const std::u16string& path) {
    void* memory = GdipAlloc(sizeof(SourceImage));
    if (memory == nullptr) return nullptr;
    auto* image = new (memory) SourceImage{nullptr, Ok};
    image->lastStatus = GdipCreateBitmapFromFile(path.c_str(), &image->handle);
    if (image->lastStatus != Ok) image->handle = nullptr;
    return image;
}

namespace {
using SizeGetter = GpStatus (*)(GpImage*, UINT*);

UINT ReadSize(SourceImage* pImage, SizeGetter getter) {
    UINT value = 0;
    if (pImage == nullptr) return 0;
    const GpStatus status = getter(reinterpret_cast<GpImage*>(pImage->handle), &value);
    if (status != Ok) {
        pImage->lastStatus = status;
        return 0;
    }
    return value;
}
}  // namespace

UINT SourceImageWidth(SourceImage* pImage) {
    return ReadSize(pImage, &GdipGetImageWidth);
}
UINT SourceImageHeight(SourceImage* pImage) {
    return ReadSize(pImage, &GdipGetImageHeight);
}

GpStatus SaveSourceImage(SourceImage* pImage, const std::u16string& path, const CLSID& encoder,
                         SaveMode mode) {
    LONG keep = 1;
    EncoderParameters params{1, {{EncoderKeepExisting, 1, EncoderParameterValueTypeLong, &keep}}};
    const GpStatus status =
        GdipSaveImageToFile(reinterpret_cast<GpImage*>(pImage->handle), path.c_str(), &encoder,
                            mode == SaveMode::KeepExisting ? &params : nullptr);
    if (status != Ok) pImage->lastStatus = status;
    return status;
}

void DestroySourceImage(SourceImage* pImage) {
    if (pImage == nullptr) return;
    if (pImage->handle != nullptr) GdipDisposeImage(reinterpret_cast<GpImage*>(pImage->handle));
    pImage->~SourceImage();
    GdipFree(pImage);
}

void CConverterDlg::BuildFormatTable(std::vector<OutputFormat>& rFormats) {
    AppendSelectedFormats(rFormats, IDC_SELECT_ALL,
                          [this](int id) { return IsDlgButtonChecked(id) == BST_CHECKED; });
}

void CImageDisposer::Dispose(SourceImage*& rpImage) const {
    if (rpImage == nullptr) return;
    DestroySourceImage(rpImage);
    rpImage = nullptr;
}
