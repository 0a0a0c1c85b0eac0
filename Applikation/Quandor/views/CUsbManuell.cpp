#include "CUsbManuell.h"

#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CRecordWriter.h"
#include "CShowMessage.h"
#include "CtblTransponder.h"
#include "GridRecords.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

namespace {

constexpr int kLength = 10;
constexpr unsigned int kInvalidText = 244;
constexpr unsigned int kStoredText = 245;
constexpr unsigned int kDuplicateText = 246;

} // namespace

CUsbManuell::CUsbManuell(CLanguageHandler* language, CFerrold_Handler* db, CGridCtrl* grid, QWidget* parent)
    : QDialog(parent)
    , m_pLanguage(language)
    , m_pDB(db)
    , m_pGrid(grid)
    , m_pEdit(new QLineEdit(this))
    , m_pOk(new QPushButton(this))
    , m_pCancel(new QPushButton(this))
    , m_pLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("CUsbManuell"));
    setWindowTitle(Text(241));
    setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    m_pLabel->setText(Text(21));
    m_pLabel->setBuddy(m_pEdit);
    m_pOk->setText(Text(242));
    m_pCancel->setText(QStringLiteral("Cancel"));
    m_pCancel->setObjectName(QStringLiteral("cancel"));
    m_pOk->setDefault(true);

    // The layout of 186 by 74 dialog units, in the font Qt uses.
    const QFontMetrics metrics(font());
    const auto x = [&](int units) { return units * metrics.averageCharWidth() / 4; };
    const auto y = [&](int units) { return units * metrics.height() / 8; };
    m_pLabel->setGeometry(x(15), y(11), std::max(x(83), m_pLabel->sizeHint().width()), y(8));
    m_pEdit->setGeometry(x(13), y(23), x(83), std::max(y(13), m_pEdit->sizeHint().height()));
    m_pOk->setGeometry(x(115), y(23), std::max(x(51), m_pOk->sizeHint().width()), std::max(y(16), m_pOk->sizeHint().height()));
    m_pCancel->setGeometry(x(115), y(46), std::max(x(51), m_pCancel->sizeHint().width()),
                           std::max(y(16), m_pCancel->sizeHint().height()));
    setFixedSize(std::max(x(186), m_pOk->geometry().right() + x(10)), y(74));

    connect(m_pOk, &QPushButton::clicked, this, &CUsbManuell::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QWidget* child : {static_cast<QWidget*>(m_pEdit), static_cast<QWidget*>(m_pOk), static_cast<QWidget*>(m_pCancel)})
        child->installEventFilter(this);
    m_pEdit->setFocus();
}

QString CUsbManuell::NormalizeTransponderNumber(const QString& text)
{
    if (text.size() != kLength)
        return QString();
    const QString upper = text.toUpper();
    for (QChar c : upper) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F')))
            return QString();
    }
    return upper;
}

QString CUsbManuell::Text(unsigned int number) const
{
    return m_pLanguage ? m_pLanguage->GetLangItem(number) : QString();
}

void CUsbManuell::Notice(unsigned int number)
{
    // An invalid or repeated number is a refusal, shown as one.
    const bool refused = number == kInvalidText || number == kDuplicateText;
    CShowMessage notice(Text(number), nullptr, refused ? CShowMessage::Error : CShowMessage::Done);
    CDialogRunner::DoModal(notice);
}

bool CUsbManuell::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OnOK();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CUsbManuell::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CUsbManuell::OnOK()
{
    m_strEntered = NormalizeTransponderNumber(m_pEdit->text());
    if (m_strEntered.isEmpty()) {
        Notice(kInvalidText);
    } else {
        AddTransponder();
    }
    m_pEdit->setFocus();
}

void CUsbManuell::AddTransponder()
{
    if (!m_pDB)
        return;
    CtblTransponder* transponders = m_pDB->Get_Ptr_To_tblTransponder();
    for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
        if (transponders->Get_Transponder(i)->TransponderNummer != m_strEntered)
            continue;
        // The row that shows it, also in a sorted grid; none when hidden.
        if (m_pGrid) {
            int shown = 0;
            for (int row = 1; row < m_pGrid->GetRowCount() && shown == 0; ++row) {
                const int dataRow = m_pGrid->GetDataRow(row);
                if ((dataRow < 0 ? row : dataRow) == i + 1)
                    shown = row;
            }
            if (shown > 0) {
                const QList<uint> rows{uint(shown)};
                m_pGrid->SelectRows(&rows);
                m_pGrid->EnsureCellVisible(shown, 1);
            } else {
                m_pGrid->SelectRows(nullptr);
            }
        }
        Notice(kDuplicateText);
        m_strEntered.clear();
        m_pEdit->clear();
        m_pEdit->setFocus();
        return;
    }
    if (CRecordWriter::AddNew(*transponders, [&] {
            transponders->strTransponderNummer = m_strEntered;
            transponders->Person_ID = 0;
            transponders->Zeitfenster_ID = 1;
            transponders->boolUpdateOK = 1;
            transponders->strLeser_IDS = QStringLiteral("0");
        }) != CRecordWriter::Result::Written)
        return;
    transponders->_Requery();
    Notice(kStoredText);
    m_pEdit->clear();
    if (m_pGrid) {
        // The grid counts the cache's rows, in cache order, the new one last.
        m_pGrid->SelectRows(nullptr);
        m_pGrid->SetRowCount(transponders->GetAnz_Transponder() + 1);
        m_pGrid->Refresh();
        m_pGrid->ResetScrollBars();
        m_pGrid->verticalScrollBar()->setValue(m_pGrid->verticalScrollBar()->maximum());
    }
}
