#include "CComPorts.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>

#include <sys/stat.h>

namespace {

const char* const kOrganisation = "Velmora";
const char* const kApplication = "Quandor";
const char* const kGroup = "Ports";

struct DefaultRange {
    int first;
    const char* prefix;
};
// 32 numbers per device family, starting at these port numbers.
const DefaultRange kDefaults[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};

QSettings Settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
}

// The stored key ("Ports/COM5", however it is spelled) that stands for
// port n, or an empty string.
QString FindKey(const QSettings& settings, int number)
{
    const QString wanted = QStringLiteral("%1/COM%2").arg(QLatin1String(kGroup)).arg(number);
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys) {
        if (key.compare(wanted, Qt::CaseInsensitive) == 0)
            return key;
    }
    return QString();
}

QString DefaultPath(int number)
{
    for (const DefaultRange& range : kDefaults) {
        if (number >= range.first && number < range.first + 32)
            return QStringLiteral("%1%2").arg(QLatin1String(range.prefix)).arg(number - range.first);
    }
    return QString();
}

bool IsCharacterDevice(const QString& path)
{
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// /dev/ttyS0-31 exist whether or not a UART answers behind them; the
// kernel reports a port it never found as type 0.
bool HasUart(const QString& devicePath)
{
    const QString name = devicePath.mid(devicePath.lastIndexOf('/') + 1);
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(name));
    if (!type.open(QIODevice::ReadOnly))
        return true; // no sysfs: trust the device node
    return type.readAll().trimmed() != "0";
}

} // namespace

QString CComPorts::OverridePath(int number)
{
    const QSettings settings = Settings();
    const QString key = FindKey(settings, number);
    return key.isEmpty() ? QString() : settings.value(key).toString().trimmed();
}

void CComPorts::SetOverridePath(int number, const QString& path)
{
    QSettings settings = Settings();
    QString key = FindKey(settings, number);
    if (key.isEmpty())
        key = QStringLiteral("%1/COM%2").arg(QLatin1String(kGroup)).arg(number);
    if (path.isEmpty())
        settings.remove(key);
    else
        settings.setValue(key, path);
    settings.sync();
}

QString CComPorts::DevicePath(int number)
{
    if (number < 1 || number > kMaxPort)
        return QString();
    const QString overridden = OverridePath(number);
    return overridden.isEmpty() ? DefaultPath(number) : overridden;
}

int CComPorts::NumberFromName(const QString& portName)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(portName.trimmed());
    if (!match.hasMatch())
        return 0;
    const int number = match.captured(1).toInt();
    return number >= 1 && number <= kMaxPort ? number : 0;
}

QString CComPorts::DevicePath(const QString& portName)
{
    return DevicePath(NumberFromName(portName));
}

QList<uint> CComPorts::EnumComPorts()
{
    const QSettings settings = Settings();
    const QStringList keys = settings.allKeys();
    static const QRegularExpression pattern(QStringLiteral("^Ports/COM([0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);

    QList<uint> ports;
    for (const QString& key : keys) {
        const QRegularExpressionMatch match = pattern.match(key);
        if (!match.hasMatch() || settings.value(key).toString().trimmed().isEmpty())
            continue;
        const int number = match.captured(1).toInt();
        if (number >= 1 && number <= kMaxPort && !ports.contains(uint(number)))
            ports.append(uint(number));
    }
    for (int number = 1; number <= kMaxPort; ++number) {
        const QString path = DefaultPath(number);
        if (path.isEmpty() || ports.contains(uint(number)))
            continue;
        if (IsCharacterDevice(path) && (!path.startsWith(QLatin1String("/dev/ttyS")) || HasUart(path)))
            ports.append(uint(number));
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}
