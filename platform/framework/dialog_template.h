// A dialog template as data: the window and each control, in dialog units.
#pragma once

#include <cstddef>

#include "../win32/windows_types.h"

// Window styles the framework reads from a template.
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_GROUP = 0x00020000;  // on a control: first of a group
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_CENTERIMAGE = 0x0200;
constexpr DWORD BS_FLAT = 0x8000;

constexpr UINT IDC_STATIC = 0xFFFF;  // a control no code reaches

enum class ControlKind {
    Edit,         // single-line edit
    PushButton,   // push button
    CheckBox,     // automatic two-state checkbox
    RadioButton,  // automatic radio button
    Label,        // static text
    GroupBox,     // frame with a title
    ProgressBar,
};

struct DialogItemTemplate {
    UINT id;
    ControlKind kind;
    DWORD style;
    short x, y, cx, cy;  // dialog units
    LPCWSTR text;        // may be empty, never null
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short cx, cy;  // dialog units
    LPCWSTR caption;
    LPCWSTR fontFace;
    WORD pointSize;
    const DialogItemTemplate* items;
    std::size_t itemCount;
};
