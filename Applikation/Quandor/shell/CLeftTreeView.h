#pragma once

#include <QString>
#include <QTreeWidget>

class CLanguageHandler;
class CMainFrame;
class QTimer;

// The navigation tree on the left of the main window: readers,
// transponders, persons, time schemas and events, with a child per reader
// under transponders, persons and events and a child per time schema.
// Selecting a node puts the record view of its kind on the right, filtered
// by the selected reader or time schema.
//
// The tree also owns the link to the reader on the serial port; the link's
// state lives here so the status bar and the views read it in one place.
class CLeftTreeView : public QTreeWidget
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

    static constexpr int kTagDisplayMilliseconds = 1500;
    static constexpr unsigned int kDefaultComPort = 256;

    CLeftTreeView(CLanguageHandler* pLanguage, CMainFrame* pFrame, QWidget* parent = nullptr);
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
    static NodeKind Kind(const QTreeWidgetItem* item);
    // Readers of this model get no children in the tree.
    static bool IsTernReader(const QString& storedModel);

    // A presented transponder: shown in the information label for 1500 ms
    // and handed to the transponder view.
    void OnTagRead(const QString& number);
    QTimer* LabelTimer() const { return m_pLabelTimer; }

    // Link state, read by the status bar and the views.
    bool IsPortOpen() const { return m_bPortOpen; }
    int ConnectedPort() const { return m_nConnectedPort; }
    int ReaderType() const { return m_nReaderType; }
    QString Identification() const { return m_strIdentification; }
    QString ReaderName() const { return m_strReaderName; }
    void SetReaderName(const QString& name) { m_strReaderName = name; }
    QString MasterTransponder() const { return m_strMasterTransponder; }
    unsigned int ChosenPort() const { return m_nComPort; }
    // Whether the link to readers can be used (the port commands).
    bool HasLink() const { return false; }
    int Connect();
    void ClosePort();

    // The connect request that asks the reader view to identify the reader.
    bool m_bIdentifyRequest = false;
    bool m_bMasterLearn = false;

    // Texts of the selected node and its parent at the last selection change.
    QString m_strSelectedText;
    QString m_strParentText;
    // How often the port choice was asked for (once, at start).
    int m_nChoosePortRequests = 0;

protected:
    bool event(QEvent* event) override;

private:
    void AddFixedNode(QTreeWidgetItem* parent, NodeKind kind, unsigned int text, int image);
    void AddSchemaChildren();
    void AddReaderChildren();
    void OnSelectionChanged(QTreeWidgetItem* current);
    void OnShowSelection();
    void OnChoosePort();
    QIcon Image(int index) const;

    CLanguageHandler* m_pLanguage;
    CMainFrame* m_pFrame;
    QTreeWidgetItem* m_nodes[EventsNode + 1] = {};
    QTimer* m_pLabelTimer;

    unsigned int m_nComPort = kDefaultComPort;
    bool m_bPortOpen = false;
    int m_nConnectedPort = -1;
    int m_nReaderType = -1;
    QString m_strIdentification;
    QString m_strReaderName;
    QString m_strMasterTransponder;
};
