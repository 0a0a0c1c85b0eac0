#pragma once

#include <QByteArray>
#include <QString>

// The five reader models (Wren, Kite, Heron, Tern, Egret) and everything the
// program knows about each of them, in one table.
//
// A model is known under two numberings that are never converted into each
// other:
// - ReaderType: what the link calls the reader connected right now, learnt
//   from its identity reply during the search (-1: none). Decisions about
//   the reader on the line go through it.
// - ModelCode: what the reader list calls a stored reader, derived from the
//   model text stored in its row of "tblLeser". Decisions about a stored
//   reader (its settings dialog, its commands, its limits) go through it or
//   through the stored text.
// The stored model text is written once, when a connected reader is first
// registered, from the ReaderType of that connection.
//
// Both numberings are scoped enums, so mixing them does not compile; the
// link's int (CLeftTreeView::ReaderType()) is read with ReaderTypeOf().
class CReaderModel
{
public:
    enum class ReaderType : qint32 { None = -1, Wren = 0, Kite = 1, Heron = 2, Tern = 3, Egret = 4 };
    enum class ModelCode : qint32 { None = -1, Kite = 0, Heron = 1, Wren = 2, Tern = 3, Egret = 4 };

    // Which settings dialog a row's button opens.
    enum class SettingsDialog { None, Wren, HeronKite };
    // How "fetch all" and "write all" reach a stored reader of the model.
    enum class Transfer {
        None,     // not offered
        WrenList, // the plain reader's list dialog, while a Wren is connected
        Framed    // the framed transfer, while this very reader is connected
    };

    struct Facts {
        const char* storedText; // strLeserTyp, also the model's name
        const char* identity;   // the identity reply ('H')
        ReaderType readerType;
        ModelCode modelCode;
        bool framed;              // checksummed frames and a 20-character identification
        quint32 baud;             // 57200 (not 57600) or 9600
        unsigned int statusText;  // the model's name in the status bar
        SettingsDialog settingsDialog;
        bool buttonGrey;          // the settings button of the reader list is read-only
        Transfer transfer;
        bool readsEvents;         // read events and clear the event memory
        int lastEventNumber;      // highest event read without asking the reader; -1: none
        int maxWriteTransponders; // most transponders that "write all" sends; 0: none
        int plainSendMode;        // SendAndWait mode of a plain reader; 1 for framed ones
        int chooseEntryMode;      // choice dialog's extra entry: 1 new Wren, 0 new Tern; -1: no dialog
        unsigned int chooseEntryText; // the language text of that entry; 0: none
    };

    // The table, in the order Wren, Kite, Heron, Tern, Egret.
    static const Facts* All();
    static constexpr int kCount = 5;

    // The link's number as its enum: any value but 0 to 4 is None.
    static ReaderType ReaderTypeOf(int linkReaderType);

    // Look-ups; null for None, an unknown value or text.
    static const Facts* ByReaderType(ReaderType type);
    static const Facts* ByReaderType(int linkReaderType) { return ByReaderType(ReaderTypeOf(linkReaderType)); }
    static const Facts* ByModelCode(ModelCode code);
    // The identity reply without checksum ("QMZT18").
    static const Facts* ByIdentity(const QByteArray& identity);
    // The model a stored text (or the list's "Reader: Kite") names; see
    // CodeFromText().
    static const Facts* ByStoredText(const QString& text);

    // The stored model text for the connected reader; empty for None.
    static QString StoredText(ReaderType type);
    static QString StoredText(int linkReaderType) { return StoredText(ReaderTypeOf(linkReaderType)); }

    // A stored text "names" a model when it contains the model's name. They
    // are tested in the order Wren, Kite, Heron, Egret, Tern and the first
    // hit decides, so the reader list's column text ("Reader: Kite") gives
    // the same code as the stored text. A text naming none gives None: a row
    // whose model nobody knows is offered no model command.
    static ModelCode CodeFromText(const QString& text);

    // Predicates on stored texts, all through CodeFromText().
    static bool IsWren(const QString& storedText);
    static bool IsTern(const QString& storedText); // also: readers without tree children
    static bool IsFramed(const QString& storedText);

    // Predicates on the link's number.
    static bool IsFramedType(int linkReaderType);
    static bool IsPlainType(int linkReaderType);
};
