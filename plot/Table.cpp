#include "plot/Table.h"

#include <cmath>

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "plot/UsageError.h"

namespace tesora::plot {
namespace {

[[noreturn]] void Malformed(const QString& name, int line, const QString& what) {
    throw Error(QStringLiteral("Tabelle \"%1\", Zeile %2: %3").arg(name).arg(line).arg(what).toStdString());
}

}  // namespace

int Table::RequireColumn(const QString& column) const {
    const int c = Column(column);
    if (c < 0)
        throw UsageError(QStringLiteral("Die Tabelle \"%1\" hat keine Spalte \"%2\" (Spalten: %3).")
                             .arg(name, column, columns.join(QStringLiteral(", "))));
    return c;
}

std::optional<double> Table::Number(std::size_t r, int c) const {
    const QString text = rows[r][c].trimmed();
    if (text.isEmpty()) return std::nullopt;
    if (text == QLatin1String("nan")) return NAN;
    if (text == QLatin1String("inf")) return INFINITY;
    if (text == QLatin1String("-inf")) return -INFINITY;
    const QByteArray bytes = text.toUtf8();
    std::size_t used = 0;
    const double value =
        ParseNumber(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), &used);
    // strtod would also take "infinity", hex and "nan(...)": a table of ours has none.
    const bool plain =
        !text.contains(QLatin1Char('x'), Qt::CaseInsensitive) && !text.contains(QLatin1Char('n'), Qt::CaseInsensitive);
    if (used != static_cast<std::size_t>(bytes.size()) || !plain)
        Malformed(name, lines[r], QStringLiteral("\"%1\" in Spalte %2 ist keine Zahl.").arg(text, columns[c]));
    return value;
}

namespace {

// Ends a record: the first is the header, blank lines are skipped, every other one must
// have a field per column.
void EndRecord(Table& table, QStringList& fields, bool quotedLast, int line) {
    const bool blank = fields.size() == 1 && fields[0].trimmed().isEmpty() && !quotedLast;
    if (blank) {
        fields.clear();
        return;
    }
    if (table.columns.isEmpty()) {
        table.columns = fields;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            table.columns[i] = fields[i].trimmed();
            if (table.columns.indexOf(table.columns[i]) < i)
                Malformed(table.name, line, QStringLiteral("Spalte \"%1\" doppelt.").arg(table.columns[i]));
        }
    } else if (fields.size() != table.columns.size()) {
        Malformed(table.name, line,
                  QStringLiteral("%1 Felder, die Kopfzeile hat %2.").arg(fields.size()).arg(table.columns.size()));
    } else {
        table.rows.push_back(fields);
        table.lines.push_back(line);
    }
    fields.clear();
}

}  // namespace

Table ParseTable(const QByteArray& bytes, const QString& name) {
    const QString text = QString::fromUtf8(bytes);
    Table table;
    table.name = name;
    QStringList fields;
    QString field;
    bool quoted = false, fieldQuoted = false, anyField = false;
    int line = 1, recordLine = 1;
    const auto endRecord = [&] {
        fields << field;
        field.clear();
        EndRecord(table, fields, fieldQuoted, recordLine);
        fieldQuoted = false;
        anyField = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += ch;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == QLatin1Char('\n')) ++line;
                field += ch;
            }
            continue;
        }
        if (ch == QLatin1Char('"')) {
            if (!field.trimmed().isEmpty()) Malformed(name, line, QStringLiteral("Anführungszeichen mitten im Feld."));
            quoted = fieldQuoted = true;
            field.clear();
        } else if (ch == QLatin1Char(',')) {
            fields << field;
            field.clear();
            fieldQuoted = false;
            anyField = true;
        } else if (ch == QLatin1Char('\n')) {
            endRecord();
            recordLine = ++line;
        } else if (ch == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            continue;
        } else {
            if (fieldQuoted) Malformed(name, line, QStringLiteral("Text nach dem schließenden Anführungszeichen."));
            field += ch;
        }
    }
    if (quoted) Malformed(name, recordLine, QStringLiteral("Anführungszeichen nicht geschlossen."));
    if (anyField || !field.isEmpty() || fieldQuoted) endRecord();
    if (table.columns.isEmpty()) throw Error(QStringLiteral("Die Tabelle \"%1\" ist leer.").arg(name).toStdString());
    return table;
}

}  // namespace tesora::plot
