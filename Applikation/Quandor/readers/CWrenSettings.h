#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The stored settings of a Wren reader, in the two text columns of its
// reader row, and the commands that carry them to the reader:
// - strParameter: the mode bits as "%X", then ";" and the 10-digit master
//   transponder when one is known ("3;0123456789"); text without ";" holds
//   the mode bits alone; text that is not hexadecimal means mode bits 0;
// - strModus: the switch time in whole seconds "1" to "15", "0" for half a
//   second.
// Bit 0 of the mode bits is the standalone mode (0: reading-head mode),
// bit 1 the master transponder being active; the other bits are kept as
// they are stored.
//
// The settings dialog writes them, the plain list sends them; one reading
// keeps the two in step.
struct CWrenSettings
{
    static constexpr quint32 kStandalone = 0x1;
    static constexpr quint32 kMasterActive = 0x2;

    quint32 modeBits = 0;
    QString master;

    static CWrenSettings FromParameter(const QString& parameter);
    // The text before the first ";" (the whole text without one).
    static QString ModeBitsText(const QString& parameter);
    static quint32 ModeBits(const QString& parameter);
    QString ToParameter() const;

    bool Standalone() const { return (modeBits & kStandalone) != 0; }
    bool MasterActive() const { return (modeBits & kMasterActive) != 0; }

    // The leading decimal number of a text as the reader's tools read it:
    // blanks, a sign, digits up to the first other character; saturated at
    // the int range instead of overflowing; 0 when there is none.
    static int LeadingInt(const QString& text);

    // A stored switch time as the dialog shows it: above 0 "%d", 0 "0.5",
    // below 0 "0".
    static QString SwitchTimeShown(const QString& modus);

    enum class SwitchTimeCheck { Valid, BelowOne, AboveFifteen };
    // A typed switch time: "0.5" or "0,5" is half a second ("0"); otherwise
    // 1 to 15 whole seconds. *modus gets the text to store when valid.
    static SwitchTimeCheck CheckSwitchTime(const QString& typed, QString* modus);

    // The data of the switch-time command 'D': "1" and "0%X" of the stored
    // switch time ("105", "10F", "100" for half a second).
    static QString SwitchTimeData(const QString& modus);

    // Carries the settings to the reader through send (a plain command's
    // letter and data to its reply): master active, standalone, then the
    // switch time of modus; false when the reader did not acknowledge the
    // first two (the time is not sent then).
    bool SendTo(const std::function<QString(char, const QString&)>& send, const QString& modus) const;

    // A transponder number from the reader: exactly ten hexadecimal digits
    // (stored upper-case).
    static bool IsTransponderNumber(const QString& text);
};
