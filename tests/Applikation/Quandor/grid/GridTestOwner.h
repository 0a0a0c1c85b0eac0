#pragma once

#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <set>
#include <utility>
#include <vector>

// A record view in miniature: it hosts a virtual grid, answers its display
// requests from a function of the data row and column, and counts and keeps
// what the grid asked.
class GridTestOwner : public QWidget, public CGridNotifyReceiver
{
public:
    explicit GridTestOwner(QWidget* parent = nullptr) : QWidget(parent) {}

    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        if (info.hdr.code == GRIDN_GETCELLTEXT) {
            ++textRequests;
            askedPositions.insert({info.row, info.column});
            textRecords.push_back(info);
            info.valueText = text ? text(info.dataRow, info.column) : DefaultText(info.dataRow, info.column);
        } else if (info.hdr.code == GRIDN_GETCELLCOLOR) {
            ++colourRequests;
            if (colour)
                colour(info);
        }
        if (during)
            during(info);
    }

    void OnGridCacheHint(const GRID_CACHEHINT& hint) override { hints.push_back(hint.range); }

    qint64 OnGridNotify(GRID_NOTIFY& notify) override
    {
        notifications.push_back(notify);
        return reply ? reply(notify) : 0;
    }

    // The codes heard so far, in order.
    std::vector<int> Codes() const
    {
        std::vector<int> codes;
        for (const GRID_NOTIFY& notify : notifications)
            codes.push_back(notify.hdr.code);
        return codes;
    }
    // The records of one code, in order.
    std::vector<GRID_NOTIFY> Heard(int code) const
    {
        std::vector<GRID_NOTIFY> heard;
        for (const GRID_NOTIFY& notify : notifications) {
            if (notify.hdr.code == code)
                heard.push_back(notify);
        }
        return heard;
    }

    static QString DefaultText(int dataRow, int col) { return QStringLiteral("r%1c%2").arg(dataRow).arg(col); }

    void ResetCounts()
    {
        textRequests = 0;
        colourRequests = 0;
        askedPositions.clear();
        textRecords.clear();
        hints.clear();
        notifications.clear();
    }

    std::function<QString(int dataRow, int col)> text;
    std::function<void(GRID_DISPINFO&)> colour;
    // Runs inside every request, after it was answered.
    std::function<void(GRID_DISPINFO&)> during;
    // Answers notifications (0 without it).
    std::function<qint64(GRID_NOTIFY&)> reply;
    std::vector<GRID_NOTIFY> notifications;

    int textRequests = 0;
    int colourRequests = 0;
    std::set<std::pair<int, int>> askedPositions;
    std::vector<GRID_DISPINFO> textRecords;
    std::vector<CCellRange> hints;
};

// A virtual grid set up the way the record views set theirs up: one header
// row, one number column, one title column, shaded rows, 30-pixel header and
// 18-pixel data rows.
inline CGridCtrl* MakeViewGrid(GridTestOwner& owner, int rows, int cols, QSize size = QSize(400, 300))
{
    auto* grid = new CGridCtrl(nullptr, QStringLiteral("05"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(cols);
    grid->SetRowCount(rows);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    grid->SetEvenRowShading(true, 0xDCDCDC);
    grid->SetRowHeight(0, 30, false);
    grid->SetTitleMode(1, QStringLiteral("t1"), QStringLiteral("t2"));
    grid->SetColumnWidth(0, 10, true, false);
    grid->SetRowHeight(1, 18, false);
    for (int col = 0; col < cols; ++col) {
        grid->GetCell(0, col);
        grid->SetColumnTitle(col, QStringLiteral("Col %1").arg(col));
    }
    for (int col = 1; col < cols; ++col)
        grid->SetColumnWidth(col, 60, true, false);
    owner.resize(size);
    grid->setGeometry(QRect(QPoint(0, 0), size));
    grid->SetDlgCtrlID(1005);
    return grid;
}
