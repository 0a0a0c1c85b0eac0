// The model table: both numberings, the stored texts, their recognition and
// the per-model facts the reader view and its transfers use.

#include "CReaderModel.h"

#include <gtest/gtest.h>

namespace {

using RT = CReaderModel::ReaderType;
using MC = CReaderModel::ModelCode;

struct Row {
    int linkType;
    const char* stored;
    MC code;
    bool framed;
    const char* identity;
    int lastEvent;
    int maxWrite;
};

const Row kRows[] = {
    {0, "Wren", MC::Wren, false, "QMZT32", -1, 0},
    {1, "Kite", MC::Kite, true, "QMZT18", 4999, 500},
    {2, "Heron", MC::Heron, true, "QMZT17", 2899, 100},
    {3, "Tern", MC::Tern, false, "QMZT31", -1, 0},
    {4, "Egret", MC::Egret, true, "QMZT27", 3999, 1000},
};

} // namespace

TEST(CReaderModelTest, LinkNumberGivesStoredTextGivesModelCode)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.stored);
        const QString stored = CReaderModel::StoredText(row.linkType);
        EXPECT_EQ(stored, QLatin1String(row.stored));
        EXPECT_EQ(CReaderModel::CodeFromText(stored), row.code);
        // The reader list's column text names the same model.
        EXPECT_EQ(CReaderModel::CodeFromText(QStringLiteral("Leser: ") + stored), row.code);
        EXPECT_EQ(CReaderModel::CodeFromText(QStringLiteral("Reader: ") + stored), row.code);

        const CReaderModel::Facts* facts = CReaderModel::ByIdentity(row.identity);
        ASSERT_NE(facts, nullptr);
        EXPECT_EQ(facts, CReaderModel::ByReaderType(row.linkType));
        EXPECT_EQ(facts, CReaderModel::ByModelCode(row.code));
        EXPECT_EQ(static_cast<int>(facts->readerType), row.linkType);
        EXPECT_EQ(facts->framed, row.framed);
        EXPECT_EQ(facts->baud, row.framed ? 57200u : 9600u);
        EXPECT_EQ(facts->lastEventNumber, row.lastEvent);
        EXPECT_EQ(facts->maxWriteTransponders, row.maxWrite);
        EXPECT_EQ(facts->readsEvents, row.framed);
        EXPECT_EQ(CReaderModel::IsFramed(stored), row.framed);
        EXPECT_EQ(CReaderModel::IsFramedType(row.linkType), row.framed);
        EXPECT_EQ(CReaderModel::IsPlainType(row.linkType), !row.framed);
    }
}

TEST(CReaderModelTest, NoReaderAndUnknownValuesNameNoModel)
{
    for (int type : {-1, 5, 100, -7}) {
        EXPECT_TRUE(CReaderModel::StoredText(type).isEmpty()) << type;
        EXPECT_EQ(CReaderModel::ByReaderType(type), nullptr) << type;
        EXPECT_EQ(CReaderModel::ReaderTypeOf(type), RT::None) << type;
        EXPECT_FALSE(CReaderModel::IsFramedType(type));
        EXPECT_FALSE(CReaderModel::IsPlainType(type));
    }
    for (const char* text : {"", "Sparrow", "kite", "Leser: ", "QMZT18", "1"}) {
        EXPECT_EQ(CReaderModel::CodeFromText(QLatin1String(text)), MC::None) << text;
        EXPECT_EQ(CReaderModel::ByStoredText(QLatin1String(text)), nullptr) << text;
        EXPECT_FALSE(CReaderModel::IsWren(QLatin1String(text)));
        EXPECT_FALSE(CReaderModel::IsTern(QLatin1String(text)));
        EXPECT_FALSE(CReaderModel::IsFramed(QLatin1String(text)));
    }
    EXPECT_EQ(CReaderModel::ByModelCode(MC::None), nullptr);
    EXPECT_EQ(CReaderModel::ByIdentity("QMZT99"), nullptr);
    EXPECT_EQ(CReaderModel::ByIdentity("QMZT1"), nullptr);
}

TEST(CReaderModelTest, TheFirstModelNamedInRecognitionOrderDecides)
{
    // Wren, Kite, Heron, Egret, Tern.
    EXPECT_EQ(CReaderModel::CodeFromText("TernWren"), MC::Wren);
    EXPECT_EQ(CReaderModel::CodeFromText("Heron-Kite"), MC::Kite);
    EXPECT_EQ(CReaderModel::CodeFromText("Egret Heron"), MC::Heron);
    EXPECT_EQ(CReaderModel::CodeFromText("Tern/Egret"), MC::Egret);
    EXPECT_EQ(CReaderModel::CodeFromText("Tern 2"), MC::Tern);
    EXPECT_FALSE(CReaderModel::IsTern("TernWren"));
    EXPECT_TRUE(CReaderModel::IsWren("TernWren"));
}

TEST(CReaderModelTest, PerModelCommandsAndDialogs)
{
    using Dialog = CReaderModel::SettingsDialog;
    using Transfer = CReaderModel::Transfer;
    const auto* wren = CReaderModel::ByModelCode(MC::Wren);
    const auto* tern = CReaderModel::ByModelCode(MC::Tern);
    EXPECT_EQ(wren->settingsDialog, Dialog::Wren);
    EXPECT_EQ(wren->transfer, Transfer::WrenList);
    EXPECT_FALSE(wren->buttonGrey);
    EXPECT_EQ(tern->transfer, Transfer::None);
    EXPECT_TRUE(tern->buttonGrey);
    for (MC code : {MC::Kite, MC::Heron, MC::Egret}) {
        const auto* framed = CReaderModel::ByModelCode(code);
        EXPECT_EQ(framed->settingsDialog, Dialog::HeronKite);
        EXPECT_EQ(framed->transfer, Transfer::Framed);
        EXPECT_FALSE(framed->buttonGrey);
        EXPECT_EQ(framed->plainSendMode, 1);
        EXPECT_EQ(framed->chooseEntryMode, -1);
    }
    // The plain readers' identification: send mode, the choice dialog's
    // extra entry and its text.
    EXPECT_EQ(wren->plainSendMode, 2);
    EXPECT_EQ(wren->chooseEntryMode, 1);
    EXPECT_EQ(wren->chooseEntryText, 123u);
    EXPECT_EQ(tern->plainSendMode, 3);
    EXPECT_EQ(tern->chooseEntryMode, 0);
    EXPECT_EQ(tern->chooseEntryText, 224u);
}
