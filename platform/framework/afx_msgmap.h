// The message table of the dialog framework: the messages and notifications
// it can name, its entries and thunks, and the macros that write a table.
#pragma once

#include "../win32/windows_types.h"

// Messages and notifications the message table can name.
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_CTLCOLOR = 0x0019;

constexpr UINT BN_CLICKED = 0;
constexpr UINT EN_CHANGE = 0x0300;

constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_STATIC = 6;

class CDC;
class CWnd;

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
};

// --- The message table -------------------------------------------------------
//
// Each entry names a message (and for WM_COMMAND a notification code and a
// control identifier range) and a thunk that calls the handler with its own
// signature, so no handler pointer is ever cast to another type.

using AFX_THUNK = LRESULT (*)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;  // notification code for WM_COMMAND
    UINT nID;
    UINT nLastID;
    AFX_THUNK pfnThunk;  // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// WM_CTLCOLOR carries a pointer to this in lParam; the thunk returns the brush.
struct AFX_CTLCOLOR {
    CDC* pDC;
    CWnd* pWnd;
    UINT nCtlType;
};

// void handler(): WM_PAINT, WM_CLOSE, WM_COMMAND notifications.
template <class T, void (T::*F)()>
LRESULT AfxThunkVoid(CCmdTarget* p, WPARAM, LPARAM) {
    (static_cast<T*>(p)->*F)();
    return 0;
}
// void handler(UINT_PTR nIDEvent): WM_TIMER, the identifier in wParam.
template <class T, void (T::*F)(UINT_PTR)>
LRESULT AfxThunkTimer(CCmdTarget* p, WPARAM w, LPARAM) {
    (static_cast<T*>(p)->*F)(static_cast<UINT_PTR>(w));
    return 0;
}
// HBRUSH handler(CDC*, CWnd*, UINT): WM_CTLCOLOR.
template <class T, HBRUSH (T::*F)(CDC*, CWnd*, UINT)>
LRESULT AfxThunkCtlColor(CCmdTarget* p, WPARAM, LPARAM l) {
    const auto* args = reinterpret_cast<const AFX_CTLCOLOR*>(l);
    return reinterpret_cast<LRESULT>(
        (static_cast<T*>(p)->*F)(args->pDC, args->pWnd, args->nCtlType));
}
// HCURSOR handler(): WM_QUERYDRAGICON.
template <class T, HCURSOR (T::*F)()>
LRESULT AfxThunkCursor(CCmdTarget* p, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((static_cast<T*>(p)->*F)());
}

// clang-format off
#define DECLARE_MESSAGE_MAP()                       \
protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();   \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                               \
        using ThisClass = theClass;                                                 \
        using TheBaseClass = baseClass;                                             \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                   \
    {0, 0, 0, 0, nullptr}                                                   \
    }                                                                       \
    ;                                                                       \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                          &_messageEntries[0]};             \
    return &messageMap;                                                     \
    }

#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, 0, &AfxThunkVoid<ThisClass, static_cast<void (ThisClass::*)()>(&ThisClass::OnPaint)>},
#define ON_WM_CLOSE() \
    {WM_CLOSE, 0, 0, 0, &AfxThunkVoid<ThisClass, static_cast<void (ThisClass::*)()>(&ThisClass::OnClose)>},
#define ON_WM_TIMER()                                                    \
    {WM_TIMER, 0, 0, 0,                                                  \
     &AfxThunkTimer<ThisClass, static_cast<void (ThisClass::*)(UINT_PTR)>(&ThisClass::OnTimer)>},
#define ON_WM_CTLCOLOR()                                                                    \
    {WM_CTLCOLOR, 0, 0, 0,                                                                  \
     &AfxThunkCtlColor<ThisClass,                                                           \
                       static_cast<HBRUSH (ThisClass::*)(CDC*, CWnd*, UINT)>(&ThisClass::OnCtlColor)>},
#define ON_WM_QUERYDRAGICON()                                              \
    {WM_QUERYDRAGICON, 0, 0, 0,                                            \
     &AfxThunkCursor<ThisClass, static_cast<HCURSOR (ThisClass::*)()>(&ThisClass::OnQueryDragIcon)>},
#define ON_CONTROL(code, id, memberFxn)                                              \
    {WM_COMMAND, code, static_cast<UINT>(id), static_cast<UINT>(id),                 \
     &AfxThunkVoid<ThisClass, static_cast<void (ThisClass::*)()>(&ThisClass::memberFxn)>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
// clang-format on
