#pragma once

#include <QString>

#include <functional>

class CFerrold_Handler;
class CGridCtrl;
class CLanguageHandler;
class QWidget;

// Turns records into the lines of a CSV file (see CCsvFormat): the
// transponders, persons or events of the database in cache order, or the
// rows of a record view exactly as its grid shows them (sorted and
// filtered). Each line goes to a sink, which may refuse it (a write error)
// and so stop the export.
class CCsvExporter
{
public:
    enum Choice { CurrentView = 0, Transponders = 1, Persons = 2, Events = 3 };
    // Takes one line without its line end; false stops the export.
    using LineSink = std::function<bool(const QString& line)>;

    // The language texts give the binary values' prefixes (202, 203).
    explicit CCsvExporter(const CLanguageHandler* language);

    // False when the sink refused a line.
    bool ExportTransponders(CFerrold_Handler& db, const LineSink& sink) const;
    bool ExportPersons(CFerrold_Handler& db, const LineSink& sink) const;
    bool ExportEvents(CFerrold_Handler& db, const LineSink& sink) const;

    // The grid of a record view whose rows can be exported (transponders,
    // persons, events); null for any other view.
    static CGridCtrl* ViewGrid(QWidget* view);
    // The rows of that view's grid in the order shown. False when the view
    // cannot be exported or the sink refused a line.
    static bool ExportView(QWidget* view, const LineSink& sink);

private:
    QString m_binary1;
    QString m_binary2;
};
