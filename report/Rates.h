#pragma once
// The figures of a best-Delta search as both faces report them.
#include <QJsonObject>
#include <QString>

#include "tools/BestDelta.h"

namespace tesora::report {

struct BestDeltaRun {
    QString picture;  // the path as given (the module: empty for an array)
    int width = 0, height = 0, pictureLevel = 0, level = 0;
    double bpp = 0.0;
    QString rule;
    analysis::BestDelta best;
};

// Without "format": a document adds it once for all its runs.
QJsonObject ToJson(const BestDeltaRun& run);

}  // namespace tesora::report
