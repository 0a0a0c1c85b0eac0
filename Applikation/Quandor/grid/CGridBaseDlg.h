#pragma once

#include <QWidget>

class CFerrold_Handler;
class CLanguageHandler;
class CLeftTreeView;
class QLabel;

// The base of the record views on the right of the main window. Each view
// stands for one kind of record, shown for a filter (a reader or a time
// schema, or all of them).
class CGridBaseDlg : public QWidget
{
    Q_OBJECT

public:
    explicit CGridBaseDlg(QWidget* parent = nullptr);
    ~CGridBaseDlg() override;

    // Sets every column title (and the heading) from the language texts.
    virtual void SetColumnTitles();

    // Taken afresh at every use: a restore replaces the handler.
    static CFerrold_Handler* GetDBHandler();
    static CLanguageHandler* GetLanguage();
    static CLeftTreeView* GetTreeView();

    // What the view shows now, as its heading says it.
    QString Heading() const;

protected:
    // Heading: the kind of record and, when filtered, the filter's name.
    void SetHeading(unsigned int kindText, const QString& filter);
    // The name of the reader with this identity; empty for 0 or none.
    static QString ReaderName(quint32 readerId);

private:
    QLabel* m_pHeading;
    unsigned int m_nKindText = 0;
    QString m_strFilter;
};
