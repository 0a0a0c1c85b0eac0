#include "CGridBaseDlg.h"

#include "CFerrold_Handler.h"
#include "CLanguageHandler.h"
#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CtblLeser.h"

#include <QLabel>
#include <QVBoxLayout>

CGridBaseDlg::CGridBaseDlg(QWidget* parent)
    : QWidget(parent)
    , m_pHeading(new QLabel(this))
{
    QFont bold = m_pHeading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_pHeading->setFont(bold);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pHeading);
    layout->addStretch(1);
}

CGridBaseDlg::~CGridBaseDlg() = default;

void CGridBaseDlg::SetColumnTitles()
{
    SetHeading(m_nKindText, m_strFilter);
}

CFerrold_Handler* CGridBaseDlg::GetDBHandler()
{
    CQuandorApp* app = CQuandorApp::Instance();
    return app ? app->GetDBHandler() : nullptr;
}

CLanguageHandler* CGridBaseDlg::GetLanguage()
{
    CQuandorApp* app = CQuandorApp::Instance();
    return app ? app->GetLanguage() : nullptr;
}

CLeftTreeView* CGridBaseDlg::GetTreeView()
{
    CQuandorApp* app = CQuandorApp::Instance();
    return app && app->GetMainFrame() ? app->GetMainFrame()->GetLeftTreeView() : nullptr;
}

QString CGridBaseDlg::Heading() const
{
    return m_pHeading->text();
}

void CGridBaseDlg::SetHeading(unsigned int kindText, const QString& filter)
{
    m_nKindText = kindText;
    m_strFilter = filter;
    CLanguageHandler* language = GetLanguage();
    const QString kind = language ? language->GetLangItem(kindText) : QString();
    m_pHeading->setText(filter.isEmpty() ? kind : kind + QStringLiteral(" – ") + filter);
}

QString CGridBaseDlg::ReaderName(quint32 readerId)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || readerId == 0)
        return QString();
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (static_cast<quint32>(readers->Get_Leser(i)->ID_Leser) == readerId)
            return readers->Get_Leser(i)->Bezeichnung;
    }
    return QString();
}
