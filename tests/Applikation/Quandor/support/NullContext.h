#pragma once

#include "CAppContext.h"

// A context with nothing around it: no database, texts, layout store,
// link, window or tree. For a view driven on its own, outside the program.
class NullContext : public CAppContext
{
public:
    CFerrold_Handler* Database() override { return nullptr; }
    void CloseDatabase() override {}
    CLanguageHandler* Language() const override { return nullptr; }
    CDialogSetup* LayoutStore() const override { return nullptr; }
    CReaderLink* Link() override { return nullptr; }
    QString SendAndWait(char, const QString&, int) override { return {}; }
    QString SendCommand(const CLinkLease&, char, const QString&, quint8) override { return {}; }
    int Connect() override { return 0; }
    void ClosePort() override {}
    bool IdentifyRequested() const override { return false; }
    void SetIdentifyRequest(bool) override {}
    QWidget* MainWindow() const override { return nullptr; }
    QWidget* RightPane() const override { return nullptr; }
    void BeginBusy() override {}
    void EndBusy() override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void ShowAllRecords() override {}
    void ShowAllRecordsAfterImport() override {}
    bool RefusedWhileTransferRuns() override { return false; }
    void SetCsvPath(const QString&) override {}
    void RebuildTree() override {}
    void RebuildTreeChildren() override {}
    void InsertReaderChildren(const QString&) override {}
    void RenameReaderChildren(const QString&, const QString&) override {}
    void RemoveReaderChildren(const QString&) override {}
    void RemoveAllReaderChildren() override {}
    void AddSchemaChild(qint32, const QString&) override {}
    void RenameSchemaChild(qint32, const QString&) override {}
    void RemoveSchemaChild(qint32) override {}
};
