#pragma once

#include "CDialogSetupColumn.h"

#include <QDomElement>
#include <QHash>
#include <QString>

#include <memory>
#include <unordered_map>

class CDialogSetupDialog;

// One grid of a view in the layout store: the header and data-row heights
// (-1 when not stored), its columns by id, and the `grid` element.
class CDialogSetupGrid
{
public:
    CDialogSetupGrid(CDialogSetupDialog* dialog, const QString& id, int headerHeight, int rowHeight,
                     const QDomElement& element);

    const QString& GetId() const { return m_id; }
    CDialogSetupDialog* GetDialog() const { return m_dialog; }
    const QDomElement& GetElement() const { return m_element; }

    int GetHeight(bool header) const { return header ? m_headerHeight : m_rowHeight; }
    // Changes the record and its element together.
    void SetHeight(bool header, int height);

    CDialogSetupColumn* FindColumn(const QString& id) const;
    // Takes the column; a column of the same id is replaced.
    CDialogSetupColumn* PutColumn(std::unique_ptr<CDialogSetupColumn> column);

private:
    struct Hash
    {
        size_t operator()(const QString& s) const { return qHash(s); }
    };

    CDialogSetupDialog* m_dialog;
    QString m_id;
    int m_headerHeight;
    int m_rowHeight;
    QDomElement m_element;
    std::unordered_map<QString, std::unique_ptr<CDialogSetupColumn>, Hash> m_columns;
};
