#pragma once

#include "CReaderLink.h"
#include "CReaderLinkObserver.h"
#include "CTestSeam.h"

#include <QPointer>
#include <QString>
#include <QTreeWidget>

class CAppContext;
class CDataProgressDlg;
class CLanguageHandler;
class CThreadMailbox;
class CMainFrame;
class QTimer;

// The navigation tree on the left of the main window: readers,
// transponders, persons, time schemas and events, with a child per reader
// under transponders, persons and events and a child per time schema.
// Selecting a node puts the record view of its kind on the right, filtered
// by the selected reader or time schema.
//
// The tree also owns the link to the reader on the serial port: the views,
// the status bar and the transfers reach the reader and its state through
// it. The link's own thread reports to the tree only by posting to it, and
// the tree joins that thread before it goes.
class CLeftTreeView : public QTreeWidget, private CReaderLinkObserver
{
    Q_OBJECT

public:
    // What a node stands for, kept in the node: the views are chosen by it,
    // never by the node's text (a reader may be named like a node).
    enum NodeKind { NoNode = 0, RootNode, ReadersNode, TranspondersNode, PersonsNode, TimeSchemasNode,
                    EventsNode, ReaderChild, SchemaChild };
    static constexpr int kKindRole = Qt::UserRole;
    // Set on the child of the built-in full-access schema.
    static constexpr int kFullAccessRole = Qt::UserRole + 1;
    // A schema child's schema identity: names may repeat, identities not.
    static constexpr int kSchemaIdRole = Qt::UserRole + 2;

    static constexpr int kTagDisplayMilliseconds = 1500;
    static constexpr unsigned int kDefaultComPort = 256;

    CLeftTreeView(CAppContext& context, CLanguageHandler* pLanguage, CMainFrame* pFrame, QWidget* parent = nullptr);
    ~CLeftTreeView() override;

    // Builds the tree from the caches; once, after the window is shown.
    void OnInitialUpdate();
    // Rebuilds the reader and time-schema children from the caches.
    void RebuildChildren();
    // The language switch: new texts for the fixed nodes and the built-in
    // schema's child, and the schema's cached name in the new language.
    void RelabelFixedNodes();
    void RenameFullAccessSchema();

    QTreeWidgetItem* Node(NodeKind kind) const;

    // The time-schema children, found by the schema's identity; the
    // time-schema view keeps them in step with its changes.
    QTreeWidgetItem* FindSchemaChild(qint32 identity) const;
    // Appended last, titled with the name.
    void AddSchemaChild(qint32 identity, const QString& name);
    void RenameSchemaChild(qint32 identity, const QString& name);
    void RemoveSchemaChild(qint32 identity);
    // A new reader's children under the transponders, persons and events
    // nodes, each placed as the user reads the names (the tree's own sorting
    // would reorder its fixed nodes too), the nodes opened.
    void InsertReaderChildren(const QString& name);
    // The first child of each of those nodes titled oldName takes newName.
    void RenameReaderChildren(const QString& oldName, const QString& newName);
    // A deleted reader's children: the first child titled exactly this name
    // under the transponders, persons and events nodes (an empty name too).
    void RemoveReaderChildren(const QString& name);
    // Every reader child of those three nodes.
    void RemoveAllReaderChildren();
    static NodeKind Kind(const QTreeWidgetItem* item);
    // Readers of this model get no children in the tree.
    static bool IsTernReader(const QString& storedModel);
    // A reader's child as the tree shows it (its name, the reader image and
    // its kind), not yet placed under a node.
    QTreeWidgetItem* NewReaderChild(const QString& name) const;

    // A presented transponder: shown in the information label for 1500 ms
    // (marked when it is the master transponder) and handed to the
    // transponder view.
    void OnTagRead(const QString& number);
    QTimer* LabelTimer() const { return m_pLabelTimer; }

    // --- The reader link.
    // Starts the search for a reader on the chosen port ("nAktCOM") and
    // shows its progress; its end comes to OnSearchDone(). Returns 1 only
    // when a reader is online already (nothing was started), else 0: the
    // search has started, a search runs already, or it could not be started
    // (the user is told). result, when given, tells these cases apart, and
    // whether a transfer holds the link of the reader online.
    int Connect(CReaderLink::ConnectResult* result = nullptr);
    // Ends the connection or the search under way; nothing goes on the line
    // afterwards. Always 1.
    int ClosePort();
    // Opens "COM<n>" (1: 57200 baud, 2: 9600); 1 = open. The search opens
    // its port through it too, on the link's thread: it touches nothing of
    // the window.
    int OpenPort(const QString& portName, quint8 baudSelector);
    // A port that refuses (or counts) its openings: replaces the opening
    // of OpenPort().
    static CTestSeam<CReaderLink::PortOpener>& PortOpenerSeam();
    // A command straight to the port (modes 1 framed, 2 plain) by the
    // transfer that holds lease (Link().TakeLink()): the reply between STX
    // and EOT, or "" (at once when the lease is gone).
    QString SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode);
    // A command handed to the polling thread (modes 1, 2, 3): its own reply,
    // "CRC_ERROR" for a framed reply with a bad checksum, or "" after 3000 ms
    // or when no reader is online.
    QString SendAndWait(char letter, const QString& data, int mode);
    static int VerifyChecksum(const QString& reply) { return CReaderLink::VerifyChecksum(reply); }
    static QString BuildClockString() { return CReaderLink::BuildClockString(); }
    // Everything else of the link: the lease of a transfer (TakeLink,
    // ReleaseLink), the Wren's master teaching, the settings-dialog flag.
    CReaderLink& Link() { return m_link; }

    // The port choice (WM_CHOOSE_PORT, and the main window's command):
    // stores the chosen port and, on "connect now", connects.
    void OnChoosePort();

    // Link state, read by the status bar and the views.
    bool IsPortOpen() const { return m_link.IsPortOpen(); }
    CLinkStatus::Snapshot LinkStatus() const { return m_link.Status(); }
    void SetReaderName(const QString& name) { m_link.SetReaderName(name); }
    bool IsSearching() const { return m_link.IsSearching(); }
    bool IsPollingRunning() const { return m_link.IsPollingRunning(); }
    unsigned int ChosenPort() const { return m_nComPort; }
    // The progress window of the search under way; null when none.
    CDataProgressDlg* GetSearchProgress() const;
    // The search's window in the language now in force (after a switch).
    void RelabelSearchProgress();

    // Set by a connect that asks the reader view to identify the reader.
    bool m_bIdentifyRequest = false;

    // Texts of the selected node and its parent at the last selection change.
    QString m_strSelectedText;
    QString m_strParentText;

protected:
    bool event(QEvent* event) override;

private:
    void AddFixedNode(QTreeWidgetItem* parent, NodeKind kind, unsigned int text, int image);
    void AddSchemaChildren();
    QTreeWidgetItem* NewSchemaChild(qint32 identity, const QString& name);
    // Removes a child without letting the tree replace the view that asked.
    void RemoveChild(QTreeWidgetItem* child);
    void AddReaderChildren();
    void OnSelectionChanged(QTreeWidgetItem* current);
    void OnShowSelection();
    QIcon Image(int index) const;

    // What the link's thread reports; each is handed to the UI thread.
    void SearchProgress(int maximum, int position, const QString& text) override;
    void SearchFinished(const CSearchOutcome& outcome) override;
    void TagRead(quint64 ticket, const QString& number, bool isMaster) override;
    void LinkLost(quint64 connection) override;
    // Their handling on the UI thread. A report of a connection that has
    // been closed since is not acted on.
    void OnSearchProgress(quint64 connection, int maximum, int position, const QString& text);
    void OnSearchDone(const CSearchOutcome& outcome);
    void OnLinkTag(quint64 ticket, quint64 connection, const QString& number);
    void OnLinkLost(quint64 connection);
    void DestroySearchProgress();

    // Handed to every view the tree puts on the right.
    CAppContext& m_context;
    CLanguageHandler* m_pLanguage;
    CMainFrame* m_pFrame;
    QTreeWidgetItem* m_nodes[EventsNode + 1] = {};
    QTimer* m_pLabelTimer;
    // What the link's thread reports reaches the UI thread through it.
    CThreadMailbox* m_pLinkReports;

    unsigned int m_nComPort = kDefaultComPort;
    QPointer<CDataProgressDlg> m_pSearchProgress;
    CReaderLink m_link;
};
