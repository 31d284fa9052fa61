#pragma once
// A sweep-like table for the plot tests: every picture x Delta x Epsilon, rate and error
// rising with Epsilon.
#include <QString>
#include <cmath>

namespace tesora::testing {

inline QString SweepTable(int pictures, int deltas, int epsilons) {
    QString csv = QStringLiteral("picture,level,position,delta,epsilon,zero_share,mean_error,psnr\n");
    for (int p = 0; p < pictures; ++p)
        for (int d = 0; d < deltas; ++d)
            for (int e = 1; e <= epsilons; ++e) {
                const double delta = deltas > 1 ? d / double(deltas - 1) : 0.3;
                csv += QStringLiteral("/pictures/picture-%1.bmp,4,%2,%3,%4,%5,%6,%7\n")
                           .arg(p)
                           .arg(d)
                           .arg(delta)
                           .arg(e)
                           .arg(40 + 55 * (1 - std::exp(-e / 3.0)) + 2 * delta + p)
                           .arg(0.5 + 0.4 * e * (1 + delta) + 0.3 * p)
                           .arg(45 - 2.0 * e * (1 + 0.2 * delta) - p);
            }
    return csv;
}

}  // namespace tesora::testing
