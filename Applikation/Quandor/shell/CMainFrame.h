#pragma once

#include "CTestSeam.h"
#include "CTransferRun.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class CAppContext;
class CColorStatic;
class CLanguageHandler;
class CLeftTreeView;
class CMainToolBar;
class CViewSplitterWnd;
class QAction;
class QLabel;
class QMenu;

// The program's main window: toolbar with the information label, status
// bar with the connection and reader panes, and the splitter with the
// navigation tree on the left and the record view on the right.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    enum Command {
        ID_LANGUAGE_GERMAN = 32774,
        ID_CSV_IMPORT = 32777,
        ID_CSV_EXPORT = 32778,
        ID_LANGUAGE_ENGLISH = 32776,
        ID_ONLINE = 32788,
        ID_OFFLINE = 32789,
        ID_COM_PORT = 32791,
        ID_DATABASE_BACKUP = 32821,
        ID_DATABASE_RESTORE = 32825,
        ID_DELETE_ALL_ENTRIES = 32827,
        ID_HELP_FILE = 32838,
        ID_WINDOW_SPLIT = 57653,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_NEXT_PANE = 57680,
        ID_PREV_PANE = 57681,
        ID_VIEW_STATUS_BAR = 59393,
    };
    // Texts of the connection (129) and reader (130) panes.
    enum Pane { ID_INDICATOR_CONNECTION = 129, ID_INDICATOR_READER = 130 };

    static constexpr int kWidth = 1212;
    static constexpr int kHeight = 874;
    static constexpr int kTreeWidth = 200;
    // The help text used when the help file cannot be opened.
    static constexpr unsigned int kHelpFailedText = 248;
    // Refuses commands that replace the database while a reader transfer runs.
    static constexpr unsigned int kTransferRunsText = CTransferRun::kTransferRunsText;

    CMainFrame(CAppContext& context, CLanguageHandler* pLanguage, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds toolbar, status bar, menus and the splitter with its two panes.
    bool Create();
    // Builds the navigation tree once the window is shown.
    void InitialUpdate();

    void UpdateMenuTexts();
    void OnCommand(int id);
    QAction* Action(int id) const { return m_actions.value(id); }

    CLeftTreeView* GetLeftTreeView() const { return m_pLeftTreeView; }
    CColorStatic* GetInfoLabel() const;
    CViewSplitterWnd* GetSplitter() const { return m_pSplitter; }
    QWidget* GetRightPane() const;
    void ReplaceRightPane(QWidget* view);

    // The panes as the status bar shows them, brought up to date.
    void UpdatePanes();

    // File commands on the database as a whole and on CSV files.
    void OnCsvImport();
    void OnCsvExport();
    // 1 when the command ran or was cancelled, 0 when it failed.
    int ImportCsv(int choice);
    int ExportCsv(int choice);
    void OnDatabaseBackup();
    void OnDatabaseRestore();
    void OnDeleteAllEntries();
    // The tree's reader and time-schema children made anew from the caches.
    void RebuildTree();
    QString PaneText(int pane) const;

    // 1 while a long file or database operation runs (wait cursor kept).
    int m_nBusy = 0;
    // The file chosen by the last CSV export or import.
    QString m_strCsvPath;

    // The help file of the active language.
    QString HelpFileName() const;
    // How a help file is opened (tests replace it); returns success.
    using HelpOpener = std::function<bool(const QString& path)>;
    static CTestSeam<HelpOpener>& HelpOpenerSeam();

    // While a reader transfer holds the link, tells the user so (true):
    // the command that asks must not change the data the transfer uses.
    bool RefusedWhileTransferRuns();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void CreateMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text = QString());
    void SwitchLanguage(unsigned int language);
    void OnHelp();
    void FocusNextPane(bool forward);

    CAppContext& m_context;
    CLanguageHandler* m_pLanguage;
    CLeftTreeView* m_pLeftTreeView = nullptr;
    CViewSplitterWnd* m_pSplitter = nullptr;
    CMainToolBar* m_pToolBar = nullptr;
    QLabel* m_pConnectionPane = nullptr;
    QLabel* m_pReaderPane = nullptr;
    QHash<int, QAction*> m_actions;
    QMenu* m_pFileMenu = nullptr;
    QMenu* m_pSettingsMenu = nullptr;
    QMenu* m_pLanguageMenu = nullptr;
    QMenu* m_pViewMenu = nullptr;
    QMenu* m_pHelpMenu = nullptr;
};
