#include "CZeitschemaDlg.h"

#include "CFerrold_Handler.h"
#include "CtblZeitschema.h"

CZeitschemaDlg::CZeitschemaDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CZeitschemaDlg"));
    SetHeading(18, QString());
}

void CZeitschemaDlg::ShowSchemas(quint32 schemaNumber)
{
    m_nSchema = schemaNumber;
    QString name;
    if (CFerrold_Handler* db = GetDBHandler(); db && schemaNumber > 0) {
        CtblZeitschema* schemas = db->Get_Ptr_To_tblZeitschema();
        for (int i = 0; i < schemas->GetAnz_Zeitschema(); ++i) {
            if (static_cast<quint32>(schemas->Get_Zeitschema(i)->nNr) == schemaNumber) {
                name = schemas->Get_Zeitschema(i)->Bezeichnung;
                break;
            }
        }
    }
    SetHeading(18, name);
}
