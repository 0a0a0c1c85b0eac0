#include "CDatabaseBackup.h"

#include "CAppContext.h"
#include "CBusyScope.h"
#include "CDatabase.h"
#include "CFerrold_Handler.h"
#include "CFerrold_Schema.h"
#include "CFileChooser.h"
#include "CFileNameRule.h"
#include "CLanguageHandler.h"
#include "CRegistryKey.h"
#include "CRestoreCandidate.h"
#include "CSafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

constexpr unsigned int kCopyFailedText = 218;
constexpr unsigned int kSafetyCopyQuestion = 221;
constexpr unsigned int kRestoreFailedText = 222;
constexpr unsigned int kReplaceText = 249;
constexpr unsigned int kNotADatabaseText = 250;
constexpr unsigned int kNoDatabaseFileText = 251;

void storeBackupPath(const QString& path)
{
    CRegistryKey().WriteString(CRegistryKey::CurrentUser, QLatin1String(kProgramKey), QStringLiteral("BackupPath"),
                               path);
}

bool sameFile(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// Copies the database file "from" to "to" as one consistent state, put in
// place only once complete and checked.
bool copyDatabase(const QString& from, const QString& to, QString* error, const CSafeFile::Check& check)
{
    QTemporaryDir folder(CDatabaseBackup::SnapshotFolderTemplate());
    if (!folder.isValid()) {
        *error = folder.errorString();
        return false;
    }
    const QString snapshot = folder.filePath(QStringLiteral("snapshot.mdb"));
    return CFerrold_Schema::WriteSnapshot(from, snapshot, error) && CSafeFile::Copy(snapshot, to, error, check);
}

// A copy is kept only when it opens as an intact database with the six tables.
bool isWholeDatabase(const QString& written, QString* reason)
{
    return CFerrold_Schema::IsDatabaseFile(written, reason);
}

// A journal or log beside the database belongs to the file it replaces, and
// would be played into the restored one: each goes before the new file
// takes its place, or the restore is refused. The journal goes last, so a
// refusal never leaves the kept file without it.
bool removeLeftovers(const QString& database, QString* reason)
{
    for (const char* suffix : {"-shm", "-wal", "-journal"}) {
        const QString path = database + QLatin1String(suffix);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        QFile file(path);
        if (!file.remove()) {
            *reason = QStringLiteral("\"%1\" beside the database cannot be removed: %2").arg(path, file.errorString());
            return false;
        }
    }
    return true;
}

} // namespace

CDatabaseBackup::CDatabaseBackup(CAppContext& context, CLanguageHandler* language)
    : m_context(context)
    , m_pLanguage(language)
{
}

QString CDatabaseBackup::Text(unsigned int number) const
{
    return m_pLanguage ? m_pLanguage->GetLangItem(number) : QString();
}

QString CDatabaseBackup::BackupName(bool german, const QString& stamp)
{
    return (german ? QStringLiteral("Backup_Vondral Manager_") : QStringLiteral("Backup_Kestrav Manager_")) + stamp;
}

QString CDatabaseBackup::SafetyCopyPath(const QString& databasePath, const QString& stamp)
{
    return databasePath.left(databasePath.size() - 4) + QStringLiteral("_Backup_") + stamp + QStringLiteral(".mdb");
}

QString CDatabaseBackup::SnapshotFolderTemplate()
{
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("quandor-snapshot-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
}

int CDatabaseBackup::RemoveLeftovers(const QString& besideFile)
{
    int removed = besideFile.isEmpty() ? 0 : CSafeFile::RemoveStale(besideFile);
    static const QRegularExpression pattern(QStringLiteral("^quandor-snapshot-(\\d+)-[A-Za-z0-9]{6}$"));
    const QDir temp(QDir::tempPath());
    for (const QFileInfo& entry : temp.entryInfoList({QStringLiteral("quandor-snapshot-*")}, QDir::Dirs | QDir::Hidden)) {
        const QRegularExpressionMatch match = pattern.match(entry.fileName());
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || CSafeFile::ProcessRuns(pid))
            continue;
        if (QDir(entry.absoluteFilePath()).removeRecursively())
            ++removed;
    }
    return removed;
}

QString CDatabaseBackup::DatabaseFile(bool mustExist) const
{
    CFerrold_Handler* db = m_context.Database();
    const QString path = db ? db->GetAktDBPath() : QString();
    const bool embedded = db && db->GetDatabase()->GetSource().kind == CDatabase::Kind::Sqlite;
    // An embedded database whose file went missing can still be restored.
    if (path.isEmpty() || ((mustExist || !embedded) && !QFileInfo(path).isFile())) {
        CBusyScope::Show(Text(kNoDatabaseFileText), QMessageBox::Warning);
        return QString();
    }
    return path;
}

QString CDatabaseBackup::ChooseFile(bool save, bool german, const QString& proposedName) const
{
    CFileChooser::Request request;
    request.save = save;
    if (save)
        request.title = german ? QStringLiteral("Datenbank backup ...") : QStringLiteral("Database backup ...");
    else
        request.title = german ? QStringLiteral("Datenbank re-backup ...") : QStringLiteral("Database re-backup ...");
    request.folder = CFileNameRule::StartFolder(CRegistryKey().ReadString(
        CRegistryKey::CurrentUser, QLatin1String(kProgramKey), QStringLiteral("BackupPath")));
    request.proposedName = proposedName;
    request.filter = QStringLiteral("Access Dateien (*.mdb)");
    request.defaultSuffix = save ? QStringLiteral("mdb") : QString();
    const QString chosen = CFileChooser::Choose(m_context.MainWindow(), request);
    if (chosen.isEmpty())
        return QString();
    const QString path = CFileNameRule::ApplyExtension(chosen, QStringLiteral(".mdb"));
    // The dialog asked about the name it showed, not about this one.
    if (save && path != chosen && QFileInfo::exists(path)
        && !CBusyScope::ConfirmDestructive(m_pLanguage ? m_pLanguage->GetLangItem(kReplaceText).arg(path) : path))
        return QString();
    return path;
}

void CDatabaseBackup::OnDatabaseBackup()
{
    const bool german = CRegistryKey::ProgramLanguage() == 0;
    const QString stamp = CFileNameRule::StampNow();
    const QString source = DatabaseFile(true);
    if (source.isEmpty())
        return;
    const QString target = ChooseFile(true, german, BackupName(german, stamp));
    if (target.isEmpty())
        return;

    CBusyScope busy(&m_context);
    storeBackupPath(target);
    // What an earlier backup left when it was killed, beside its copy and
    // the database and in the temporary folder.
    RemoveLeftovers(target);
    RemoveLeftovers(source);
    // A backup onto the database itself would only put it at risk.
    QString error;
    bool copied = false;
    if (sameFile(source, target)) {
        error = source;
    } else {
        copied = copyDatabase(source, target, &error, isWholeDatabase);
    }
    if (!copied)
        CBusyScope::Show(Text(kCopyFailedText) + QStringLiteral("\n\n") + error, QMessageBox::Warning);
}

void CDatabaseBackup::OnDatabaseRestore()
{
    const bool german = CRegistryKey::ProgramLanguage() == 0;
    const QString stamp = CFileNameRule::StampNow();
    const QString target = DatabaseFile(false);
    if (target.isEmpty())
        return;
    const QString chosen = ChooseFile(false, german, QString());
    if (chosen.isEmpty())
        return;

    CBusyScope busy(&m_context);
    storeBackupPath(chosen);
    RemoveLeftovers(target);
    // Nothing changes before the chosen file is known to be a database of
    // this program, intact and complete.
    QString error = CRestoreCandidate::Fault(chosen);
    if (!error.isEmpty()) {
        CBusyScope::Show((m_pLanguage ? m_pLanguage->GetLangItem(kNotADatabaseText).arg(chosen) : chosen)
                             + QStringLiteral("\n\n") + error,
                         QMessageBox::Warning);
        return;
    }
    bool safetyCopy = false;
    if (QFileInfo::exists(target)) {
        const QMessageBox::StandardButton answer =
            CBusyScope::Show(Text(kSafetyCopyQuestion), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes && answer != QMessageBox::No)
            return; // the question was closed: nothing is restored
        safetyCopy = answer == QMessageBox::Yes;
    }

    // No connection may stay open on a file that is replaced.
    m_context.CloseDatabase();
    unsigned int failure = 0;
    // The copy is checked as the chosen file was, in its place beside the
    // database, before it replaces anything.
    const auto verified = [&target](const QString& written, QString* reason) {
        *reason = CRestoreCandidate::Fault(written);
        return reason->isEmpty() && removeLeftovers(target, reason);
    };
    if (safetyCopy && !copyDatabase(target, SafetyCopyPath(target, stamp), &error, isWholeDatabase)) {
        failure = kCopyFailedText;
    } else if (!sameFile(chosen, target) && !copyDatabase(chosen, target, &error, verified)) {
        failure = kRestoreFailedText;
    }
    m_context.Database();
    m_context.ShowAllRecords();
    m_context.RebuildTree();
    if (failure)
        CBusyScope::Show(Text(failure) + QStringLiteral("\n\n") + error, QMessageBox::Warning);
}
