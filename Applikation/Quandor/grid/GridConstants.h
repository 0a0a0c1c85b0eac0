#pragma once

#include <QtGlobal>

// Text format flags of the cells. They keep the numeric values the record
// views pass and the layout rules are written against; CGridTextLayout turns
// them into painting at draw time.
enum : quint32
{
    DT_LEFT = 0x0000,
    DT_CENTER = 0x0001,
    DT_RIGHT = 0x0002,
    DT_VCENTER = 0x0004,
    DT_BOTTOM = 0x0008,
    DT_WORDBREAK = 0x0010,
    DT_SINGLELINE = 0x0020,
    DT_NOPREFIX = 0x0800,
    DT_END_ELLIPSIS = 0x8000,
};

// A cell format that was never set: the default cell's format applies.
constexpr quint32 GRID_FORMAT_UNSET = 0xFFFFFFFFu;
// A margin that was never set: the default cell's margin applies.
constexpr quint32 GRID_MARGIN_UNSET = 0xFFFFFFFFu;

// Bits of a cell's state word.
enum : quint32
{
    GVIS_FOCUSED = 0x0001,
    GVIS_SELECTED = 0x0002,
    GVIS_DROPHILITED = 0x0004,
    GVIS_READONLY = 0x0008,
    GVIS_FIXED = 0x0010,
    GVIS_FIXEDROW = 0x0020,
    GVIS_FIXEDCOL = 0x0040,
    GVIS_MODIFIED = 0x0080,
    GVIS_READONLY_OWN = 0x0100,
};

constexpr quint32 GVIS_FIXEDROW_BITS = GVIS_FIXED | GVIS_FIXEDROW;  // 0x30
constexpr quint32 GVIS_FIXEDCOL_BITS = GVIS_FIXED | GVIS_FIXEDCOL;  // 0x50

// Grid-line modes.
enum : int
{
    GVL_NONE = 0,
    GVL_HORZ = 1,
    GVL_VERT = 2,
    GVL_BOTH = 3,
};

// Key codes of the grid's keyboard handling, the cells' OnKeyDown and the
// edit hand-off (CGridEditKey). VK_LBUTTON stands for "started by a click or
// F2". Letters and digits use their upper-case character codes.
enum : int
{
    VK_LBUTTON = 0x01,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F4 = 0x73,
    VK_F5 = 0x74,
    VK_F12 = 0x7B,
};
