#pragma once
// The window messages, notification codes and constants of the dialog and
// its controls, with the Windows numbers the launcher's logic and themes
// were written against. The input messages the presenters post are in
// platform/Presenter.h.

#include "platform/Presenter.h"
#include "platform/Window.h"

#include <cstdint>

namespace skin {

enum : std::uint32_t {
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_DRAWITEM = 0x002B,
    WM_NCHITTEST = 0x0084,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_VSCROLL = 0x0115,
    WM_CTLCOLOREDIT = 0x0133,
    WM_CTLCOLORSTATIC = 0x0138,
    WM_LBUTTONDBLCLK = 0x0203,
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_GETSTATE = 0x00F2,
    BM_SETSTATE = 0x00F3,
    // Messages a dialog sends back to the child they concern.
    OCM_BASE = 0x2000,
};

// The launcher's own messages reach the owner's handler: WM_USER+1300 to
// WM_USER+1800.
constexpr std::uint32_t kOwnerMessageFirst = plat::WM_USER + 1300;
constexpr std::uint32_t kOwnerMessageLast = plat::WM_USER + 1800;

// Notification codes of WM_COMMAND (high 16 bits of wParam).
enum : std::uint32_t {
    BN_CLICKED = 0,
    CBN_SELCHANGE = 1,
    CBN_DROPDOWN = 7,
    CBN_CLOSEUP = 8,
};

// The platform's OK and Cancel commands.
enum : int { IDOK = 1, IDCANCEL = 2 };

// System command that moves a window by its caption.
constexpr plat::WPARAM kScMoveByCaption = 0xF012;

// Scroll commands (low 16 bits of WM_VSCROLL's wParam; the position in the
// high 16 bits for the thumb commands).
enum : int {
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8,
};

// Answers of WM_NCHITTEST.
enum : int { HTTRANSPARENT = -1, HTCLIENT = 1 };

// Button states (BM_GETSTATE) and check states.
enum : unsigned { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_PUSHED = 0x0004 };

// Window style bits of the control windows.
enum : std::uint32_t {
    WS_CHILD = 0x40000000,
    WS_VISIBLE = 0x10000000,
    WS_GROUP = 0x00020000,
    WS_TABSTOP = 0x00010000,
    BS_OWNERDRAW = 0x0000000B,
    SS_CENTER = 0x00000001,
    SBS_VERT = 0x00000001,
    ES_WANTRETURN = 0x00001000,
    ES_AUTOHSCROLL = 0x00000080,
    CBS_DROPDOWNLIST = 0x00000003,
    CBS_OWNERDRAWVARIABLE = 0x00000020,
    CBS_HASSTRINGS = 0x00000200,
};

constexpr std::uint32_t MakeCommandWord(int id, std::uint32_t code) {
    return (static_cast<std::uint32_t>(id) & 0xFFFF) | code << 16;
}

// What WM_DRAWITEM hands an owner-drawn control.
struct DrawItemRecord {
    plat::Canvas* canvas = nullptr;
    plat::Rect item;       // the control's client rectangle
    bool selected = false; // the platform's pushed state
};

// What WM_CTLCOLOREDIT asks of an edit: its text and background colours.
struct ControlColours {
    plat::COLORREF text = 0;
    plat::COLORREF background = plat::RGB(255, 255, 255);
    bool opaque = true;
};

} // namespace skin
