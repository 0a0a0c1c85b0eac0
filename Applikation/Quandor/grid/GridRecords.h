#pragma once

#include "CCellRange.h"
#include "Colorref.h"

#include <QPoint>
#include <QString>
#include <QtGlobal>

class CGridCtrl;

// Notification codes a grid reports to its owner.
enum : int
{
    NM_CLICK = -2,
    NM_DBLCLK = -3,
    NM_RCLICK = -5,
    GRIDN_SELCHANGING = -100,
    GRIDN_SELCHANGED = -101,
    GRIDN_BEGINEDIT = -105,
    GRIDN_ENDEDIT = -106,
    GRIDN_CACHEHINT = -113,
    GRIDN_GETCELLTEXT = -150,
    GRIDN_GETCELLCOLOR = -200,
    GRIDN_BUTTONCLICK = -201,
};

// Which grid speaks, under which control id, and why.
struct GRID_NMHDR
{
    CGridCtrl* hwndFrom = nullptr;
    quint32 idFrom = 0;
    int code = 0;
};

// The display exchange of virtual mode: the grid asks its owner for one
// cell's text (GRIDN_GETCELLTEXT) and, for columns with item data, its colours
// (GRIDN_GETCELLCOLOR). Each request has its own record, valid during the call.
struct GRID_DISPINFO
{
    GRID_NMHDR hdr;
    int dataRow = -1;     // the row in data order: the owner reads its record dataRow - 1
    int row = -1;         // displayed row, 0 = header
    int column = -1;
    int reserved = -1;
    quint32 state = 0;    // the owner may add GVIS_READONLY for the read-only look
    quint32 format = 0;
    int image = -1;
    quint32 margin = 0;
    QString displayText;  // what a list cell shows, when the owner sets it
    QString valueText;    // the cell's value; for a text cell its text
    COLORREF backColour = CLR_DEFAULT;
    COLORREF textColour = CLR_DEFAULT;
};

// What the grid is about to ask for (a range), and that it is done (no range).
struct GRID_CACHEHINT
{
    GRID_NMHDR hdr;
    CCellRange range;
};

// Selection, clicks and the editing hand-off.
struct GRID_NOTIFY
{
    GRID_NMHDR hdr;
    int dataRow = -1;
    int row = -1;
    int column = -1;
    QString text1;
    QString text2;
    int reserved = 0;
    QPoint point;        // NM_RCLICK: the click point in the grid's viewport
    QPoint screenPoint;  // NM_RCLICK: the same point on the screen, where a context menu opens
};
