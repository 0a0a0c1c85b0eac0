#pragma once

#include "CTestSeam.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QWidget;

// The context menu of a record view: the entries its menu holds, in order,
// each relabelled and enabled or greyed by its command id before it is
// shown. Command ids of the record views: 32785 insert, 32786 delete,
// 32787 delete all, and view-specific ones.
class CRecordViewMenu
{
public:
    enum Command
    {
        ID_INSERT = 32785,
        ID_DELETE = 32786,
        ID_DELETE_ALL = 32787,
    };
    // A line between groups of entries, where the menu has one.
    static constexpr int kSeparator = 0;

    struct Entry
    {
        int command = 0;
        QString text;
        bool enabled = false;
    };

    // The commands the menu holds, in menu order; all greyed and untitled
    // until Modify gives them text and state.
    explicit CRecordViewMenu(const std::vector<int>& commands);

    // Relabels an entry and enables or greys it. A command the menu does not
    // hold is ignored, as a menu resource ignores it.
    void Modify(int command, const QString& text, bool enabled);
    const std::vector<Entry>& Entries() const { return m_entries; }
    // The entry of a command; null when the menu does not hold it.
    const Entry* Find(int command) const;

    // The menu as a widget (owned by the caller), each action carrying its
    // command id as data.
    std::unique_ptr<QMenu> CreateMenu(QWidget* parent) const;
    // Shows the menu at a screen point, left-aligned, and returns the command
    // chosen; 0 when the menu was closed without a choice or the entry was
    // greyed.
    int Track(QWidget* owner, QPoint screenPoint) const;

    // How menus are shown: tests choose without a screen. An empty tracker
    // means the real menu.
    using Tracker = std::function<int(const CRecordViewMenu& menu, QWidget* owner, QPoint screenPoint)>;
    static CTestSeam<Tracker>& TrackerSeam();

private:
    std::vector<Entry> m_entries;
};
