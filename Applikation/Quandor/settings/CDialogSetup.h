#pragma once

#include "CDialogSetupDialog.h"

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include <memory>
#include <unordered_map>

// The dialog-layout store: the row heights and column widths the user gave
// the grids of the record views, kept in "DialogSetup.xml" so each view
// opens as it was left.
//
//   <dialogsetup>
//     <dialog id="05">                                  one per view code
//       <grid id="0" headerheight="25" rowheight="18">  heights in pixels
//         <column id="3" width="120"/>                  0-based column index
//
// The file is read once (OpenFile), changed only in memory, and written
// once at exit (Save). Elements and attributes the store does not know are
// kept and written back. Ids are compared exactly; numbers are read like
// atol and saturate at the int range. UI thread only.
class CDialogSetup
{
public:
    // "folder" holds the file; empty means DefaultFolder().
    explicit CDialogSetup(const QString& folder = QString());
    ~CDialogSetup();

    CDialogSetup(const CDialogSetup&) = delete;
    CDialogSetup& operator=(const CDialogSetup&) = delete;

    // Loads the file, creating it as an empty store when it is missing.
    // False after a message box when it cannot be created, read or parsed.
    bool OpenFile(const QString& fileName);
    // Writes the document to the file, once: a second call does nothing.
    // The old file is replaced only by a complete new one; a failure keeps
    // it and gives false with the reason, for the caller to report.
    bool Save(QString* error = nullptr);

    // -1 when the view, grid or size is not stored.
    int GetRowHeight(const QString& dialogId, const QString& gridId, bool header) const;
    int GetColumnWidth(const QString& dialogId, const QString& gridId, const QString& columnId) const;
    // Create the view, grid and column where missing; false when nothing
    // could be stored (no file open, or an empty id).
    bool SetRowHeight(const QString& dialogId, const QString& gridId, bool header, int height);
    bool SetColumnWidth(const QString& dialogId, const QString& gridId, const QString& columnId,
                        int width);

    // The file in use; empty before OpenFile and after Save.
    const QString& GetPath() const { return m_path; }

    // "SysFiles" beside the program file when that folder can be written,
    // else "SysFiles" in the user's configuration folder, so an installed
    // program whose folder is read-only still starts and keeps its layout.
    static QString DefaultFolder();
    static QString ResolveFolder(const QString& programFolder, const QString& userFolder);

    // Reads a number as atol does (leading blanks, a sign, digits up to the
    // first other character; no digits give 0), saturating at the int range.
    static int ReadNumber(const QString& text);

private:
    struct Hash
    {
        size_t operator()(const QString& s) const { return qHash(s); }
    };

    void LoadAll();
    void LoadNode(const QDomElement& node, CDialogSetupDialog* dialog, CDialogSetupGrid* grid);
    CDialogSetupGrid* FindGrid(bool create, const QString& dialogId, const QString& gridId);
    const CDialogSetupGrid* LookupGrid(const QString& dialogId, const QString& gridId) const;
    QDomElement AppendElement(QDomElement parent, const QString& name, const QString& id);

    QString m_folder;
    QString m_path;
    QDomDocument m_document;
    QDomElement m_root;
    std::unordered_map<QString, std::unique_ptr<CDialogSetupDialog>, Hash> m_dialogs;
};
