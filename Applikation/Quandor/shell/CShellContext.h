#pragma once

#include "CAppContext.h"

class CLeftTreeView;
class CMainFrame;
class CQuandorApp;

// The program's own context for its views and commands: the application's
// services, and the main window and tree of the moment (none before the
// window is made or after it is gone).
class CShellContext : public CAppContext
{
public:
    explicit CShellContext(CQuandorApp& app);

    CFerrold_Handler* Database() override;
    void CloseDatabase() override;
    CLanguageHandler* Language() const override;
    CDialogSetup* LayoutStore() const override;

    CReaderLink* Link() override;
    QString SendAndWait(char letter, const QString& data, int mode) override;
    QString SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode) override;
    int Connect() override;
    void ClosePort() override;
    bool IdentifyRequested() const override;
    void SetIdentifyRequest(bool requested) override;

    QWidget* MainWindow() const override;
    QWidget* RightPane() const override;
    void BeginBusy() override;
    void EndBusy() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowAllRecords() override;
    void ShowAllRecordsAfterImport() override;
    bool RefusedWhileTransferRuns() override;
    void SetCsvPath(const QString& path) override;

    void RebuildTree() override;
    void RebuildTreeChildren() override;
    void InsertReaderChildren(const QString& name) override;
    void RenameReaderChildren(const QString& oldName, const QString& newName) override;
    void RemoveReaderChildren(const QString& name) override;
    void RemoveAllReaderChildren() override;
    void AddSchemaChild(qint32 identity, const QString& name) override;
    void RenameSchemaChild(qint32 identity, const QString& name) override;
    void RemoveSchemaChild(qint32 identity) override;

private:
    CMainFrame* Frame() const;
    CLeftTreeView* Tree() const;

    CQuandorApp& m_app;
};
