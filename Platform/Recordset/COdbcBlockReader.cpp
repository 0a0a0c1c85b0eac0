#include "COdbcBlockReader.h"

#include "CDatabase.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <iterator>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver's wide texts are read as UTF-16");

namespace {

// Rows asked per fetch: enough that the per-call cost vanishes, few enough
// that the arrays stay in the processor's cache. The drivers take far more,
// but a fetch of all 100,000 events at once took a third more processor
// time than blocks of 512; 128 to 4,096 rows measured alike.
constexpr SQLULEN kBlock = 512;
// Code units a text column's array holds per row. Longer values are rare
// (a long list of readers) and are fetched whole, row by row.
constexpr SQLLEN kTextUnits = 64;

struct Statement
{
    SQLHSTMT handle = SQL_NULL_HSTMT;
    ~Statement()
    {
        if (handle != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList parts;
    SQLWCHAR state[6];
    SQLWCHAR text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1;
         SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, text, SQLSMALLINT(std::size(text)), &length));
         ++i) {
        const qsizetype units = std::min<qsizetype>(length, qsizetype(std::size(text)) - 1);
        parts << QString::fromUtf16(reinterpret_cast<const char16_t*>(text), units);
    }
    return parts.isEmpty() ? QStringLiteral("The ODBC driver failed without saying why.")
                           : parts.join(QLatin1Char(' '));
}

bool isNumberType(SQLSMALLINT type)
{
    switch (type) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT:
        return true;
    default:
        return false;
    }
}

bool isTextType(SQLSMALLINT type)
{
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return true;
    default:
        return false;
    }
}

// One bound column's arrays.
struct Bound
{
    SQLUSMALLINT column = 0; // in the result, from 1
    bool text = false;
    std::vector<SQLBIGINT> numbers;
    std::vector<SQLWCHAR> units;
    std::vector<SQLLEN> lengths;
    QString whole; // a text longer than the array, of the row handed over last
};

// A text longer than its array: the whole value of the row the cursor is
// positioned on, fetched in pieces.
bool readWhole(SQLHSTMT statement, SQLUSMALLINT column, QString* value, QString* error)
{
    value->clear();
    SQLWCHAR piece[4096];
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(statement, column, SQL_C_WCHAR, piece, sizeof piece, &length);
        if (rc == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(rc)) {
            *error = diagnostics(SQL_HANDLE_STMT, statement);
            return false;
        }
        if (length == SQL_NULL_DATA) {
            *value = QString();
            return true;
        }
        // A piece that did not fit holds all it can, less the terminating zero.
        const SQLLEN full = SQLLEN(sizeof piece) - SQLLEN(sizeof(SQLWCHAR));
        const SQLLEN bytes = (length == SQL_NO_TOTAL || length > full) ? full : length;
        value->append(QStringView(reinterpret_cast<const char16_t*>(piece), bytes / SQLLEN(sizeof(SQLWCHAR))));
        if (rc == SQL_SUCCESS)
            return true;
    }
}

// Where each wanted column stands in the result, or empty when one is
// missing or of a type whose conversions are left to the usual read (a
// fraction, a date, a text in a number column).
std::vector<SQLUSMALLINT> resultColumns(SQLHSTMT s, const std::vector<COdbcBlockReader::Column>& columns)
{
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(s, &count)))
        return {};
    std::vector<SQLUSMALLINT> at(columns.size(), 0);
    for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(s, c, name, SQLSMALLINT(std::size(name)), &nameLength, &type, &size,
                                           &digits, &nullable)))
            return {};
        const QString described = QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                                     std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
        for (size_t i = 0; i < columns.size(); ++i) {
            if (at[i] != 0 || columns[i].name.compare(described, Qt::CaseInsensitive) != 0)
                continue;
            const bool wantText = columns[i].type == CFieldExchange::Type::Text;
            if (wantText ? !isTextType(type) : !isNumberType(type))
                return {};
            at[i] = c;
            break;
        }
    }
    if (std::find(at.begin(), at.end(), SQLUSMALLINT(0)) != at.end())
        return {};
    return at;
}

// Binds every wanted column to arrays holding a block's rows.
bool bindColumns(SQLHSTMT s, const std::vector<COdbcBlockReader::Column>& columns,
                 const std::vector<SQLUSMALLINT>& at, SQLULEN block, std::vector<Bound>* bound)
{
    bound->resize(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        Bound& b = (*bound)[i];
        b.column = at[i];
        b.text = columns[i].type == CFieldExchange::Type::Text;
        b.lengths.resize(block);
        SQLRETURN rc;
        if (b.text) {
            b.units.resize(block * (kTextUnits + 1));
            rc = SQLBindCol(s, b.column, SQL_C_WCHAR, b.units.data(), SQLLEN((kTextUnits + 1) * sizeof(SQLWCHAR)),
                            b.lengths.data());
        } else {
            b.numbers.resize(block);
            rc = SQLBindCol(s, b.column, SQL_C_SBIGINT, b.numbers.data(), 0, b.lengths.data());
        }
        if (!SQL_SUCCEEDED(rc))
            return false;
    }
    return true;
}

// Row r of the block just fetched, as views into the arrays: a long text
// is fetched whole into the column's own string and viewed there.
bool rowCells(SQLHSTMT s, std::vector<Bound>& bound, SQLULEN r, std::vector<CRowView::Cell>* cells, QString* error)
{
    constexpr SQLLEN kFull = kTextUnits * SQLLEN(sizeof(SQLWCHAR));
    bool positioned = false;
    for (size_t i = 0; i < bound.size(); ++i) {
        Bound& b = bound[i];
        const SQLLEN length = b.lengths[r];
        CRowView::Cell& cell = (*cells)[i];
        cell.null = length == SQL_NULL_DATA;
        cell.chars = QStringView();
        if (cell.null)
            continue;
        if (!b.text) {
            cell.number = b.numbers[r];
        } else if (length != SQL_NO_TOTAL && length <= kFull) {
            cell.chars = QStringView(reinterpret_cast<const char16_t*>(b.units.data() + r * (kTextUnits + 1)),
                                     length / SQLLEN(sizeof(SQLWCHAR)));
        } else {
            if (!positioned && !SQL_SUCCEEDED(SQLSetPos(s, SQLSETPOSIROW(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
                *error = diagnostics(SQL_HANDLE_STMT, s);
                return false;
            }
            positioned = true;
            if (!readWhole(s, b.column, &b.whole, error))
                return false;
            cell.chars = b.whole;
        }
    }
    return true;
}

} // namespace

COdbcBlockReader::Outcome COdbcBlockReader::Read(const QSqlDatabase& db, const QString& sql,
                                                 const std::vector<Column>& columns,
                                                 const std::function<bool(const CRowView&)>& onRow, QString* error)
{
    SQLHDBC connection = CDatabase::OdbcConnectionHandle(db);
    // A long text is fetched from the row of a block it stands in, a column
    // that is also bound, in any order: the driver must allow all three.
    constexpr SQLUINTEGER kNeeded = SQL_GD_BLOCK | SQL_GD_BOUND | SQL_GD_ANY_ORDER;
    SQLUINTEGER extensions = 0;
    if (!connection
        || !SQL_SUCCEEDED(SQLGetInfo(connection, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr))
        || (extensions & kNeeded) != kNeeded)
        return Outcome::NotTaken;

    Statement statement;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement.handle)))
        return Outcome::NotTaken;
    const SQLHSTMT s = statement.handle;
    // A driver that takes fewer rows a fetch says so (01S02); the arrays
    // follow what it took.
    SQLULEN block = 0;
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(s, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0))
        || !SQL_SUCCEEDED(SQLSetStmtAttr(s, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(kBlock), 0))
        || !SQL_SUCCEEDED(SQLGetStmtAttr(s, SQL_ATTR_ROW_ARRAY_SIZE, &block, 0, nullptr)) || block == 0
        || block > kBlock)
        return Outcome::NotTaken;
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> status(block);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(s, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0))
        || !SQL_SUCCEEDED(SQLSetStmtAttr(s, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0)))
        return Outcome::NotTaken;

    std::u16string text = sql.toStdU16String();
    if (!SQL_SUCCEEDED(SQLExecDirectW(s, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS))) {
        *error = diagnostics(SQL_HANDLE_STMT, s);
        return Outcome::Failed;
    }

    const std::vector<SQLUSMALLINT> at = resultColumns(s, columns);
    if (at.empty())
        return Outcome::NotTaken;
    std::vector<Bound> bound;
    if (!bindColumns(s, columns, at, block, &bound)) {
        *error = diagnostics(SQL_HANDLE_STMT, s);
        return Outcome::Failed;
    }

    std::vector<CRowView::Cell> cells(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
        cells[i].text = bound[i].text;
    const CRowView row(cells.data(), int(cells.size()));
    for (;;) {
        const SQLRETURN rc = SQLFetchScroll(s, SQL_FETCH_NEXT, 0);
        if (rc == SQL_NO_DATA)
            return Outcome::Read;
        if (!SQL_SUCCEEDED(rc)) {
            *error = diagnostics(SQL_HANDLE_STMT, s);
            return Outcome::Failed;
        }
        for (SQLULEN r = 0; r < fetched; ++r) {
            if (status[r] == SQL_ROW_ERROR) {
                *error = diagnostics(SQL_HANDLE_STMT, s);
                return Outcome::Failed;
            }
            if (!rowCells(s, bound, r, &cells, error))
                return Outcome::Failed;
            if (!onRow(row))
                return Outcome::Failed;
        }
    }
}
