#pragma once
// A sweep's rows as its CSV table, and packed bit for bit for the trip from a worker
// process to the parent.
#include <QByteArray>
#include <QStringList>
#include <vector>

#include "report/Figures.h"

namespace tesora::cli {

// The table's columns; `withRates` adds basis, padding, quantise and bpp at the end (a
// sweep over rates or bases), so tables without those options keep their bytes.
QStringList SweepColumns(bool withRates);
QByteArray SweepCsv(const std::vector<report::CompressResult>& rows, bool withRates);

QByteArray PackRows(const std::vector<report::CompressResult>& rows);
// Appends the rows packed in `bytes`.
void UnpackRows(const QByteArray& bytes, std::vector<report::CompressResult>& rows);

}  // namespace tesora::cli
