#pragma once

#include "ReadEventsFixture.h"

#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QRegularExpression>

// Writing and fetching all data on the simulated reader: the reader list
// on a simulated framed reader (readers 7 and 8 as for reading events),
// transponders and schemas stored before the program starts.
class WriteAll : public ReadEvents
{
protected:
    // A schema group of four equal windows from ID "first" on.
    static QStringList Schema(int first, const QString& von, const QString& bis, const QString& weekdays)
    {
        QStringList sql;
        for (int k = 0; k < 4; ++k)
            sql << QStringLiteral("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis, "
                                  "boolMontag, boolDienstag, boolMittwoch, boolDonnerstag, boolFreitag, boolSamstag, "
                                  "boolSonntag) VALUES (%1, 'S%2', '%3', '%4', %5)")
                       .arg(first + k)
                       .arg(first)
                       .arg(von, bis, weekdays);
        return sql;
    }
    static QString Transponder(const QString& number, const QString& readers, int schema = 101, int person = 0)
    {
        return QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, Zeitfenster_ID, "
                              "Person_ID) VALUES ('%1', '%2', %3, %4)")
            .arg(number, readers)
            .arg(schema)
            .arg(person);
    }
    static QString Settings(int reader, const QString& parameter, const QString& modus, int marked = 1)
    {
        return QStringLiteral("UPDATE tblLeser SET strParameter = '%1', strModus = '%2', boolUpdateOK = %3 "
                              "WHERE ID_Leser = %4")
            .arg(parameter, modus)
            .arg(marked)
            .arg(reader);
    }
    // Runs statements on the program's own database while it runs.
    void Exec(const QStringList& statements)
    {
        QSqlQuery q(Db()->GetDatabase()->Connection());
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(Dialect(s))) << s.toStdString();
    }
    // Changes stored readers while the program runs, as their settings
    // dialogs would, and reads them again.
    void Reader(const QStringList& statements)
    {
        Exec(statements);
        Db()->Get_Ptr_To_tblLeser()->_Requery();
    }
    int MarkInDatabase(int reader) const
    {
        return Rows(QStringLiteral("SELECT boolUpdateOK FROM tblLeser WHERE ID_Leser = %1").arg(reader))
            .value(0, QStringLiteral("-1"))
            .toInt();
    }
    int MarkInCache(int reader) const
    {
        CtblLeser* readers = Db()->Get_Ptr_To_tblLeser();
        for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
            if (readers->Get_Leser(i)->ID_Leser == reader)
                return readers->Get_Leser(i)->UpdateOK;
        }
        return -1;
    }

    // The program's write-all on the clicked reader, up to its end.
    void StartWrite(int reader = kReaderId)
    {
        Click(reader);
        View()->OnWriteAllData();
        QCoreApplication::sendPostedEvents(View(), CWindowMessage::WM_WRITE_ALL_DATA);
    }
    void Write(int reader = kReaderId)
    {
        StartWrite(reader);
        ASSERT_TRUE(WaitEnd());
        QCoreApplication::processEvents();
    }

    // The write frames the reader received ("FFS..."), in order.
    QStringList Writes() const { return Received().filter(QRegularExpression("^FFS")); }
    static QString Framed(const QString& text)
    {
        return text + QString::fromLatin1(CSimulatedReader::Checksum(text.toLatin1()));
    }
    QString WriteNotice(int count) const { return Language()->GetLangItem(240, count); }
};
