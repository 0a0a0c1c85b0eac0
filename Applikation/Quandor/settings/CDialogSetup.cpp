#include "CDialogSetup.h"

#include "CUiMessage.h"
#include "CSafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomNamedNodeMap>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

const QString kRoot = QStringLiteral("dialogsetup");
const QString kDialog = QStringLiteral("dialog");
const QString kGrid = QStringLiteral("grid");
const QString kColumn = QStringLiteral("column");
const QString kId = QStringLiteral("id");
const QString kHeaderHeight = QStringLiteral("headerheight");
const QString kRowHeight = QStringLiteral("rowheight");
const QString kWidth = QStringLiteral("width");

// What a new file holds, byte for byte.
const QByteArray kSeed = QByteArrayLiteral("<dialogsetup></dialogsetup>");

void report(const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon)
{
    CUiMessage::Show(text, icon, QMessageBox::Ok);
}

void reportOpenFailure()
{
    report(QString::fromUtf8("CDialogSetup::OpenFile: Fehler beim Öffnen des XML-Files_2"));
}

// The format is four levels deep. The DOM parser takes quadratic time over
// deep nesting (minutes for 100,000 levels), so a file nested far deeper
// is refused as damaged before it gets there. Gives the line of the first
// element too deep, or 0.
constexpr int kMaxNesting = 256;

qint64 lineNestedTooDeep(const QByteArray& content)
{
    QXmlStreamReader reader(content);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxNesting)
                return reader.lineNumber();
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return 0;
}

QDomElement findRoot(const QDomDocument& document)
{
    const QDomElement top = document.documentElement();
    if (top.tagName() == kRoot)
        return top;
    return document.elementsByTagName(kRoot).item(0).toElement();
}

// The store's own attributes come first in a fixed order, the rest by name,
// so the same document always gives the same bytes (a DOM element keeps its
// attributes in a hash whose order changes from run to run).
int attributeRank(const QString& name)
{
    if (name == kId)
        return 0;
    if (name == kHeaderHeight)
        return 1;
    if (name == kRowHeight)
        return 2;
    if (name == kWidth)
        return 3;
    return 4;
}

void writeStartElement(QXmlStreamWriter& out, const QDomElement& element)
{
    out.writeStartElement(element.tagName());
    const QDomNamedNodeMap map = element.attributes();
    std::vector<std::pair<QString, QString>> attributes;
    attributes.reserve(static_cast<size_t>(map.count()));
    for (int i = 0; i < map.count(); ++i) {
        const QDomAttr attr = map.item(i).toAttr();
        attributes.emplace_back(attr.name(), attr.value());
    }
    std::sort(attributes.begin(), attributes.end(), [](const auto& a, const auto& b) {
        const int ra = attributeRank(a.first);
        const int rb = attributeRank(b.first);
        return ra != rb ? ra < rb : a.first < b.first;
    });
    for (const auto& [name, value] : attributes)
        out.writeAttribute(name, value);
}

// Walks the tree without recursion, so no file, however deeply nested its
// foreign content, can exhaust the stack.
void writeChildren(QXmlStreamWriter& out, const QDomNode& parent)
{
    std::vector<QDomNode> open;
    QDomNode node = parent.firstChild();
    while (!node.isNull()) {
        bool descend = false;
        switch (node.nodeType()) {
        case QDomNode::ElementNode:
            writeStartElement(out, node.toElement());
            if (node.hasChildNodes())
                descend = true;
            else
                out.writeEndElement();
            break;
        case QDomNode::TextNode:
            out.writeCharacters(node.nodeValue());
            break;
        case QDomNode::CDATASectionNode:
            out.writeCDATA(node.nodeValue());
            break;
        case QDomNode::CommentNode:
            out.writeComment(node.nodeValue());
            break;
        case QDomNode::ProcessingInstructionNode: {
            // The declaration is written by the writer itself, with the
            // encoding the file really gets.
            const QDomProcessingInstruction pi = node.toProcessingInstruction();
            if (pi.target().compare(QStringLiteral("xml"), Qt::CaseInsensitive) != 0)
                out.writeProcessingInstruction(pi.target(), pi.data());
            break;
        }
        case QDomNode::EntityReferenceNode:
            out.writeEntityReference(node.nodeName());
            break;
        default:
            break;
        }
        if (descend) {
            open.push_back(node);
            node = node.firstChild();
            continue;
        }
        for (;;) {
            const QDomNode next = node.nextSibling();
            if (!next.isNull()) {
                node = next;
                break;
            }
            if (open.empty()) {
                node = QDomNode();
                break;
            }
            node = open.back();
            open.pop_back();
            out.writeEndElement();
        }
    }
}

QString doctypeText(const QDomDocumentType& type)
{
    QString text = QStringLiteral("<!DOCTYPE ") + type.name();
    if (!type.publicId().isEmpty())
        text += QStringLiteral(" PUBLIC \"%1\" \"%2\"").arg(type.publicId(), type.systemId());
    else if (!type.systemId().isEmpty())
        text += QStringLiteral(" SYSTEM \"%1\"").arg(type.systemId());
    if (!type.internalSubset().isEmpty())
        text += QStringLiteral(" [") + type.internalSubset() + QStringLiteral("]");
    return text + QStringLiteral(">");
}

QByteArray serialise(const QDomDocument& document)
{
    QByteArray bytes;
    QXmlStreamWriter out(&bytes);
    out.setAutoFormatting(true);
    out.setAutoFormattingIndent(2);
    const QDomNode first = document.firstChild();
    if (first.isProcessingInstruction()
        && first.toProcessingInstruction().target().compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0)
        out.writeStartDocument();
    const QDomDocumentType type = document.doctype();
    if (!type.isNull() && !type.name().isEmpty())
        out.writeDTD(doctypeText(type));
    writeChildren(out, document);
    out.writeEndDocument();
    // The writer starts its indentation with a line break even when nothing
    // comes before the first element.
    while (bytes.startsWith('\n'))
        bytes.remove(0, 1);
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    return bytes;
}

} // namespace

CDialogSetup::CDialogSetup(const QString& folder)
    : m_folder(folder)
{
}

CDialogSetup::~CDialogSetup() = default;

QString CDialogSetup::DefaultFolder()
{
    return ResolveFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/SysFiles"),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                             + QStringLiteral("/SysFiles"));
}

QString CDialogSetup::ResolveFolder(const QString& programFolder, const QString& userFolder)
{
    if (QDir().mkpath(programFolder) && QFileInfo(programFolder).isWritable())
        return programFolder;
    return userFolder;
}

bool CDialogSetup::OpenFile(const QString& fileName)
{
    m_dialogs.clear();
    m_root = QDomElement();
    m_document = QDomDocument();
    m_path.clear();

    const QString folder = m_folder.isEmpty() ? DefaultFolder() : m_folder;
    const QString path = QDir(folder).filePath(fileName);

    if (!QFileInfo::exists(path)) {
        if (!QDir().mkpath(folder) || !CSafeFile::WriteFile(path, kSeed, nullptr)) {
            report(QStringLiteral("CDialogSetup::OpenFile: Fehler beim Anlegen des XML-Files_1"));
            return false;
        }
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reportOpenFailure();
        return false;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reportOpenFailure();
        return false;
    }

    QDomDocument document;
    QString reason;
    int line = 0;
    int column = 0;
    const qint64 tooDeep = lineNestedTooDeep(content);
    if (tooDeep > 0 || !document.setContent(content, &reason, &line, &column)) {
        if (tooDeep > 0) {
            line = static_cast<int>(std::min<qint64>(tooDeep, INT_MAX));
            reason = QStringLiteral("elements nested more than %1 levels deep").arg(kMaxNesting);
        }
        // One arg() for all three, so a "%2" in a folder name stays text.
        report(QString::fromUtf8("Fehler beim Parsen von: %1 in Zeile: %2. Begründung: %3")
                   .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), QString::number(line), reason),
               QMessageBox::Warning);
        return false;
    }
    const QDomElement root = findRoot(document);
    if (root.isNull()) {
        reportOpenFailure();
        return false;
    }

    m_document = document;
    m_root = root;
    m_path = path;
    LoadAll();
    return true;
}

bool CDialogSetup::Save(QString* error)
{
    if (m_path.isEmpty())
        return true;
    // A failed write leaves the old file whole; the layout of this run is
    // lost, which is all a failure here may cost.
    const bool saved = CSafeFile::WriteFile(m_path, serialise(m_document), error);
    m_path.clear();
    return saved;
}

void CDialogSetup::LoadAll()
{
    m_dialogs.clear();
    if (!m_root.isNull())
        LoadNode(m_root, nullptr, nullptr);
}

// Reads only the three levels of the format (dialog under the root, grid
// under a dialog, column under a grid), so however a file nests its
// elements, the reading never goes deeper than that.
void CDialogSetup::LoadNode(const QDomElement& node, CDialogSetupDialog* dialog, CDialogSetupGrid* grid)
{
    for (QDomElement child = node.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        if (name == kDialog && !dialog) {
            // A missing attribute reads as empty text.
            const QString id = child.attribute(kId);
            auto record = std::make_unique<CDialogSetupDialog>(id, child);
            CDialogSetupDialog* loaded = record.get();
            // A later dialog of the same id takes the entry; the earlier
            // record goes, its element stays in the file.
            m_dialogs[id] = std::move(record);
            LoadNode(child, loaded, nullptr);
        } else if (name == kGrid && dialog && !grid) {
            const int header = child.hasAttribute(kHeaderHeight) ? ReadNumber(child.attribute(kHeaderHeight)) : -1;
            const int row = child.hasAttribute(kRowHeight) ? ReadNumber(child.attribute(kRowHeight)) : -1;
            CDialogSetupGrid* loaded = dialog->AddGrid(
                std::make_unique<CDialogSetupGrid>(dialog, child.attribute(kId), header, row, child));
            LoadNode(child, dialog, loaded);
        } else if (name == kColumn && grid) {
            grid->PutColumn(std::make_unique<CDialogSetupColumn>(
                child.attribute(kId), ReadNumber(child.attribute(kWidth)), child));
        }
    }
}

QDomElement CDialogSetup::AppendElement(QDomElement parent, const QString& name, const QString& id)
{
    if (parent.isNull())
        return QDomElement();
    QDomElement element = m_document.createElement(name);
    element.setAttribute(kId, id);
    parent.appendChild(element);
    return element;
}

// New elements go under the element of the record that holds them, never
// under the first element that happens to carry the same id: with a view
// listed twice in the file, the records mirror the later one, and a column
// created under the earlier one would be lost at the next start. Nor is
// there anything to search for first: the records mirror every element of
// their level, so a record that is missing has no element either.
CDialogSetupGrid* CDialogSetup::FindGrid(bool create, const QString& dialogId, const QString& gridId)
{
    if (dialogId.isEmpty() || gridId.isEmpty())
        return nullptr;
    const auto found = m_dialogs.find(dialogId);
    if (found != m_dialogs.end()) {
        CDialogSetupDialog* dialog = found->second.get();
        if (CDialogSetupGrid* grid = dialog->FindGrid(gridId))
            return grid;
        if (!create)
            return nullptr;
        const QDomElement element = AppendElement(dialog->GetElement(), kGrid, gridId);
        if (element.isNull())
            return nullptr;
        return dialog->AddGrid(std::make_unique<CDialogSetupGrid>(dialog, gridId, -1, -1, element));
    }
    if (!create || m_root.isNull())
        return nullptr;
    const QDomElement dialogElement = AppendElement(m_root, kDialog, dialogId);
    auto dialog = std::make_unique<CDialogSetupDialog>(dialogId, dialogElement);
    CDialogSetupGrid* grid = dialog->AddGrid(std::make_unique<CDialogSetupGrid>(
        dialog.get(), gridId, -1, -1, AppendElement(dialogElement, kGrid, gridId)));
    m_dialogs.emplace(dialogId, std::move(dialog));
    return grid;
}

const CDialogSetupGrid* CDialogSetup::LookupGrid(const QString& dialogId, const QString& gridId) const
{
    // An element without an id reads as the empty id; it is never asked for.
    if (dialogId.isEmpty() || gridId.isEmpty())
        return nullptr;
    const auto found = m_dialogs.find(dialogId);
    return found == m_dialogs.end() ? nullptr : found->second->FindGrid(gridId);
}

int CDialogSetup::GetRowHeight(const QString& dialogId, const QString& gridId, bool header) const
{
    const CDialogSetupGrid* grid = LookupGrid(dialogId, gridId);
    return grid ? grid->GetHeight(header) : -1;
}

bool CDialogSetup::SetRowHeight(const QString& dialogId, const QString& gridId, bool header, int height)
{
    CDialogSetupGrid* grid = FindGrid(true, dialogId, gridId);
    if (!grid)
        return false;
    grid->SetHeight(header, height);
    return true;
}

int CDialogSetup::GetColumnWidth(const QString& dialogId, const QString& gridId, const QString& columnId) const
{
    const CDialogSetupGrid* grid = LookupGrid(dialogId, gridId);
    const CDialogSetupColumn* column = grid && !columnId.isEmpty() ? grid->FindColumn(columnId) : nullptr;
    return column ? column->GetWidth() : -1;
}

bool CDialogSetup::SetColumnWidth(const QString& dialogId, const QString& gridId, const QString& columnId,
                                  int width)
{
    if (columnId.isEmpty())
        return false;
    CDialogSetupGrid* grid = FindGrid(true, dialogId, gridId);
    if (!grid)
        return false;
    CDialogSetupColumn* column = grid->FindColumn(columnId);
    if (!column)
        column = grid->PutColumn(std::make_unique<CDialogSetupColumn>(
            columnId, width, AppendElement(grid->GetElement(), kColumn, columnId)));
    column->SetWidth(width);
    return true;
}

int CDialogSetup::ReadNumber(const QString& text)
{
    constexpr qint64 kLimit = qint64(INT_MAX) + 1;
    const int size = static_cast<int>(text.size());
    int i = 0;
    auto isBlank = [](QChar c) {
        const char16_t u = c.unicode();
        return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
    };
    while (i < size && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < size && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min(kLimit, value * 10 + (text[i].unicode() - u'0'));
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}
