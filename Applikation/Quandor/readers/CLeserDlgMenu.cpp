// The reader list's context menu and the commands that act on the reader
// on the link.

#include "CLeserDlg.h"

#include "CGridCtrl.h"
#include "CAppContext.h"
#include "CReaderLink.h"
#include "CRecordViewMenu.h"
#include "CNotice.h"
#include "CTransferRun.h"
#include "CReaderFrame.h"

#include <QMetaObject>

namespace {

constexpr int kClearTries = 5;

// Language texts.
constexpr unsigned int kClearQuestionText = 160;
constexpr unsigned int kClearFailedText = 161;

struct MenuEntry {
    int id;
    unsigned int text;
};

// In the menu's order.
constexpr MenuEntry kMenu[] = {
    {CLeserDlg::ID_RECONNECT, 61},       {CLeserDlg::ID_DELETE_ENTRY, 62},    {CLeserDlg::ID_DELETE_ALL_ENTRIES, 63},
    {CLeserDlg::ID_READ_EVENTS, 156},    {CLeserDlg::ID_CLEAR_EVENT_MEMORY, 157}, {CLeserDlg::ID_FETCH_ALL_DATA, 158},
    {CLeserDlg::ID_WRITE_ALL_DATA, 159},
};
constexpr unsigned int kDeleteEntriesText = 67;

// Whether any reader transfer runs, of this view or another, or holds the
// link: then nothing is offered that would start another or change what it
// works on.
bool LinkBusy(CReaderLink* link)
{
    return CTransferRun::Active() || (link && link->IsLinkTaken());
}

} // namespace

int CLeserDlg::CountSelectedRows(int limit) const
{
    CGridCtrl* grid = GetGrid();
    int count = 0;
    for (int row = 1; grid && row < grid->GetRowCount() && count < limit; ++row) {
        if (grid->IsCellSelected(row, 1))
            ++count;
    }
    return count;
}

bool CLeserDlg::CanQueryFramedReader(CReaderLink* link)
{
    // A transfer that has started but not yet taken the link would meet
    // the question on the line.
    return link && link->IsPortOpen() && link->IsPollingRunning() && CReaderModel::IsFramedType(link->Status().readerType)
        && !LinkBusy(link);
}

void CLeserDlg::OnGridRClick(GRID_NOTIFY* notify)
{
    CGridCtrl* grid = GetGrid();
    if (!notify || !grid)
        return;
    const int clicked = (notify->dataRow >= 0 ? notify->dataRow : notify->row) - 1;
    m_nClickedRow = clicked;
    const int selected = CountSelectedRows(2);

    // What the commands will act on, taken now: the clicked row's reader.
    const CtblLeser::structLeser* reader = ReaderAt(clicked + 1);
    const CReaderModel::ModelCode code
        = reader ? CReaderModel::CodeFromText(reader->LeserTyp) : CReaderModel::ModelCode::Kite;
    m_nClickedModelCode = static_cast<int>(code);
    m_nClickedReaderID = reader ? reader->ID_Leser : 0;
    m_strClickedReaderName = reader ? reader->Bezeichnung : QString();

    // Only a framed reader online can tell whether it is this row's reader;
    // asking anyone else would only wait for a reply that cannot come.
    CReaderLink* link = Context().Link();
    const CReaderModel::Facts* model = CReaderModel::ByModelCode(code);
    bool connected = false;
    m_strReaderReply.clear();
    if (reader && model && model->framed && CanQueryFramedReader(link)) {
        m_strReaderReply = Context().SendAndWait('L', QStringLiteral("S0000"), CReaderFrame::FramedMode);
        connected = m_strReaderReply.size() == 26 && m_strReaderReply.mid(4, 20) == reader->Seriennummer;
    }
    m_bClickedIsConnected = connected;
    const bool wrenOnline = reader && code == CReaderModel::ModelCode::Wren && link
        && CReaderModel::ReaderTypeOf(link->Status().readerType) == CReaderModel::ReaderType::Wren;

    const int id = BuildMenu(selected, connected, wrenOnline).Track(this, MenuPoint(notify));
    if (id == 0)
        return;
    // The command runs once the grid has finished with its click.
    QMetaObject::invokeMethod(this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
}

CRecordViewMenu CLeserDlg::BuildMenu(int selected, bool connected, bool wrenOnline) const
{
    std::vector<int> ids;
    for (const MenuEntry& entry : kMenu)
        ids.push_back(entry.id);
    CRecordViewMenu menu(ids);
    CGridCtrl* grid = GetGrid();
    const bool idle = !IsTransferRunning() && !LinkBusy(Context().Link());
    const bool anyRow = grid && grid->GetRowCount() > 1;
    for (const MenuEntry& entry : kMenu) {
        bool enabled = idle;
        unsigned int text = entry.text;
        switch (entry.id) {
        case ID_DELETE_ENTRY:
            enabled = enabled && selected > 0;
            if (selected > 1)
                text = kDeleteEntriesText;
            break;
        case ID_DELETE_ALL_ENTRIES:
            enabled = enabled && anyRow;
            break;
        case ID_READ_EVENTS:
        case ID_CLEAR_EVENT_MEMORY:
            enabled = enabled && selected > 0 && connected;
            break;
        case ID_FETCH_ALL_DATA:
        case ID_WRITE_ALL_DATA:
            enabled = enabled && selected > 0 && (connected || wrenOnline);
            break;
        default:
            break;
        }
        menu.Modify(entry.id, Text(text), enabled);
    }
    return menu;
}

void CLeserDlg::OnCommand(int id)
{
    // The commands of the transfers are added to this dispatch by their
    // builders.
    switch (id) {
    case ID_RECONNECT:
        OnReconnect();
        break;
    case ID_DELETE_ENTRY:
        OnDeleteEntry();
        break;
    case ID_DELETE_ALL_ENTRIES:
        OnDeleteAllEntries();
        break;
    case ID_READ_EVENTS:
        OnReadEvents();
        break;
    case ID_CLEAR_EVENT_MEMORY:
        OnClearEventMemory();
        break;
    case ID_FETCH_ALL_DATA:
        OnFetchAllData();
        break;
    case ID_WRITE_ALL_DATA:
        OnWriteAllData();
        break;
    default:
        break;
    }
}

void CLeserDlg::OnReconnect()
{
    CReaderLink* link = Context().Link();
    // Closing the port under a transfer would cut it off mid-way.
    if (!link || LinkBusy(link))
        return;
    m_bIdentifyRequest = true;
    Context().SetIdentifyRequest(true);
    if (link->IsPortOpen() || link->IsSearching())
        Context().ClosePort();
    Context().Connect();
}

void CLeserDlg::OnClearEventMemory()
{
    CReaderLink* link = Context().Link();
    if (!link || LinkBusy(link))
        return;
    // With the port closed a search starts; the operator asks again once
    // the reader is connected.
    if (Context().Connect() != 1)
        return;
    if (!CNotice::Confirm(kClearQuestionText))
        return;

    bool cleared = false;
    const CLinkLease lease = link->TakeLink();
    if (lease) {
        for (int i = 0; i < kClearTries && !cleared; ++i) {
            const QByteArray reply
                = Context().SendCommand(lease, 'S', QStringLiteral("P0003FFFF"), CReaderFrame::FramedMode).toLatin1();
            // A reply with a wrong checksum is no answer.
            cleared = reply.size() == 7 && CReaderFrame::IsFramedAck(reply) && CReaderFrame::HasValidChecksum(reply);
        }
        link->ReleaseLink(lease);
    }
    if (!cleared)
        ShowError(kClearFailedText);
}
