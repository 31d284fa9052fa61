#include "python/Compress.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "cli/DataText.h"
#include "matrix/Numbers.h"
#include "python/Arguments.h"
#include "tools/Reduction.h"

namespace tesora::python {

using namespace pybind11::literals;

namespace {

py::object Get(const py::kwargs& settings, const char* key) {
    return settings.contains(key) ? py::reinterpret_borrow<py::object>(settings[key]) : py::object(py::none());
}

}  // namespace

py::dict Compress(const analysis::RedPicture& picture, const py::object& name, const py::kwargs& settings) {
    static const std::set<std::string> known = {"level", "delta", "position", "epsilon"};
    for (const auto& item : settings) {
        const std::string key = py::str(item.first).cast<std::string>();
        if (!known.count(key)) Refuse("compress() got an unexpected keyword argument '" + key + "'");
    }
    const py::object level = Get(settings, "level");
    if (level.is_none()) Refuse("compress() needs level");
    const int pictureLevel = analysis::PictureLevelOf(picture.width);
    const int L = ChooseLevel(level, py::none(), pictureLevel);
    const DeltaChoice delta = ChooseDelta(Get(settings, "delta"), Get(settings, "position"));
    const py::object epsilonArgument = Get(settings, "epsilon");
    std::optional<double> epsilon;
    if (!epsilonArgument.is_none()) epsilon = RequireNumber(epsilonArgument, "epsilon", 0.0, true);

    struct Figures {
        analysis::RowResult row;
    };
    const Figures figures = Unlocked([&] {
        analysis::PictureAnalysis analysis(picture, delta.delta, L);
        analysis::RowRequest request;
        // Without an Epsilon nothing is removed: no coefficient lies below 0.
        request.rule.epsilon = epsilon.value_or(0.0);
        return Figures{analysis.Row(request)};
    });
    const analysis::RowResult& row = figures.row;
    const double share = epsilon ? ReductionShare(row.rule.zeroCount, pictureLevel) : 0.0;
    const double ownShare = row.rule.ownDetails == 0 ? NAN
                                                     : static_cast<double>(row.rule.ownZeros) * 100.0 /
                                                           static_cast<double>(row.rule.ownDetails);
    // The labels as the window leaves them after the track bar went back to the
    // picture's level.
    const py::dict labels("lab_prozent"_a = FormatShare(share), "lab_fehler"_a = FormatG(row.quality.meanError),
                          "lab_delta"_a = "Delta: " + FormatG(delta.delta),
                          "lab_level"_a = "Level: " + FormatD(pictureLevel));
    return py::dict(
        "format"_a = cli::kDataFormat, "picture"_a = name, "width"_a = picture.width, "height"_a = picture.height,
        "picture_level"_a = pictureLevel, "level"_a = L, "transformed_rows"_a = analysis::TransformedRows(picture),
        "position"_a = delta.position ? py::object(py::int_(*delta.position)) : py::object(py::none()),
        "delta"_a = delta.delta,
        "epsilon"_a = epsilon ? Finite(*epsilon) : py::object(py::none()), "schranke"_a = 50.0,
        "zero_count"_a = epsilon ? row.rule.zeroCount : 0, "zero_share"_a = share,
        "own_zero_count"_a = static_cast<double>(row.rule.ownZeros),
        "own_detail_count"_a = static_cast<double>(row.rule.ownDetails), "own_zero_share"_a = Finite(ownShare),
        "mean_error"_a = row.quality.meanError, "psnr"_a = Finite(row.quality.psnr),
        "energy_kept"_a = Finite(row.quality.energyKept), "labels"_a = labels);
}

Proposal Propose(const analysis::RedPicture& picture, double schranke, int position) {
    // The working matrix as opening leaves it: the picture's square in the corner of the
    // 1025-square, zeros around it, which the difference picture of a tall picture reads.
    const analysis::Coefficients square = analysis::ReadPicture(picture);
    std::vector<double> matrix(static_cast<std::size_t>(kMaxSide) * kMaxSide, 0.0);
    for (int i = 0; i < square.side; ++i)
        std::copy_n(square.values.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(square.side),
                    square.side, matrix.data() + static_cast<std::size_t>(i) * kMaxSide);
    MemorySurface reduced(picture.width, picture.height);
    Proposal proposal;
    DifferencePicture(DifferenceKernel, {MatrixView{matrix.data(), static_cast<std::size_t>(kMaxSide), kMaxSide}, schranke, picture.width, picture.height},
                      reduced, proposal.sums);
    const double start = DeltaFromPosition(position);
    const double proposed = ProposedDelta(proposal.sums, start);
    proposal.label = " " + FormatG(proposed);
    proposal.position = PositionFromDelta(proposed);
    // The scroll bar's handler runs only when its position changes; it sets Delta anew.
    proposal.delta = proposal.position != position ? DeltaFromPosition(proposal.position) : proposed;
    proposal.shownDelta = DeltaFromPosition(proposal.position);
    return proposal;
}

}  // namespace tesora::python
