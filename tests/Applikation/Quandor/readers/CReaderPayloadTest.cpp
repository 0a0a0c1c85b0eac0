// What the database holds for one reader, read from the stored rows, and
// the clearing of its mark only while they stay as they were.
#include "CReaderPayload.h"
#include "FerroldTestDb.h"

namespace {

class CReaderPayloadTest : public FerroldTest
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        Sql("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strParameter, strModus, boolUpdateOK) "
            "VALUES (5, 'Gate', 'A5', '131', 1)");
        for (int k = 0; k < 4; ++k)
            Sql(QStringLiteral("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, boolMontag) "
                               "VALUES (%1, 'S10', '0730', '1600', 1)")
                    .arg(10 + k));
        const char* rows[][3] = {{"00000000AA", "3;5", "10"}, {"00000000BB", "7", "10"},
                                 {"00000000CC", "5;05;5", "10"}, {"00000000DD", "15;50", "10"},
                                 {"00000000EE", "", "10"},      {"00000000FF", " 5 ", "99"}};
        for (const auto& r : rows)
            Sql(QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, Zeitfenster_ID) "
                               "VALUES ('%1', '%2', %3)")
                    .arg(QLatin1String(r[0]), QLatin1String(r[1]), QLatin1String(r[2])));
    }
    CDatabase* Db() { return Handler().GetDatabase(); }
    int Mark() { return Rows("SELECT boolUpdateOK FROM tblLeser WHERE ID_Leser = 5").value(0).toInt(); }
};

TEST_F(CReaderPayloadTest, TheStoredRowsNamingTheReaderOnceInKeyOrder)
{
    const CReaderPayload framed = CReaderPayload::Read(Db(), 5, CReaderPayload::Form::Framed);
    EXPECT_TRUE(framed.found);
    EXPECT_EQ(framed.transponders, QStringList({"00000000AA", "00000000CC", "00000000FF"}));
    EXPECT_EQ(framed.schedules, QList<qint32>({10, 10, 99}));
    // Schema 99 is not stored: its transponder adds no windows.
    EXPECT_EQ(framed.windows.size(), 8);
    EXPECT_EQ(framed.parameter, "A5");
    EXPECT_EQ(framed.mode, "131");
    const CReaderPayload plain = CReaderPayload::Read(Db(), 5, CReaderPayload::Form::Plain);
    EXPECT_TRUE(plain.schedules.isEmpty() && plain.windows.isEmpty());
    // A reader that is gone holds nothing.
    const CReaderPayload gone = CReaderPayload::Read(Db(), 6, CReaderPayload::Form::Framed);
    EXPECT_FALSE(gone.found);
    EXPECT_TRUE(gone.transponders.isEmpty());
}

TEST_F(CReaderPayloadTest, TheMarkIsClearedOnlyWhileTheRowsStayAsSent)
{
    const CReaderPayload sent = CReaderPayload::Read(Db(), 5, CReaderPayload::Form::Framed);
    struct Case {
        const char* name;
        const char* change;
        CReaderPayload::Clearing result;
    } const cases[] = {
        {"a transponder given to another reader", "UPDATE tblTransponder SET strLeser_IDS = '7;8' WHERE ID_Transponder = 2",
         CReaderPayload::Clearing::Cleared},
        {"a transponder given to the reader", "UPDATE tblTransponder SET strLeser_IDS = '7;5' WHERE ID_Transponder = 2",
         CReaderPayload::Clearing::Changed},
        {"another schema", "UPDATE tblTransponder SET Zeitfenster_ID = 1 WHERE ID_Transponder = 1",
         CReaderPayload::Clearing::Changed},
        {"a window", "UPDATE tblZeitschema SET strBis = '1700' WHERE ID_Zeitschema = 12",
         CReaderPayload::Clearing::Changed},
        {"a setting", "UPDATE tblLeser SET strModus = '6' WHERE ID_Leser = 5", CReaderPayload::Clearing::Changed},
        {"the reader deleted", "DELETE FROM tblLeser WHERE ID_Leser = 5", CReaderPayload::Clearing::Gone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Sql(c.change);
        EXPECT_EQ(CReaderPayload::ClearMarkIfUnchanged(Db(), 5, sent), c.result);
        if (c.result != CReaderPayload::Clearing::Gone) {
            EXPECT_EQ(Mark(), c.result == CReaderPayload::Clearing::Cleared ? 0 : 1);
        }
    }
}

} // namespace
