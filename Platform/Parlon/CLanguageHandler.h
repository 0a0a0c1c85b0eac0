#pragma once

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>

// Numbered texts of the user interface in the active language (0 German,
// 1 English). The texts come from "lang_de.txt" and "lang_en.txt" in the
// folder given to the constructor; the same files are built in, and a number
// missing from a file (or a missing file) takes the built-in text.
//
// File format: UTF-8, one "number<TAB>text" per line; "#" starts a comment
// line; "\n", "\t" and "\\" in a text stand for a line break, a tab and a
// backslash. A number without text keeps the built-in text. Texts that carry a number use "%1" (filled with QString::arg).
//
// All operations may be called from any thread.
class CLanguageHandler
{
public:
    CLanguageHandler(unsigned int language, const QString& folder);
    virtual ~CLanguageHandler();

    CLanguageHandler(const CLanguageHandler&) = delete;
    CLanguageHandler& operator=(const CLanguageHandler&) = delete;

    // The text of a number in the loaded language; empty when it has none.
    QString GetLangItem(unsigned int number) const;
    // The text of a number with its "%1" filled; a text without "%1" comes
    // back unchanged, so an edited text file can never break the caller.
    QString GetLangItem(unsigned int number, qint64 value) const;
    unsigned int GetAktivLanguage() const;
    // Chooses the language; its texts are loaded by the next GetAllItems().
    void SetAktLanguage(unsigned int language);
    // Loads the texts of the active language.
    void GetAllItems();

    // The texts of one language as the component would load them (used by
    // checks of the text files).
    static QHash<unsigned int, QString> LoadTexts(unsigned int language, const QString& folder);
    static QString FileName(unsigned int language);

private:
    using Table = QHash<unsigned int, QString>;

    QString m_folder;
    mutable std::mutex m_mutex;
    unsigned int m_language = 0;
    std::shared_ptr<const Table> m_texts;
};
