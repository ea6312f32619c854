// Our dialog templates in the dialog manager's own binary form (the extended
// template a resource compiler writes), so that Windows itself makes and
// draws the window from the same data the Linux build reads.
#include "framework.h"

namespace afx {
namespace {

constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr char16_t kProgressClass[] = u"msctls_progress32";

class Writer {
public:
    void Word(WORD v) { m_words.push_back(v); }
    void Dword(DWORD v) {
        Word(LOWORD(v));
        Word(HIWORD(v));
    }
    void Short(short v) { Word(static_cast<WORD>(v)); }
    void Text(const char16_t* s) {
        for (; s != nullptr && *s != 0; ++s) Word(*s);
        Word(0);
    }
    // Items start on a DWORD boundary.
    void Align() {
        if (m_words.size() % 2 != 0) Word(0);
    }
    std::vector<WORD> Take() { return std::move(m_words); }

private:
    std::vector<WORD> m_words;
};

// The class and the kind's own style bits of a control, as a resource
// compiler gives them to EDITTEXT, PUSHBUTTON, AUTOCHECKBOX and the others.
struct ClassAndStyle {
    WORD atom;  // 0: the class is named
    DWORD style;
};

ClassAndStyle ForKind(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
            return {kEditAtom, WS_BORDER};
        case ControlKind::PushButton:
            return {kButtonAtom, 0};
        case ControlKind::CheckBox:
            return {kButtonAtom, BS_AUTOCHECKBOX};
        case ControlKind::RadioButton:
            return {kButtonAtom, BS_AUTORADIOBUTTON};
        case ControlKind::Label:
            return {kStaticAtom, 0};
        case ControlKind::GroupBox:
            return {kButtonAtom, BS_GROUPBOX};
        case ControlKind::ProgressBar:
            return {0, WS_BORDER};
    }
    return {kStaticAtom, 0};
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const DialogTemplate& tmpl) {
    Writer w;
    w.Word(1);       // version
    w.Word(0xFFFF);  // extended template
    w.Dword(0);      // help context
    w.Dword(tmpl.exStyle);
    w.Dword(tmpl.style | WS_POPUP | DS_SETFONT);
    w.Word(static_cast<WORD>(tmpl.itemCount));
    w.Short(0);
    w.Short(0);
    w.Short(tmpl.cx);
    w.Short(tmpl.cy);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(tmpl.caption);
    w.Word(tmpl.pointSize);
    w.Word(FW_NORMAL);
    w.Word(DEFAULT_CHARSET << 8);  // not italic; the character set
    w.Text(tmpl.fontFace);
    for (std::size_t i = 0; i < tmpl.itemCount; ++i) {
        const DialogItemTemplate& item = tmpl.items[i];
        const ClassAndStyle kind = ForKind(item.kind);
        w.Align();
        w.Dword(0);  // help context
        w.Dword(0);  // extended style
        w.Dword(item.style | WS_CHILD | kind.style);
        w.Short(item.x);
        w.Short(item.y);
        w.Short(item.cx);
        w.Short(item.cy);
        w.Dword(item.id);
        if (kind.atom != 0) {
            w.Word(0xFFFF);
            w.Word(kind.atom);
        } else {
            w.Text(kProgressClass);
        }
        w.Text(item.text);
        w.Word(0);  // no creation data
    }
    return w.Take();
}

}  // namespace afx
