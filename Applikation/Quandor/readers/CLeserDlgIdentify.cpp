// Identifying the reader that the link has just connected: selecting its
// stored row, or registering it as a new reader.

#include "CLeserDlg.h"

#include "CChooseReaderDlg.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CLanguageHandler.h"
#include "CAppContext.h"
#include "CReaderLink.h"
#include "CRandomName.h"
#include "CUiMessage.h"
#include "CReaderFrame.h"

#include <QScrollBar>

namespace {

constexpr int kIdentificationReplyLength = 26;
constexpr int kParameterReplyLength = 10;
// The identity query is sent again this often while the reader is silent.
constexpr int kIdentityRetries = 3;

constexpr int kNameColumn = 4;
constexpr int kSerialColumn = 5;

// Language texts.
constexpr unsigned int kNotAcknowledgedText = 106;
constexpr unsigned int kNoReplyText = 114;
constexpr unsigned int kUnexpectedIdentityText = 119;
constexpr unsigned int kNotUnderstoodText = 120;

const QString kNoSerial = QStringLiteral("---");

// Characters 6 and 7 of a parameter read ("FFLP00A5" + checksum): the
// value's low byte in hexadecimal; empty when the reply is no such read.
QString ParameterByte(const QString& reply)
{
    if (reply.size() != kParameterReplyLength || !reply.startsWith(QLatin1String("FFLP")))
        return QString();
    const QString value = reply.mid(6, 2);
    bool hex = false;
    value.toUInt(&hex, 16);
    return hex ? value : QString();
}

// A plain reply counts only when it holds something and is no refusal.
bool IsPlainAnswer(const QString& reply)
{
    return !reply.isEmpty() && reply.at(0) != QLatin1Char(CReaderFrame::NAK);
}

} // namespace

int CLeserDlg::OnReaderDetected()
{
    CReaderLink* link = Context().Link();
    const bool asked = m_bIdentifyRequest || Context().IdentifyRequested();
    // Cleared first: the boxes and waits below let a second request in,
    // which must not start a second identification.
    m_bIdentifyRequest = false;
    Context().SetIdentifyRequest(false);
    if (!asked || !link)
        return 0;
    ++m_nIdentifyCount;
    const CReaderModel::Facts* model = CReaderModel::ByReaderType(link->Status().readerType);
    if (!model)
        return 0;
    if (model->framed)
        IdentifyFramed(*model);
    else
        IdentifyPlain(*model);
    return 0;
}

void CLeserDlg::IdentifyFramed(const CReaderModel::Facts& model)
{
    const QString reply = Context().SendAndWait('L', QStringLiteral("S0000"), CReaderFrame::FramedMode);
    if (reply.size() != kIdentificationReplyLength) {
        ShowError(kNotAcknowledgedText);
        return;
    }
    const QString identification = reply.mid(4, 20);
    const int row = FindDisplayedRow(kSerialColumn, identification, nullptr);
    if (row > 0) {
        SelectDisplayedRow(row);
        return;
    }

    const QString parameter
        = ParameterByte(Context().SendAndWait('L', QStringLiteral("P0000"), CReaderFrame::FramedMode));
    if (parameter.isEmpty()) {
        ShowError(kNoReplyText);
        return;
    }
    const QString switchCode
        = ParameterByte(Context().SendAndWait('L', QStringLiteral("P0001"), CReaderFrame::FramedMode));
    if (switchCode.isEmpty()) {
        ShowError(kNoReplyText);
        return;
    }
    // The settings dialog and "write all" read the switch code as a
    // decimal number: stored so, the reader gets back what it reported.
    const QString modus = QString::number(switchCode.toUInt(nullptr, 16));
    AddNewReader({identification.left(2), identification, QString::fromLatin1(model.storedText), modus, parameter},
                 false);
}

bool CLeserDlg::CheckPlainIdentity(const CReaderModel::Facts& model)
{
    QString reply = Context().SendAndWait('H', QString(), model.plainSendMode);
    for (int i = 0; i < kIdentityRetries && reply.isEmpty(); ++i)
        reply = Context().SendAndWait('H', QString(), model.plainSendMode);
    if (reply == QLatin1String(model.identity))
        return true;
    // A late answer is tested like the first: another model's identity or
    // a stray report is no reason to register this one.
    if (reply.isEmpty())
        ShowError(kNoReplyText);
    else
        ShowError(reply.size() == 6 ? kUnexpectedIdentityText : kNotUnderstoodText);
    return false;
}

void CLeserDlg::IdentifyPlain(const CReaderModel::Facts& model)
{
    if (!CheckPlainIdentity(model))
        return;

    const QString newEntry = Text(model.chooseEntryText);
    CChooseReaderDlg dialog(GetLanguage(), DisplayedNames(&model), model.chooseEntryMode, window());
    CDialogRunner::DoModal(dialog);
    const QString chosen = dialog.m_strChosen;
    // Cancel chooses nothing and changes nothing.
    if (chosen.isEmpty())
        return;
    if (chosen != newEntry) {
        // The connected model's rows first: a reader of another model may
        // bear the same name.
        int row = FindDisplayedRow(kNameColumn, chosen, &model);
        if (row < 0)
            row = FindDisplayedRow(kNameColumn, chosen, nullptr);
        if (row > 0)
            SelectDisplayedRow(row);
        return;
    }

    NewReader reader{kNoSerial, kNoSerial, QString::fromLatin1(model.storedText), QString(), QString()};
    if (model.readerType == CReaderModel::ReaderType::Wren) {
        // A refusal is no setting.
        reader.parameter = Context().SendAndWait('C', QStringLiteral("0"), model.plainSendMode);
        if (!IsPlainAnswer(reader.parameter)) {
            ShowError(kNoReplyText);
            return;
        }
        reader.modus = Context().SendAndWait('C', QStringLiteral("1"), model.plainSendMode);
        if (!IsPlainAnswer(reader.modus)) {
            ShowError(kNoReplyText);
            return;
        }
    }
    AddNewReader(reader, model.readerType == CReaderModel::ReaderType::Tern);
}

QStringList CLeserDlg::DisplayedNames(const CReaderModel::Facts* model) const
{
    QStringList names;
    CGridCtrl* grid = GetGrid();
    for (int row = 1; grid && row < grid->GetRowCount(); ++row) {
        const int dataRow = grid->GetDataRow(row);
        const CtblLeser::structLeser* reader = ReaderAt(dataRow >= 0 ? dataRow : row);
        if (reader && (!model || CReaderModel::CodeFromText(reader->LeserTyp) == model->modelCode))
            names << reader->Bezeichnung;
    }
    return names;
}

int CLeserDlg::FindDisplayedRow(int column, const QString& text, const CReaderModel::Facts* model) const
{
    CGridCtrl* grid = GetGrid();
    for (int row = 1; grid && row < grid->GetRowCount(); ++row) {
        const int dataRow = grid->GetDataRow(row);
        const CtblLeser::structLeser* reader = ReaderAt(dataRow >= 0 ? dataRow : row);
        if (!reader || (model && CReaderModel::CodeFromText(reader->LeserTyp) != model->modelCode))
            continue;
        if ((column == kSerialColumn ? reader->Seriennummer : reader->Bezeichnung) == text)
            return row;
    }
    return -1;
}

void CLeserDlg::SelectDisplayedRow(int row)
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const QList<uint> rows{uint(row)};
    grid->SelectRows(&rows);
    grid->EnsureCellVisible(row, 1);
}

void CLeserDlg::AddNewReader(const NewReader& reader, bool tern)
{
    CFerrold_Handler* db = GetDBHandler();
    CtblLeser* set = Readers();
    if (!db || !set)
        return;
    const QString name = CRandomName::Make(QStringLiteral("Leser_"));
    if (CReaderStore(*db).Add(name, reader) != CReaderStore::Result::Written)
        return;
    // An open edit belongs to the rows before the re-read.
    EndGridEdit();
    set->_Requery();
    // The grid follows the cache, whatever the re-read found.
    InitGrid(QStringLiteral("03"), kGridId, kColumns, set->GetAnz_Leser() + 1);
    if (tern)
        return;
    AddReaderTreeItems(name);
    if (CGridCtrl* grid = GetGrid()) {
        QScrollBar* bar = grid->verticalScrollBar();
        bar->setValue(bar->maximum());
        grid->Refresh();
    }
}

void CLeserDlg::AddReaderTreeItems(const QString& name)
{
    Context().InsertReaderChildren(name);
}
