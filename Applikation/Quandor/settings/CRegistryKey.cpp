#include "CRegistryKey.h"

#include "CLanguageHandler.h"
#include "CUiMessage.h"

#include "CSafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QSettings>
#include <QThread>
#include <QStringList>

#include <atomic>
#include <limits>
#include <mutex>

namespace {

// Where the language switch keeps the operator's language.
constexpr char kLanguageValue[] = "nLanguage";

// A name QSettings would split into groups cannot be a value name here.
bool IsUsableName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\');
}

// The spelling under which a name is stored already, or the name itself.
QString StoredSpelling(const QStringList& existing, const QString& name)
{
    for (const QString& candidate : existing) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return name;
}

bool ParseDWord(const QString& text, quint32* value)
{
    if (text.isEmpty())
        return false;
    quint64 result = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + static_cast<quint64>(c.unicode() - u'0');
        if (result > std::numeric_limits<quint32>::max())
            return false;
    }
    *value = static_cast<quint32>(result);
    return true;
}

// Texts entering or leaving the store get buffers of their own: the store's
// shared data is then only ever released under its lock, never by a caller's
// copy on another thread (which the sanitizer cannot follow into Qt).
QString Detached(const QString& text)
{
    return QString(text.constData(), text.size());
}

// The INI store keeps every value as text; a hand-edited "a, b" comes back as
// a list, which is the text it was.
bool StoredText(const QVariant& stored, QString* text)
{
    switch (stored.typeId()) {
    case QMetaType::QString:
        *text = Detached(stored.toString());
        return true;
    case QMetaType::QStringList:
        *text = stored.toStringList().join(QStringLiteral(", "));
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        *text = stored.toString();
        return true;
    default:
        return false;
    }
}

// QSettings objects of one file share their data; Qt guards it, but finding a
// name's spelling and writing it must not interleave with another thread doing
// the same ("nAktCom" and "nAktCOM" could both be created), so the store is
// used by one open key at a time. Recursive: a thread holding a key may still
// read through another call.
std::recursive_mutex g_storeMutex;

constexpr unsigned int kNotSavedText = 341;

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// QSettings writes through a buffered file, which puts a file cut short in
// place without an error when the disk fills during its last write. So the
// file is read back, from a copy no cache knows, and every value of the
// store must be in it as it is in memory.
bool savedWhole(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return true; // a registry, not a file
    QTemporaryFile copy;
    if (!copy.open())
        return false;
    const QByteArray bytes = fileBytes(path);
    if (copy.write(bytes) != bytes.size() || !copy.flush())
        return false;
    copy.close();
    const QSettings stored(path, QSettings::IniFormat); // the values in memory
    const QSettings read(copy.fileName(), QSettings::IniFormat);
    const QStringList keys = stored.allKeys();
    if (read.allKeys().size() != keys.size())
        return false;
    for (const QString& key : keys) {
        if (read.value(key) != stored.value(key))
            return false;
    }
    return true;
}
std::atomic<bool> g_failureReported{false};
// Per settings file, its bytes after the last save known to be whole; used
// under the store's lock only.
QHash<QString, QByteArray> g_lastWhole;

// Said once a run: every later save fails the same way, and a box per value
// would only repeat it. Never waits on a worker: the box is the UI thread's.
void reportFailedSave(const QString& file)
{
    if (g_failureReported.exchange(true))
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    const QString detail = QDir::toNativeSeparators(file);
    auto show = [detail] {
        const CLanguageHandler* language = CUiMessage::Language();
        CUiMessage::Show((language ? language->GetLangItem(kNotSavedText) : QString()) + QStringLiteral("\n\n")
                             + detail,
                         QMessageBox::Warning);
    };
    if (QThread::currentThread() == app->thread())
        show();
    else
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
}

} // namespace

CRegistryKey::Handle CRegistryKey::Open(int rootIndex, const QString& keyPath) const
{
    Handle key;
    QSettings::Scope scope;
    if (rootIndex == CurrentUser)
        scope = QSettings::UserScope;
    else if (rootIndex == LocalMachine)
        scope = QSettings::SystemScope;
    else
        return key;

    const QStringList parts = keyPath.split(u'\\', Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
        return key;
    for (const QString& part : parts) {
        if (part.contains(u'/'))
            return key;
    }

    key.m_lock = std::unique_lock<std::recursive_mutex>(g_storeMutex);
    key.m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, scope, parts[1], parts[2]);
    // A registry root is one store: no falling back from the user's values to
    // the machine's.
    key.m_settings->setFallbacksEnabled(false);
    for (qsizetype i = 3; i < parts.size(); ++i)
        key.m_settings->beginGroup(StoredSpelling(key.m_settings->childGroups(), parts[i]));
    return key;
}

bool CRegistryKey::ReadDWord(quint32* value, int rootIndex, const QString& keyPath, const QString& valueName) const
{
    QString text;
    quint32 parsed = 0;
    if (!value || !IsUsableName(valueName))
        return false;
    const auto settings = Open(rootIndex, keyPath);
    if (!settings)
        return false;
    const QString key = StoredSpelling(settings->childKeys(), valueName);
    if (!StoredText(settings->value(key), &text) || !ParseDWord(text, &parsed))
        return false;
    *value = parsed;
    return true;
}

bool CRegistryKey::WriteDWord(quint32 value, int rootIndex, const QString& keyPath, const QString& valueName) const
{
    return Write(rootIndex, keyPath, valueName, QString::number(value));
}

QString CRegistryKey::ReadString(int rootIndex, const QString& keyPath, const QString& valueName) const
{
    QString text;
    if (!IsUsableName(valueName))
        return text;
    const auto settings = Open(rootIndex, keyPath);
    if (!settings)
        return text;
    if (!StoredText(settings->value(StoredSpelling(settings->childKeys(), valueName)), &text))
        text.clear();
    return text;
}

bool CRegistryKey::WriteString(int rootIndex, const QString& keyPath, const QString& valueName,
                               const QString& text) const
{
    return Write(rootIndex, keyPath, valueName, text);
}

bool CRegistryKey::Write(int rootIndex, const QString& keyPath, const QString& valueName, const QString& text) const
{
    // The program keeps its settings per user; the machine's store is only
    // ever read, whatever rights the program happens to run with.
    if (rootIndex != CurrentUser || !IsUsableName(valueName))
        return false;
    const auto settings = Open(rootIndex, keyPath);
    if (!settings)
        return false;
    if (!settings->isWritable()) {
        reportFailedSave(settings->fileName());
        return false;
    }
    // A hand-edited file may hold several spellings of one name; the first
    // keeps the value and the others go, so reads cannot pick a stale one.
    const QStringList existing = settings->childKeys();
    const QString key = StoredSpelling(existing, valueName);
    for (const QString& other : existing) {
        if (other != key && other.compare(valueName, Qt::CaseInsensitive) == 0)
            settings->remove(other);
    }
    const QString file = settings->fileName();
    // What the file held when last known whole: QSettings also writes on its
    // own (values a failed save left pending), unchecked.
    auto known = g_lastWhole.find(file);
    if (known == g_lastWhole.end())
        known = g_lastWhole.insert(file, fileBytes(file));
    const QByteArray lastWhole = known.value();
    settings->setValue(Detached(key), Detached(text));
    settings->sync();
    const bool whole = settings->status() == QSettings::NoError && savedWhole(file);
    if (whole) {
        g_lastWhole.insert(file, fileBytes(file));
    } else {
        // A file cut short goes back to what it held, when there is room.
        if (QFileInfo(file).isFile() && fileBytes(file) != lastWhole)
            CSafeFile::WriteFile(file, lastWhole, nullptr);
        reportFailedSave(file);
        return false;
    }
    return true;
}

void CRegistryKey::ResetFailureReport()
{
    g_failureReported = false;
}

QString CRegistryKey::PathOrHome(const QString& storedPath)
{
    return storedPath.isEmpty() ? QDir::homePath() : storedPath;
}

unsigned int CRegistryKey::ProgramLanguage()
{
    quint32 language = 0;
    CRegistryKey().ReadDWord(&language, CurrentUser, QLatin1String(kProgramKey), QLatin1String(kLanguageValue));
    return language;
}

bool CRegistryKey::StoreProgramLanguage(unsigned int language)
{
    return CRegistryKey().WriteDWord(language, CurrentUser, QLatin1String(kProgramKey), QLatin1String(kLanguageValue));
}
