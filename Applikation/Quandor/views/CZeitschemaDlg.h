#pragma once

#include "CGridBaseDlg.h"

// The time-schema view.
class CZeitschemaDlg : public CGridBaseDlg
{
    Q_OBJECT

public:
    explicit CZeitschemaDlg(QWidget* parent = nullptr);

    // Shows one schema (its number), or all for 0.
    void ShowSchemas(quint32 schemaNumber);
    quint32 Filter() const { return m_nSchema; }

private:
    quint32 m_nSchema = 0;
};
