#include "CRecordViewMenu.h"


#include <QAction>
#include <QMenu>

CRecordViewMenu::CRecordViewMenu(const std::vector<int>& commands)
{
    m_entries.reserve(commands.size());
    for (int command : commands)
        m_entries.push_back(Entry{command, QString(), false});
}

void CRecordViewMenu::Modify(int command, const QString& text, bool enabled)
{
    for (Entry& entry : m_entries) {
        if (entry.command == command) {
            entry.text = text;
            entry.enabled = enabled;
        }
    }
}

const CRecordViewMenu::Entry* CRecordViewMenu::Find(int command) const
{
    for (const Entry& entry : m_entries) {
        if (entry.command == command)
            return &entry;
    }
    return nullptr;
}

std::unique_ptr<QMenu> CRecordViewMenu::CreateMenu(QWidget* parent) const
{
    auto menu = std::make_unique<QMenu>(parent);
    for (const Entry& entry : m_entries) {
        if (entry.command == kSeparator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.text);
        action->setData(entry.command);
        action->setEnabled(entry.enabled);
    }
    return menu;
}

int CRecordViewMenu::Track(QWidget* owner, QPoint screenPoint) const
{
    if (const Tracker tracker = TrackerSeam().Get())
        return tracker(*this, owner, screenPoint);
    // No parent: the menu must not be deleted twice should its owner go
    // while it is open.
    Q_UNUSED(owner);
    std::unique_ptr<QMenu> menu = CreateMenu(nullptr);
    const QAction* chosen = menu->exec(screenPoint);
    if (!chosen || !chosen->isEnabled())
        return 0;
    return chosen->data().toInt();
}

CTestSeam<CRecordViewMenu::Tracker>& CRecordViewMenu::TrackerSeam()
{
    static CTestSeam<CRecordViewMenu::Tracker> seam("CRecordViewMenu::TrackerSeam");
    return seam;
}
