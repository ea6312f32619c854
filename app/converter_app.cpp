// The application object: the runtime check at start-up, then the main window.
#include "app/converter_app.h"

#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/version.h"
#include "res/product.h"
#include "ui/main_dialog.h"
#include "util/text.h"

namespace {
constexpr char16_t kRuntimeFileName[] = u"gdiplus.dll";
constexpr DWORD kRuntimeFileSize = 1724416;  // 0x1A5000
constexpr char16_t kRuntimeVersion[] = u"5.1.3102.5581";
constexpr char16_t kRuntimeBrokenMessage[] =
    u"初始化检测失败，运行文件可能已被破坏。请重新解压缩发布文件，或者重新获取完整的发布文件。";

std::u16string VersionText(const VS_FIXEDFILEINFO& info) {
    const WORD parts[] = {HIWORD(info.dwProductVersionMS), LOWORD(info.dwProductVersionMS),
                          HIWORD(info.dwProductVersionLS), LOWORD(info.dwProductVersionLS)};
    std::u16string text;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) text += u'.';
        text += util::FormatCount(parts[i]);
    }
    return text;
}

// The executable's full path. The buffer grows until the path fits: a path
// cut at 260 characters would name another folder and refuse a good install.
std::u16string ExecutablePath() {
    std::u16string buffer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) return buffer.substr(0, length);
        buffer.resize(buffer.size() * 2);
    }
}
}  // namespace

bool CConverterApp::CheckImagingRuntime() const {
    const std::u16string executable = ExecutablePath();
    const std::size_t slash = executable.rfind(u'\\');
    std::u16string folder = slash == std::u16string::npos ? u"" : executable.substr(0, slash + 1);
    const std::u16string runtime = util::TrimText(folder) + kRuntimeFileName;

    if (!PathFileExistsW(runtime.c_str())) return false;
    WIN32_FIND_DATAW found{};
    found.nFileSizeHigh = 0;
    found.nFileSizeLow = 0;
    HANDLE search = FindFirstFileW(runtime.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    if (found.nFileSizeLow != kRuntimeFileSize) return false;

    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(runtime.c_str(), &handle);
    std::vector<unsigned char> block(std::size_t{size} * 2 + 4);
    if (!GetFileVersionInfoW(runtime.c_str(), 0, size, block.data())) return false;
    void* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), u"\\", &fixed, &length) || fixed == nullptr) return false;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    return util::TrimText(VersionText(*info)) == kRuntimeVersion;
}

BOOL CConverterApp::InitInstance() {
    if (!CheckImagingRuntime()) {
        MessageBoxW(nullptr, kRuntimeBrokenMessage, kProductTitle, MB_OK);
        return FALSE;
    }
    const GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    GdiplusStartup(&m_gdiplusToken, &input, nullptr);
    InitCommonControls();
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    RunMainWindow();
    return FALSE;
}

void CConverterApp::RunMainWindow() {
    CConverterDlg dialog(nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
}

int CConverterApp::ExitInstance() {
    if (m_gdiplusToken != 0) {
        GdiplusShutdown(m_gdiplusToken);
        m_gdiplusToken = 0;
    }
    return CWinApp::ExitInstance();
}
