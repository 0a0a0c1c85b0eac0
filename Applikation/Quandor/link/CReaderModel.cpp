#include "CReaderModel.h"

namespace {

using Facts = CReaderModel::Facts;
using RT = CReaderModel::ReaderType;
using MC = CReaderModel::ModelCode;
using Dialog = CReaderModel::SettingsDialog;
using Transfer = CReaderModel::Transfer;

constexpr Facts kModels[CReaderModel::kCount] = {
    {"Wren", "QMZT32", RT::Wren, MC::Wren, false, 9600, 111, Dialog::Wren, false, Transfer::WrenList, false, -1, 0,
     2, 1, 123},
    {"Kite", "QMZT18", RT::Kite, MC::Kite, true, 57200, 112, Dialog::HeronKite, false, Transfer::Framed, true, 4999,
     500, 1, -1, 0},
    {"Heron", "QMZT17", RT::Heron, MC::Heron, true, 57200, 113, Dialog::HeronKite, false, Transfer::Framed, true,
     2899, 100, 1, -1, 0},
    // The Tern's button would open the framed dialog, whose frames a Tern
    // ignores; its grey cell keeps it from opening at all.
    {"Tern", "QMZT31", RT::Tern, MC::Tern, false, 9600, 225, Dialog::HeronKite, true, Transfer::None, false, -1, 0,
     3, 0, 224},
    {"Egret", "QMZT27", RT::Egret, MC::Egret, true, 57200, 237, Dialog::HeronKite, false, Transfer::Framed, true,
     3999, 1000, 1, -1, 0},
};

// The order in which a text is tested for the models' names.
constexpr MC kRecognitionOrder[] = {MC::Wren, MC::Kite, MC::Heron, MC::Egret, MC::Tern};

} // namespace

const CReaderModel::Facts* CReaderModel::All()
{
    return kModels;
}

CReaderModel::ReaderType CReaderModel::ReaderTypeOf(int linkReaderType)
{
    return linkReaderType >= 0 && linkReaderType <= 4 ? static_cast<ReaderType>(linkReaderType) : ReaderType::None;
}

const CReaderModel::Facts* CReaderModel::ByReaderType(ReaderType type)
{
    for (const Facts& facts : kModels) {
        if (facts.readerType == type)
            return &facts;
    }
    return nullptr;
}

const CReaderModel::Facts* CReaderModel::ByModelCode(ModelCode code)
{
    for (const Facts& facts : kModels) {
        if (facts.modelCode == code)
            return &facts;
    }
    return nullptr;
}

const CReaderModel::Facts* CReaderModel::ByIdentity(const QByteArray& identity)
{
    for (const Facts& facts : kModels) {
        if (identity == facts.identity)
            return &facts;
    }
    return nullptr;
}

const CReaderModel::Facts* CReaderModel::ByStoredText(const QString& text)
{
    return ByModelCode(CodeFromText(text));
}

QString CReaderModel::StoredText(ReaderType type)
{
    const Facts* facts = ByReaderType(type);
    return facts ? QString::fromLatin1(facts->storedText) : QString();
}

CReaderModel::ModelCode CReaderModel::CodeFromText(const QString& text)
{
    for (MC code : kRecognitionOrder) {
        if (text.contains(QLatin1String(ByModelCode(code)->storedText)))
            return code;
    }
    return MC::None;
}

bool CReaderModel::IsWren(const QString& storedText)
{
    return CodeFromText(storedText) == MC::Wren;
}

bool CReaderModel::IsTern(const QString& storedText)
{
    return CodeFromText(storedText) == MC::Tern;
}

bool CReaderModel::IsFramed(const QString& storedText)
{
    const Facts* facts = ByStoredText(storedText);
    return facts && facts->framed;
}

bool CReaderModel::IsFramedType(int linkReaderType)
{
    const Facts* facts = ByReaderType(linkReaderType);
    return facts && facts->framed;
}

bool CReaderModel::IsPlainType(int linkReaderType)
{
    const Facts* facts = ByReaderType(linkReaderType);
    return facts && !facts->framed;
}
