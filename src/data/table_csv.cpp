#include "data/table_csv.h"

#include "base/error.h"
#include "base/text_utils.h"
#include "data/catalogue.h"
#include "data/table.h"

#include <QIODevice>
#include <QSaveFile>

namespace os {

namespace {

// RFC 4180: a value holding a comma, a quote or a line break is quoted, its
// quotes doubled.
void appendField(QByteArray& out, QByteArrayView value)
{
    bool quote = false;
    for (char c : value) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(value);
        return;
    }
    out.append('"');
    for (char c : value) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

// A text a spreadsheet would run as a formula (it starts with =, +, -, @, a
// tab or a carriage return) goes out with a leading apostrophe, which the
// spreadsheet shows as text. A number ("-12.50", "+1") is left as it is.
bool looksLikeFormula(QByteArrayView value)
{
    if (value.isEmpty())
        return false;
    switch (value.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        break;
    default:
        return false;
    }
    bool number = false;
    const double v = value.toDouble(&number);
    return !number || !qIsFinite(v);
}

void appendText(QByteArray& out, QByteArrayView value)
{
    if (!looksLikeFormula(value)) {
        appendField(out, value);
        return;
    }
    QByteArray guarded;
    guarded.reserve(value.size() + 1);
    guarded.append('\'').append(value);
    appendField(out, guarded);
}

void write(QIODevice& out, QByteArray& buffer)
{
    if (out.write(buffer) != buffer.size())
        throw Error(QStringLiteral("Cannot write the export: %1").arg(out.errorString()));
    buffer.clear();
}

} // namespace

qint64 exportCsv(const Table& table, const QList<CsvColumn>& columns, QIODevice& out)
{
    enum class Kind
    {
        Text,
        Integer,
        Money
    };
    QStringList fields;
    QList<Kind> kinds;
    QByteArray buffer;
    bool firstColumn = true;
    for (const CsvColumn& c : columns) {
        const FieldDef* f = table.def().field(c.field);
        if (!f)
            throw Error(
                QStringLiteral("Field '%1' not found in %2.").arg(c.field, table.tableName()));
        fields << f->name;
        kinds << (f->type == FieldType::Money ? Kind::Money
                  : isIntegerType(f->type)    ? Kind::Integer
                                              : Kind::Text);
        if (!firstColumn)
            buffer.append(',');
        firstColumn = false;
        appendField(buffer, c.title.toUtf8());
    }
    buffer.append("\r\n");

    qint64 rows = 0;
    const int n = int(fields.size());
    table.scan(fields, [&](const Table::Cells& cells) {
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                buffer.append(',');
            if (cells.isNull(i))
                continue;
            switch (kinds.at(i)) {
            case Kind::Money:
                buffer.append(FormatDecimal(cells.number(i), 2).toLatin1());
                break;
            case Kind::Integer:
                buffer.append(QByteArray::number(cells.integer(i)));
                break;
            case Kind::Text:
                // Dates are stored as ISO-8601 text already.
                appendText(buffer, cells.text(i));
                break;
            }
        }
        buffer.append("\r\n");
        ++rows;
        if (buffer.size() >= (1 << 16))
            write(out, buffer);
    });
    write(out, buffer);
    return rows;
}

qint64 exportCsvToFile(const Table& table, const QList<CsvColumn>& columns, const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
    // Names, addresses and e-mail addresses: for the merchant's eyes only.
    if (!out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
    const qint64 rows = exportCsv(table, columns, out);
    if (!out.commit())
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
    return rows;
}

} // namespace os
