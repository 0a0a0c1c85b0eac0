#pragma once

#include <QToolBar>

class CColorStatic;

// The main window's toolbar. Its first place is the information label,
// which shows presented transponders.
class CMainToolBar : public QToolBar
{
    Q_OBJECT

public:
    static constexpr int kLabelWidth = 790;

    explicit CMainToolBar(QWidget* parent = nullptr);

    CColorStatic* InfoLabel() const { return m_pInfoLabel; }

private:
    CColorStatic* m_pInfoLabel;
};
