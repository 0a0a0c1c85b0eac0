#pragma once

#include <QDomElement>
#include <QString>

// One stored column of a grid in the layout store: its width and the
// `column` element that holds it.
class CDialogSetupColumn
{
public:
    CDialogSetupColumn(const QString& id, int width, const QDomElement& element);

    const QString& GetId() const { return m_id; }
    int GetWidth() const { return m_width; }
    // Changes the record and its element together.
    void SetWidth(int width);

private:
    QString m_id;
    int m_width;
    QDomElement m_element;
};
