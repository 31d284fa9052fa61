#include "python/Compress.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "matrix/Numbers.h"
#include "python/Arguments.h"
#include "report/DataText.h"
#include "report/Figures.h"
#include "tools/Reduction.h"

namespace tesora::python {

using namespace pybind11::literals;

namespace {

py::object Get(const py::kwargs& settings, const char* key) {
    return settings.contains(key) ? py::reinterpret_borrow<py::object>(settings[key]) : py::object(py::none());
}

}  // namespace

py::dict Compress(const analysis::RedPicture& picture, const py::object& name, const py::kwargs& keywords) {
    static const std::set<std::string> known = {"level", "steps", "delta", "position", "epsilon",
                                                "zeros", "rule", "epsilons", "quantise"};
    for (const auto& item : keywords) {
        const std::string key = py::str(item.first).cast<std::string>();
        if (!known.count(key)) Refuse("compress() got an unexpected keyword argument '" + key + "'");
    }
    const int pictureLevel = analysis::PictureLevelOf(picture.width);
    const py::object level = Get(keywords, "level"), steps = Get(keywords, "steps");
    if (level.is_none() && steps.is_none()) Refuse("compress() needs level or steps");
    report::CompressSettings settings;
    settings.level = ChooseLevel(level, steps, pictureLevel);
    if (!steps.is_none()) settings.steps = pictureLevel - settings.level;
    const DeltaChoice delta = ChooseDelta(Get(keywords, "delta"), Get(keywords, "position"));
    settings.position = delta.position;
    if (!delta.position) settings.rawDelta = delta.delta;

    const py::object ruleName = Get(keywords, "rule");
    const analysis::RuleKind kind = RuleKindOf(ruleName.is_none() ? "flat" : ruleName.cast<std::string>());
    settings.rule.kind = static_cast<int>(kind);
    settings.rule.text = ruleName.is_none() ? "flat" : QString::fromStdString(ruleName.cast<std::string>());
    const py::object epsilon = Get(keywords, "epsilon"), zeros = Get(keywords, "zeros");
    const py::object epsilons = Get(keywords, "epsilons");
    if (kind == analysis::RuleKind::Levels) {
        if (!epsilon.is_none() || !zeros.is_none())
            Refuse("the rule \"levels\" takes epsilons, one per step, not epsilon or zeros");
        if (epsilons.is_none()) Refuse("the rule \"levels\" needs epsilons, one per step");
        QStringList texts;
        const auto count = static_cast<std::size_t>(pictureLevel - settings.level);
        for (const py::handle& e : py::iter(epsilons)) {
            settings.rule.epsilons.push_back(RequireNumber(e, "epsilons", 0.0, true));
            texts << report::Shortest(settings.rule.epsilons.back());
            if (settings.rule.epsilons.size() > count) break;  // an endless iterator ends here
        }
        if (settings.rule.epsilons.size() != count)
            Refuse("epsilons must hold " + std::to_string(count) + " values (one per step, coarsest first), got " +
                   std::to_string(settings.rule.epsilons.size()));
        // The text the command line would show for the same values.
        settings.rule.text = "levels:" + texts.join(QLatin1Char(','));
    } else {
        if (!epsilons.is_none()) Refuse("epsilons belongs to the rule \"levels\"");
        if (!epsilon.is_none() && !zeros.is_none()) Refuse("give epsilon or zeros, not both");
    }
    std::optional<QString> epsilonText;
    // The shortest text that reads back as the same double: the box reads exactly it.
    if (!epsilon.is_none()) epsilonText = report::Shortest(RequireNumber(epsilon, "epsilon", 0.0, true));
    if (!zeros.is_none()) {
        const double z = RequireNumber(zeros, "zeros", 0.0, false);
        if (!(z > 0.0 && z <= 100.0)) Refuse("zeros is a share in percent, above 0 and at most 100, got " + FormatG(z));
        settings.zeros = z;
    }
    const py::object quantise = Get(keywords, "quantise");
    if (!quantise.is_none()) {
        const double q = RequireNumber(quantise, "quantise", 0.0, false);
        if (!(q > 0.0)) Refuse("quantise must be above 0");
        settings.quantise = q;
    }
    settings.epsilon = epsilonText;

    const QString path = name.is_none() ? QString() : QString::fromStdString(name.cast<std::string>());
    const QByteArray json = Unlocked([&] {
        analysis::PictureAnalysis analysis(picture, delta.delta, settings.level);
        const report::CompressResult result =
            report::AnalyseRow(analysis, report::BaseResult(path, analysis, settings), settings,
                               report::RowAsked{settings.epsilon, settings.zeros}, true);
        QJsonObject document = report::ToJson(result);
        document.insert(QStringLiteral("format"), report::kDataFormat);
        return QJsonDocument(document).toJson(QJsonDocument::Compact);
    });
    // The command-line tool's document, read as Python reads that tool's output.
    py::dict fields = py::module_::import("json").attr("loads")(py::str(json.constData(), static_cast<std::size_t>(json.size())));
    if (name.is_none()) fields["picture"] = py::none();
    return fields;
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
