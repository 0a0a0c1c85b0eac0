#pragma once

#include <QString>
#include <QtGlobal>

class CDialogSetup;
class CFerrold_Handler;
class CLanguageHandler;
class CLinkLease;
class CReaderLink;
class QWidget;

// What the record views, the reader dialogs and the file commands may ask
// of the program around them: its services, the reader link, and the frame
// and navigation tree they live in. The top of the program implements it
// and hands it to every view and command it creates; nothing below the top
// reaches for the application object or the main window itself, so each
// folder's library links only the folders below it. The tests of the lower
// folders (common, settings, grid, link) link nothing more; those of the
// views, the reader view and the commands run them in the program's window.
//
// Everything is looked up at the call: a restore replaces the database
// handler, and a view may outlive the main window by a moment at exit.
// Every answer may be null (no window, no tree); callers go on without it,
// as a lone view in a test does.
class CAppContext
{
public:
    virtual ~CAppContext() = default;

    // --- Services.
    // The database handler, opened anew when a restore closed it.
    virtual CFerrold_Handler* Database() = 0;
    // Closes the handler, so that a restore can replace the file under it.
    virtual void CloseDatabase() = 0;
    virtual CLanguageHandler* Language() const = 0;
    // Where the views' column widths and row heights are kept.
    virtual CDialogSetup* LayoutStore() const = 0;

    // --- The reader link, owned by the navigation tree.
    virtual CReaderLink* Link() = 0;
    // A command queued to the link's polling thread (UI thread only): its
    // reply, or "" without a link, after 3000 ms or when no reader is
    // online. The navigation tree's own SendAndWait.
    virtual QString SendAndWait(char letter, const QString& data, int mode) = 0;
    // A command straight to the port by the holder of the link's lease, on
    // the UI thread (a worker keeps the link it was given): the reply, or ""
    // without a link. The navigation tree's own SendCommand.
    virtual QString SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode) = 0;
    // Starts the search for a reader on the chosen port with its progress
    // window; 1 only when a reader is online already.
    virtual int Connect() = 0;
    // Ends the connection or the search under way.
    virtual void ClosePort() = 0;
    // Set by a connect that asks the reader view to identify the reader
    // it finds; the reader view clears it when it has.
    virtual bool IdentifyRequested() const = 0;
    virtual void SetIdentifyRequest(bool requested) = 0;

    // --- The main window.
    // The parent of dialogs and the anchor of progress windows.
    virtual QWidget* MainWindow() const = 0;
    // The record view shown on the right.
    virtual QWidget* RightPane() const = 0;
    // One long operation: the busy flag and the wait cursor, which a move of
    // the mouse over the window keeps up (see CBusyScope).
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // The wait cursor alone (a reader transfer keeps the window usable).
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // After a change of the database as a whole, the view on the right
    // shows all its records, read afresh; after an import the tree selects
    // the node of the view too.
    virtual void ShowAllRecords() = 0;
    virtual void ShowAllRecordsAfterImport() = 0;
    // While a reader transfer holds the link, tells the user so (true): a
    // command that asks must not change the data the transfer works on.
    virtual bool RefusedWhileTransferRuns() = 0;
    // The file the last CSV export or import chose.
    virtual void SetCsvPath(const QString& path) = 0;

    // --- The navigation tree.
    // The reader and time-schema children made anew from the caches, the
    // nodes opened; or the children alone, the nodes as they are.
    virtual void RebuildTree() = 0;
    virtual void RebuildTreeChildren() = 0;
    // A new reader's children under the transponders, persons and events
    // nodes, in the order the user reads the names.
    virtual void InsertReaderChildren(const QString& name) = 0;
    // The first child of each of those nodes titled oldName takes newName.
    virtual void RenameReaderChildren(const QString& oldName, const QString& newName) = 0;
    // A deleted reader's children: the first child of each node titled
    // exactly this name; or every reader child.
    virtual void RemoveReaderChildren(const QString& name) = 0;
    virtual void RemoveAllReaderChildren() = 0;
    // The time-schema children, by the schema's identity (names may repeat).
    virtual void AddSchemaChild(qint32 identity, const QString& name) = 0;
    virtual void RenameSchemaChild(qint32 identity, const QString& name) = 0;
    virtual void RemoveSchemaChild(qint32 identity) = 0;
};
