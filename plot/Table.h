#pragma once
// A CSV table as a sweep writes it, read back for plotting: columns by name, so tables
// with other column orders or extra columns draw the same.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tesora::plot {

struct Table {
    QString name;  // as the messages name it
    QStringList columns;
    std::vector<QStringList> rows;  // as many fields as columns
    std::vector<int> lines;         // the line each row starts on (the header is line 1)

    int Column(const QString& column) const { return static_cast<int>(columns.indexOf(column)); }
    // Throws UsageError naming the columns there are.
    int RequireColumn(const QString& column) const;
    // The number in row r, column c: nullopt for an empty field; "nan", "inf" and "-inf"
    // read as such. Anything else that is not a whole number text throws tesora::Error
    // naming the line.
    std::optional<double> Number(std::size_t r, int c) const;
};

// Reads comma-separated values with one header line (fields in double quotes may hold
// commas, quotes doubled and line breaks; LF or CRLF). Blank lines are skipped. Throws
// tesora::Error naming the line of the first malformed row.
Table ParseTable(const QByteArray& bytes, const QString& name);

}  // namespace tesora::plot
