#pragma once

#include "CGridCell.h"
#include "CGridCtrl.h"
#include "GridTestOwner.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>

// A record view that keeps its cells' values and stores what an edit
// brings; "onEnd" runs inside every GRIDN_ENDEDIT before it is stored.
class EditorTestOwner : public GridTestOwner
{
public:
    EditorTestOwner()
    {
        text = [this](int dataRow, int col) {
            const auto it = stored.find({dataRow, col});
            return it == stored.end() ? DefaultText(dataRow, col) : it->second;
        };
        reply = [this](GRID_NOTIFY& notify) -> qint64 {
            if (notify.hdr.code != GRIDN_ENDEDIT)
                return 0;
            if (onEnd)
                onEnd(notify);
            stored[{notify.dataRow, notify.column}] = notify.text2;
            return 0;
        };
    }

    std::map<std::pair<int, int>, QString> stored;
    std::function<void(GRID_NOTIFY&)> onEnd;
};

// A record view's grid, shown and active, with real editors: 30 rows of
// 18 px under a 30-px header, a number column, a title column and columns
// of 60 px. A line edit beside the grid takes the focus away from it.
class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid = MakeViewGrid(owner, 30, 6, QSize(400, 300));
        grid->SetEditable(true);
        elsewhere = new QLineEdit(&owner);
        elsewhere->setGeometry(0, 310, 100, 24);
        owner.resize(400, 340);
        owner.show();
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
        grid->setFocus();
        QCoreApplication::processEvents();
        owner.ResetCounts();
    }

    void TearDown() override
    {
        // Leftover editors and posted keys must not outlive the grid.
        QCoreApplication::processEvents();
    }

    template <class Editor>
    Editor* Open(int row, int col, const CGridEditKey& key)
    {
        grid->MoveFocusCell(row, col);
        grid->BeginCellEdit(row, col, QPoint(-1, -1), key);
        Settle();
        return qobject_cast<Editor*>(grid->GetActiveEditor());
    }

    // Lets posted keys arrive and editors that ended go away.
    static void Settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // After a modal box the window is active again only a little later;
    // focus moves before then change nothing.
    void WaitActive()
    {
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    }

    std::vector<GRID_NOTIFY> Ends() const { return owner.Heard(GRIDN_ENDEDIT); }

    // The modal boxes and other windows that are open now.
    static int OpenModalBoxes()
    {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->isModal())
                ++count;
        }
        return count;
    }

    // Keeps a picture for a person to look at, in the folder named by
    // QUANDOR_SCREENSHOTS when that is set.
    static void KeepPicture(const QImage& image, const QString& name)
    {
        const QString folder = qEnvironmentVariable("QUANDOR_SCREENSHOTS");
        if (!folder.isEmpty())
            image.save(folder + QLatin1Char('/') + name);
    }

    EditorTestOwner owner;
    CGridCtrl* grid = nullptr;
    QLineEdit* elsewhere = nullptr;
};
