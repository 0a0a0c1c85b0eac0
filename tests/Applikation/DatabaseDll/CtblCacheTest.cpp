#include "FerroldTestDb.h"

#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblOnline.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <stdexcept>

namespace {

std::vector<qint32> schemaNumbers(CtblZeitschema* t)
{
    std::vector<qint32> numbers;
    for (int i = 0; i < t->GetAnz_Zeitschema(); ++i)
        numbers.push_back(t->Get_Zeitschema(i)->nNr);
    return numbers;
}

} // namespace

class CtblCacheTest : public FerroldTest
{
protected:
    void AddSchemaRows(int count)
    {
        for (int i = 0; i < count; ++i)
            Sql("INSERT INTO tblZeitschema (strBezeichnung, strVon, strBis) VALUES ('S', '0800', '1700')");
    }
};

TEST_F(CtblCacheTest, NewDatabaseHoldsTheBuiltInSchemaAndOneOnlineRow)
{
    auto& h = Handler();
    EXPECT_TRUE(h.IsUsable());
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->GetAnz_Events(), 0);
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->GetAnz_Leser(), 0);
    EXPECT_EQ(h.Get_Ptr_To_tblPerson()->GetAnz_Person(), 0);
    EXPECT_EQ(h.Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 0);
    auto* z = h.Get_Ptr_To_tblZeitschema();
    ASSERT_EQ(z->GetAnz_Zeitschema(), 4);
    for (int i = 0; i < 4; ++i) {
        const auto* row = z->Get_Zeitschema(i);
        EXPECT_EQ(row->ID_Zeitschema, i + 1);
        EXPECT_EQ(row->Bezeichnung, QStringLiteral("Vollzugriff"));
        EXPECT_EQ(row->Von, QStringLiteral("0000"));
        EXPECT_EQ(row->Bis, QStringLiteral("2359"));
        EXPECT_EQ(row->Sonntag + row->Montag + row->Dienstag + row->Mittwoch + row->Donnerstag + row->Freitag
                      + row->Samstag,
                  7);
        EXPECT_EQ(row->nNr, 1);
    }
    EXPECT_EQ(h.Get_Ptr_To_tblOnline()->_Requery(), 1);
    // Empty tables are read without a word.
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->_Requery(), 0);
    EXPECT_TRUE(Messages().isEmpty());

    // A second start neither seeds again nor loses rows.
    auto& again = Handler();
    EXPECT_EQ(again.Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 4);
}

TEST_F(CtblCacheTest, SchemaRowsAreNumberedInGroupsOfFour)
{
    AddSchemaRows(5); // 4 built-in + 5 = 9 rows: the ninth forms no schema
    auto* z = Handler().Get_Ptr_To_tblZeitschema();
    EXPECT_EQ(schemaNumbers(z), (std::vector<qint32>{1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(z->BrokenSchemas(), QStringList({"S"}));

    AddSchemaRows(3); // 12 rows
    z = Handler().Get_Ptr_To_tblZeitschema();
    ASSERT_EQ(z->GetAnz_Zeitschema(), 12);
    EXPECT_TRUE(z->BrokenSchemas().isEmpty());
    EXPECT_EQ(z->RemoveAt(4), 1);
    EXPECT_EQ(schemaNumbers(z), (std::vector<qint32>{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(z->RemoveAt(z->GetAnz_Zeitschema()), 0);
    EXPECT_EQ(z->GetAnz_Zeitschema(), 11);
    EXPECT_THROW(z->RemoveAt(-1), std::out_of_range);
}

TEST_F(CtblCacheTest, RemovingARowKeepsOtherRowPointersAndRenumbers)
{
    for (int i = 0; i < 10; ++i)
        Sql(QStringLiteral("INSERT INTO tblPerson (strName) VALUES ('P%1')").arg(i));
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_EQ(p->GetAnz_Person(), 10);
    CtblPerson::structPerson* seventh = p->Get_Person(7);
    EXPECT_EQ(p->RemoveAt(2), 1);
    EXPECT_EQ(seventh->Name, QStringLiteral("P7"));
    for (int i = 0; i < p->GetAnz_Person(); ++i)
        EXPECT_EQ(p->Get_Person(i)->nNr, i + 1);
    EXPECT_EQ(p->RemoveAt(0), 1);
    EXPECT_EQ(p->Get_Person(0)->nNr, 1);
    EXPECT_THROW(p->Get_Person(p->GetAnz_Person()), std::out_of_range);
    EXPECT_THROW(p->Get_Person(-1), std::out_of_range);
    EXPECT_EQ(p->GetMajorID_Person(), 10);
}

TEST_F(CtblCacheTest, InsertAtNumbersTheNewRowAndThoseBehindIt)
{
    auto* l = Handler().Get_Ptr_To_tblLeser();
    EXPECT_THROW(l->GetMajorID_Leser(), std::out_of_range);
    EXPECT_EQ(l->InsertAt(1, 5, "A", "", "", 0, "", "", ""), 0);
    EXPECT_EQ(l->InsertAt(0, 5, "A", "", "", 0, "", "", ""), 1);
    EXPECT_EQ(l->InsertAt(1, 9, "C", "", "", 0, "", "", ""), 1);
    EXPECT_EQ(l->InsertAt(1, 7, "B", "", "", 0, "", "", ""), 1);
    ASSERT_EQ(l->GetAnz_Leser(), 3);
    EXPECT_EQ(l->Get_Leser(0)->Bezeichnung, QStringLiteral("A"));
    EXPECT_EQ(l->Get_Leser(1)->Bezeichnung, QStringLiteral("B"));
    EXPECT_EQ(l->Get_Leser(2)->Bezeichnung, QStringLiteral("C"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(l->Get_Leser(i)->nNr, i + 1);
    EXPECT_EQ(l->GetMajorID_Leser(), 9);
    l->RemoveAllData();
    EXPECT_EQ(l->GetAnz_Leser(), 0);
}

TEST_F(CtblCacheTest, BuiltInSchemaIsShownInEnglishButNeverStoredSo)
{
    Sql("INSERT INTO tblZeitschema (strBezeichnung) VALUES ('vollzugriff'), ('vollzugriff'), ('vollzugriff'),"
        " ('vollzugriff')");
    auto* z = Handler(1).Get_Ptr_To_tblZeitschema();
    EXPECT_EQ(z->Get_Zeitschema(0)->Bezeichnung, QStringLiteral("Full access"));
    EXPECT_EQ(z->Get_Zeitschema(4)->Bezeichnung, QStringLiteral("vollzugriff"));

    // Editing the built-in schema on a set left open must not store the shown name.
    ASSERT_TRUE(z->Open());
    ASSERT_TRUE(z->MoveToKey(1));
    EXPECT_EQ(z->strBezeichnung, QStringLiteral("Vollzugriff"));
    z->Edit();
    z->strVon = QStringLiteral("0600");
    EXPECT_TRUE(z->Update());
    EXPECT_EQ(z->_Requery(), 1);
    EXPECT_TRUE(z->IsOpen());
    z->Close();

    auto* german = Handler(0).Get_Ptr_To_tblZeitschema();
    EXPECT_EQ(german->Get_Zeitschema(0)->Bezeichnung, QStringLiteral("Vollzugriff"));
    EXPECT_EQ(german->Get_Zeitschema(0)->Von, QStringLiteral("0600"));
}

TEST_F(CtblCacheTest, LongTextsAndFlagsAreReadAsStored)
{
    QString ids;
    for (int i = 1; i <= 200; ++i)
        ids += QString::number(1000 + i) + ";";
    ASSERT_GT(ids.size(), 255);
    Sql(QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, boolUpdateOK) VALUES "
                       "('00A1B2C3D4', '%1', -1)")
            .arg(ids));
    Sql("INSERT INTO tblPerson (strName) VALUES ('Jürgen Müßig')");
    auto& h = Handler();
    const auto* t = h.Get_Ptr_To_tblTransponder()->Get_Transponder(0);
    EXPECT_EQ(t->Leser_IDS, ids);
    EXPECT_EQ(t->UpdateOK, 1);
    EXPECT_EQ(h.Get_Ptr_To_tblPerson()->Get_Person(0)->Name, QStringLiteral("Jürgen Müßig"));
}

// Texts of every length around the read's block sizes (a row's array holds
// 64 code units, a long value comes in pieces of 4095), each shifted so a
// pair of surrogates straddles the edges, in more rows than one block holds:
// read as the transponders keep them (a QString) and as the events do
// (straight from the reader's characters).
TEST_F(CtblCacheTest, TextsOfEveryLengthReadBackWholeAcrossBlocks)
{
    const int lengths[] = {0, 1, 62, 63, 64, 65, 66, 4094, 4095, 4096, 4097, 9001};
    const QString pattern = QStringLiteral("1;\u00e4\U0001F600");
    auto textOf = [&](int row) {
        QString text = QString(row % 5, u'x');
        const int length = lengths[row % std::size(lengths)];
        while (text.size() < length)
            text += pattern;
        text.truncate(length);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
        return text;
    };
    std::map<qint32, QString> stored;
    std::map<qint32, std::pair<QString, QString>> storedEvents; // transponder number (packed), text
    {
        auto& h = Handler();
        CtblTransponder* t = h.Get_Ptr_To_tblTransponder();
        CtblEvents* e = h.Get_Ptr_To_tblEvents();
        ASSERT_TRUE(t->OpenAppendOnly());
        ASSERT_TRUE(e->OpenAppendOnly());
        CTransaction transaction(h.GetDatabase());
        for (int row = 0; row < 1300; ++row) {
            t->AddNew();
            t->strTransponderNummer = QStringLiteral("%1").arg(row, 10, 10, QLatin1Char('0'));
            t->strLeser_IDS = textOf(row);
            t->Update();
            stored[t->GetLastInsertKey()] = textOf(row);
            e->AddNew();
            e->strTranspondernummer = t->strTransponderNummer;
            e->strEvent2 = textOf(row + 1);
            e->Update();
            storedEvents[e->GetLastInsertKey()] = {e->strTranspondernummer, e->strEvent2};
        }
        ASSERT_TRUE(transaction.Commit()) << transaction.GetError().toStdString();
        t->Close();
        e->Close();
    }

    auto& h = Handler();
    CtblTransponder* t = h.Get_Ptr_To_tblTransponder();
    CtblEvents* e = h.Get_Ptr_To_tblEvents();
    ASSERT_EQ(t->GetAnz_Transponder(), 1300);
    ASSERT_EQ(e->GetAnz_Events(), 1300);
    int differing = 0;
    const auto expectText = [&](const char* table, qint32 key, const QString& read, const QString& text) {
        if (read != text && ++differing <= 3)
            ADD_FAILURE() << table << " key " << key << ": " << read.size() << " code units read, " << text.size()
                          << " stored";
    };
    for (const auto& [key, text] : stored) {
        const auto* row = t->FindByKey(key);
        ASSERT_NE(row, nullptr) << key;
        expectText("transponder", key, row->Leser_IDS, text);
    }
    for (const auto& [key, texts] : storedEvents) {
        const auto* row = e->FindByKey(key);
        ASSERT_NE(row, nullptr) << key;
        expectText("event", key, row->Transpondernummer, texts.first);
        expectText("event", key, row->Event2, texts.second);
    }
    EXPECT_EQ(differing, 0);

    // A NULL reads as a null value of its column's type.
    bool read = false;
    ASSERT_TRUE(t->ReadRows(QStringLiteral("SELECT \"ID_Transponder\", CAST(NULL AS TEXT) AS \"strTransponderNummer\", "
                                           "CAST(NULL AS INTEGER) AS \"Person_ID\", \"Zeitfenster_ID\", \"strLeser_IDS\", "
                                           "\"nTransponderIndex\", \"boolUpdateOK\" FROM \"tblTransponder\" "
                                           "WHERE \"ID_Transponder\" = %1")
                                .arg(stored.begin()->first),
                            [&](const QVariant* values) {
                                read = true;
                                EXPECT_TRUE(values[1].isNull());
                                EXPECT_TRUE(values[2].isNull());
                                EXPECT_EQ(values[4].toString(), stored.begin()->second);
                            }))
        << t->GetLastError().toStdString();
    EXPECT_TRUE(read);
}

TEST_F(CtblCacheTest, EveryTableReadsItsColumnsInOrder)
{
    Sql("INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1, "
        "strBinaerwert2, strEvent2, Leser_ID, strLeserName) VALUES ('T','D','U','B1','E1','B2','E2',7,'L')");
    Sql("INSERT INTO tblLeser (strBezeichnung, strAdresse, strSeriennummer, boolUpdateOK, strLeserTyp, strModus, "
        "strParameter) VALUES ('B','A','S',1,'Typ','M','P')");
    auto& h = Handler();
    const auto* e = h.Get_Ptr_To_tblEvents()->Get_Event(0);
    EXPECT_EQ(QStringList({e->Transpondernummer, e->Datum, e->Uhrzeit, e->Binaerwert1, e->Event1, e->Binaerwert2,
                           e->Event2, e->LeserName}),
              QStringList({"T", "D", "U", "B1", "E1", "B2", "E2", "L"}));
    EXPECT_EQ(e->Leser_ID, 7);
    EXPECT_EQ(e->nNr, 1);
    const auto* l = h.Get_Ptr_To_tblLeser()->Get_Leser(0);
    EXPECT_EQ(QStringList({l->Bezeichnung, l->Adresse, l->Seriennummer, l->LeserTyp, l->Modus, l->Parameter}),
              QStringList({"B", "A", "S", "Typ", "M", "P"}));
    EXPECT_EQ(l->UpdateOK, 1);
}

TEST_F(CtblCacheTest, AFailedReReadKeepsTheRowsShownAndSaysSo)
{
    for (int i = 0; i < 3; ++i) {
        Sql(QStringLiteral("INSERT INTO tblPerson (strName) VALUES ('P%1')").arg(i));
        Sql(QStringLiteral("INSERT INTO tblEvents (strDatum) VALUES ('0%1.01.26')").arg(i));
    }
    auto& h = Handler();
    CtblPerson::structPerson* first = h.Get_Ptr_To_tblPerson()->Get_Person(0);
    Sql("DROP TABLE tblPerson");
    Sql("DROP TABLE tblEvents");
    ClearMessages();

    EXPECT_EQ(h.Get_Ptr_To_tblPerson()->_Requery(), 0);
    EXPECT_TRUE(h.Get_Ptr_To_tblPerson()->LastReadFailed());
    ASSERT_EQ(h.Get_Ptr_To_tblPerson()->GetAnz_Person(), 3);
    EXPECT_EQ(first->Name, QStringLiteral("P0")) << "handed-out rows stay valid";
    EXPECT_EQ(Messages().size(), 1);
    EXPECT_EQ(h.Selective_Requery(0), 0);
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->GetAnz_Events(), 3);
    EXPECT_EQ(Messages().size(), 3) << "the driver's text and the table's own failure text";
}
