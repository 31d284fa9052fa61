#pragma once
// Numbers and fields as the data outputs (CSV, JSON, the figures of text reports) write
// them. Label texts are not made here: they stay "%g" exactly as the window shows them.
#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <string>

namespace tesora::report {

// The shape of the JSON documents and CSV tables (docs/cli-data.md); raised whenever a
// field changes its meaning or goes away.
constexpr int kDataFormat = 1;

// The shortest text that reads back as the same double ("0.1", not
// "0.10000000000000001"); "nan", "inf" and "-inf" for the values without digits.
std::string ShortestText(double value);
QString Shortest(double value);

// A finite number for JSON, null otherwise (JSON has no infinity).
QJsonValue JsonNumber(double value);

// One CSV field: quoted when it holds a comma, a quote or a line break.
QString CsvField(const QString& text);
QByteArray CsvField(const QByteArray& bytes);

}  // namespace tesora::report
