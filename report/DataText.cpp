#include "report/DataText.h"

#include <charconv>
#include <cmath>

namespace tesora::report {

std::string ShortestText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

QString Shortest(double value) { return QString::fromStdString(ShortestText(value)); }

QJsonValue JsonNumber(double value) { return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null); }

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return '"' + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + '"';
}

QByteArray CsvField(const QByteArray& bytes) {
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r')) return bytes;
    return '"' + QByteArray(bytes).replace("\"", "\"\"") + '"';
}

}  // namespace tesora::report
