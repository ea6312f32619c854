// Fonts, device contexts, icons and the metrics the program reads.
#include <QByteArray>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "afxwin.h"
#include "framework_impl.h"

namespace {

constexpr int kLogPixelsX = 88;
constexpr int kSmCxScreen = 0;
constexpr int kSmCyScreen = 1;

// Qt sizes a font by its em (character) height; a positive LOGFONT height is
// the cell height, which also holds the internal leading.
int PixelSizeForCellHeight(QFont font, int cellHeight) {
    constexpr int kProbe = 100;
    font.setPixelSize(kProbe);
    const int probeCell = QFontMetrics(font).height();
    if (probeCell <= 0) return cellHeight;
    return std::max(1, static_cast<int>(std::lround(double(cellHeight) * kProbe / probeCell)));
}

std::uint32_t ReadLe(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// One entry of an icon directory: a PNG stream, or a DIB that Qt's ICO reader
// decodes once it is wrapped in a one-entry directory of its own.
QImage DecodeIconEntry(const unsigned char* entry, const unsigned char* image, std::uint32_t size) {
    static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    QImage img;
    if (size >= 8 && std::memcmp(image, kPngSignature, 8) == 0) {
        img.loadFromData(image, static_cast<int>(size), "PNG");
        return img;
    }
    QByteArray one;
    const unsigned char header[6] = {0, 0, 1, 0, 1, 0};
    one.append(reinterpret_cast<const char*>(header), 6);
    one.append(reinterpret_cast<const char*>(entry), 12);
    const unsigned char offset[4] = {22, 0, 0, 0};
    one.append(reinterpret_cast<const char*>(offset), 4);
    one.append(reinterpret_cast<const char*>(image), static_cast<qsizetype>(size));
    img.loadFromData(one, "ICO");
    return img;
}

}  // namespace

namespace afx {

QColor ToQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

HBRUSH DefaultBrush() {
    static int token;
    return reinterpret_cast<HBRUSH>(&token);
}

QIcon IconFromIcoBytes(const unsigned char* data, std::size_t size) {
    QIcon icon;
    if (!data || size < 6 || ReadLe(data, 2) != 0 || ReadLe(data + 2, 2) != 1) return icon;
    const std::uint32_t count = ReadLe(data + 4, 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = 6 + 16 * std::size_t(i);
        if (at + 16 > size) break;
        const std::uint32_t bytes = ReadLe(data + at + 8, 4);
        const std::uint32_t offset = ReadLe(data + at + 12, 4);
        if (offset > size || bytes > size - offset || bytes == 0) continue;
        const QImage img = DecodeIconEntry(data + at, data + offset, bytes);
        if (!img.isNull()) icon.addPixmap(QPixmap::fromImage(img));
    }
    return icon;
}

}  // namespace afx

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        case kSmCxScreen:
        case kSmCyScreen: {
            QScreen* screen = qApp ? QGuiApplication::primaryScreen() : nullptr;
            if (!screen) return 0;
            const QSize s = screen->size();
            return nIndex == kSmCxScreen ? s.width() : s.height();
        }
        default:
            return 0;
    }
}

// a * b / c in 64 bits, rounded half away from zero; -1 on overflow or c = 0.
int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    const long long product = static_cast<long long>(nNumber) * nNumerator;
    const bool negative = (product < 0) != (nDenominator < 0);
    const unsigned long long p = product < 0 ? 0ULL - static_cast<unsigned long long>(product)
                                             : static_cast<unsigned long long>(product);
    const unsigned long long d =
        nDenominator < 0
            ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(nDenominator))
            : static_cast<unsigned long long>(nDenominator);
    const unsigned long long q = (p + d / 2) / d;
    if (q > static_cast<unsigned long long>(INT_MAX)) return -1;
    return negative ? -static_cast<int>(q) : static_cast<int>(q);
}

// --- CFont ------------------------------------------------------------------

CFont::CFont() = default;
CFont::~CFont() = default;

BOOL CFont::CreateFontIndirectW(const LOGFONTW* lpLogFont) {
    if (!lpLogFont) return FALSE;
    std::size_t n = 0;
    while (n < 32 && lpLogFont->lfFaceName[n] != 0) ++n;
    QFont font;
    // The face is looked up through the substitutes installed at start-up.
    if (n > 0) font.setFamily(QString::fromUtf16(lpLogFont->lfFaceName, static_cast<qsizetype>(n)));
    if (lpLogFont->lfHeight < 0) {
        font.setPixelSize(-lpLogFont->lfHeight);
    } else if (lpLogFont->lfHeight > 0) {
        font.setPixelSize(PixelSizeForCellHeight(font, lpLogFont->lfHeight));
    }
    const LONG weight = lpLogFont->lfWeight == FW_DONTCARE ? FW_NORMAL : lpLogFont->lfWeight;
    font.setWeight(static_cast<QFont::Weight>(std::clamp<LONG>(weight, 1, 1000)));
    font.setItalic(lpLogFont->lfItalic != 0);
    font.setUnderline(lpLogFont->lfUnderline != 0);
    font.setStrikeOut(lpLogFont->lfStrikeOut != 0);
    m_impl = std::make_unique<afx::FontImpl>();
    m_impl->font = font;
    return TRUE;
}

// --- CDC --------------------------------------------------------------------

CDC::CDC(afx::DcImpl* impl) : m_impl(impl) {}
CDC::~CDC() = default;

// The drawing state itself stands for the device context on this platform.
HDC CDC::GetSafeHdc() const {
    return reinterpret_cast<HDC>(m_impl);
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    if (!m_impl) return 0;
    const COLORREF previous = m_impl->textColor;
    m_impl->textColor = crColor;
    m_impl->textColorSet = true;
    return previous;
}

COLORREF CDC::GetTextColor() const {
    return m_impl ? m_impl->textColor : 0;
}

int CDC::SetBkMode(int nBkMode) {
    if (!m_impl || (nBkMode != TRANSPARENT && nBkMode != OPAQUE)) return 0;
    const int previous = m_impl->bkMode;
    m_impl->bkMode = nBkMode;
    return previous;
}

int CDC::GetBkMode() const {
    return m_impl ? m_impl->bkMode : 0;
}

int CDC::GetDeviceCaps(int nIndex) const {
    if (nIndex != LOGPIXELSY && nIndex != kLogPixelsX) return 0;
    if (m_impl && m_impl->device)
        return nIndex == LOGPIXELSY ? m_impl->device->logicalDpiY() : m_impl->device->logicalDpiX();
    QScreen* screen = qApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen) return 96;
    const double dpi =
        nIndex == LOGPIXELSY ? screen->logicalDotsPerInchY() : screen->logicalDotsPerInchX();
    return static_cast<int>(std::lround(dpi));
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    if (!m_impl || !m_impl->painter || !hIcon) return FALSE;
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    afx::IconOf(hIcon)->icon.paint(m_impl->painter.get(), QRect(x, y, cx, cy));
    return TRUE;
}

// Only inside the window's paint can a painter be opened on it; elsewhere the
// context draws nothing and the window is asked to repaint instead.
CPaintDC::CPaintDC(CWnd* pWnd) : CDC(nullptr), m_own(std::make_unique<afx::DcImpl>()) {
    m_impl = m_own.get();
    afx::WindowImpl* impl = pWnd ? pWnd->Impl() : nullptr;
    QWidget* w = impl ? impl->widget.data() : nullptr;
    if (!w) return;
    m_own->device = w;
    if (impl->inPaint) {
        m_own->painter = std::make_unique<QPainter>(w);
    } else {
        w->update();
    }
}

CPaintDC::~CPaintDC() = default;

// Measures only: the device is the window, no painter is opened.
CClientDC::CClientDC(CWnd* pWnd) : CDC(nullptr), m_own(std::make_unique<afx::DcImpl>()) {
    m_impl = m_own.get();
    afx::WindowImpl* impl = pWnd ? pWnd->Impl() : nullptr;
    m_own->device = impl ? impl->widget.data() : nullptr;
}

CClientDC::~CClientDC() = default;
