#include "report/Rates.h"

#include "report/DataText.h"
#include "report/NativeNames.h"

namespace tesora::report {

QJsonObject ToJson(const BestDeltaRun& run) {
    const analysis::BestDelta& b = run.best;
    return QJsonObject{{"picture", JsonName(run.picture)},
                       {"width", run.width},
                       {"height", run.height},
                       {"picture_level", run.pictureLevel},
                       {"level", run.level},
                       {"bpp", run.bpp},
                       {"rule", run.rule},
                       {"best_delta", b.bestDelta},
                       {"best_psnr", JsonNumber(b.bestPsnr)},
                       {"delta0_psnr", JsonNumber(b.delta0Psnr)},
                       {"proposal_delta", b.proposalDelta},
                       {"proposal_psnr", JsonNumber(b.proposalPsnr)},
                       {"regret_db", JsonNumber(b.regretDb)}};
}

}  // namespace tesora::report
