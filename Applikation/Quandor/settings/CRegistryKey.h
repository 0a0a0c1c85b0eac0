#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <mutex>

class QSettings;

// The program's key; every caller passes it as the key path, with root 1.
inline constexpr char kProgramKey[] = "Software\\Velmora\\Quandor";

// Reads and writes the program's few settings. The registry key
// "Software\<organisation>\<application>[\<sub key>...]" is kept in QSettings
// of that organisation and application (on Linux
// ~/.config/<organisation>/<application>.conf), sub keys as groups.
//
// Value and sub-key names are matched without regard to case, as the
// registry does: "nAktCom" and "nAktCOM" are one value, stored under the
// spelling it was first written with. Every call opens the key afresh and
// closes it again; an open key keeps other threads out of the store until it
// is closed, so the class may be used from any thread at once.
class CRegistryKey
{
public:
    // Root indices as the callers number them.
    enum Root { ClassesRoot = 0, CurrentUser = 1, LocalMachine = 2 };

    // An open key: the settings positioned in the key's group. Closed, and
    // the store free for other threads, when it goes.
    class Handle
    {
    public:
        explicit operator bool() const { return m_settings != nullptr; }
        QSettings* operator->() const { return m_settings.get(); }

    private:
        friend class CRegistryKey;
        // Declared first, so the settings are written and gone before
        // another thread may open the store.
        std::unique_lock<std::recursive_mutex> m_lock;
        std::unique_ptr<QSettings> m_settings;
    };

    CRegistryKey() = default;
    virtual ~CRegistryKey() = default;

    // Opens the key; an empty handle when the root index or the path names
    // nothing this store can hold. Only the current user (1) and, for
    // reading, the machine (2) are kept.
    Handle Open(int rootIndex, const QString& keyPath) const;

    // Reads a number stored as decimal text 0 .. 4294967295; anything else
    // (no value, "abc", "-1", "1.5", too large) fails and leaves *value alone,
    // so callers set their default first.
    bool ReadDWord(quint32* value, int rootIndex, const QString& keyPath, const QString& valueName) const;
    bool WriteDWord(quint32 value, int rootIndex, const QString& keyPath, const QString& valueName) const;

    // The stored text, or an empty text when there is none.
    QString ReadString(int rootIndex, const QString& keyPath, const QString& valueName) const;
    bool WriteString(int rootIndex, const QString& keyPath, const QString& valueName, const QString& text) const;

    // A write the store could not save is said once a run (text 341); this
    // lets the next failure be said again.
    static void ResetFailureReport();

    // A stored folder, or the user's home folder when none is stored.
    static QString PathOrHome(const QString& storedPath);

    // The operator's language as the language switch stored it: 0 German
    // (also when none is stored), 1 English.
    static unsigned int ProgramLanguage();
    static bool StoreProgramLanguage(unsigned int language);

private:
    bool Write(int rootIndex, const QString& keyPath, const QString& valueName, const QString& text) const;
};
