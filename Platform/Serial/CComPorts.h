#pragma once

#include <QList>
#include <QString>

// Where COM port n lives on this machine. The settings group "Ports" (under
// organisation "Velmora", application "Quandor") may name a device for
// "COM<n>"; otherwise COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and
// COM65-96 /dev/ttyACM0-31. Group and value names are matched without
// regard to case, as the registry did.
//
// Every function reads the settings afresh, so it may be called from any
// thread and always sees the latest override.
class CComPorts
{
public:
    // The device of port n (1 to 256); empty when n has none.
    static QString DevicePath(int number);
    // The same for a port name "COM<n>" (case-insensitive); empty when the
    // name is not of that form.
    static QString DevicePath(const QString& portName);
    // The number of a port name "COM<n>", or 0.
    static int NumberFromName(const QString& portName);

    // The port numbers present, in ascending order, found without opening
    // any port: every overridden number, and every default device that
    // exists as a character device (for /dev/ttyS*, only those whose UART
    // the kernel detected, since the node exists for every possible port).
    static QList<uint> EnumComPorts();

    // The override of port n; empty when there is none.
    static QString OverridePath(int number);
    // Sets (or, with an empty path, removes) the override of port n. Used by
    // the developer's simulated reader and by tests.
    static void SetOverridePath(int number, const QString& path);

    static constexpr int kMaxPort = 256;
};
