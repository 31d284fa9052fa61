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
#include "tools/Bases.h"
#include "tools/BestDelta.h"
#include "tools/Reduction.h"

namespace tesora::python {

using namespace pybind11::literals;

namespace {

py::object Get(const py::kwargs& settings, const char* key) {
    return settings.contains(key) ? py::reinterpret_borrow<py::object>(settings[key]) : py::object(py::none());
}

}  // namespace

void RefuseBadRule(const analysis::RuleAsked& asked, std::optional<int> steps) {
    switch (analysis::CheckRule(asked, steps)) {
        case analysis::RuleProblem::None: return;
        case analysis::RuleProblem::LevelsWithEpsilon:
        case analysis::RuleProblem::LevelsWithZeros:
            Refuse("the rule \"levels\" takes epsilons, one per step, not epsilon or zeros");
        case analysis::RuleProblem::LevelsWithoutList: Refuse("the rule \"levels\" needs epsilons, one per step");
        case analysis::RuleProblem::WrongListLength:
            Refuse("epsilons must hold " + std::to_string(steps.value_or(0)) +
                   " values (one per step, coarsest first), got " + std::to_string(asked.epsilons.value_or(0)));
        case analysis::RuleProblem::ListWithoutLevels: Refuse("epsilons belongs to the rule \"levels\"");
        case analysis::RuleProblem::EpsilonAndZeros:
            if (asked.oneRequired) Refuse("give exactly one of epsilon and zeros");
            Refuse("give epsilon or zeros, not both");
        case analysis::RuleProblem::NeitherEpsilonNorZeros: Refuse("give exactly one of epsilon and zeros");
    }
}

std::vector<double> LevelEpsilons(const py::object& epsilons, int steps, analysis::RuleAsked asked) {
    std::vector<double> values;
    // One value more than the steps is enough to refuse: an endless iterator ends there.
    for (const py::handle& e : py::iter(epsilons)) {
        values.push_back(RequireNumber(e, "epsilons", 0.0, true));
        if (values.size() > static_cast<std::size_t>(steps)) break;
    }
    asked.epsilons = values.size();
    RefuseBadRule(asked, steps);
    return values;
}

namespace {

// The rule, its Epsilon or target and the quantisation step, checked into `settings`.
void ReadRuleKeywords(const py::kwargs& keywords, int pictureLevel, report::CompressSettings& settings) {
    const py::object ruleName = Get(keywords, "rule");
    const analysis::RuleKind kind = RuleKindOf(ruleName.is_none() ? "flat" : ruleName.cast<std::string>());
    settings.rule.kind = kind;
    settings.rule.text = ruleName.is_none() ? "flat" : QString::fromStdString(ruleName.cast<std::string>());
    const py::object epsilon = Get(keywords, "epsilon"), zeros = Get(keywords, "zeros");
    const py::object epsilons = Get(keywords, "epsilons");
    analysis::RuleAsked asked{kind, !epsilon.is_none(), !zeros.is_none(), std::nullopt, false};
    if (!epsilons.is_none()) asked.epsilons = 0;  // counted once read
    RefuseBadRule(asked, std::nullopt);
    if (kind == analysis::RuleKind::Levels) {
        settings.rule.epsilons = LevelEpsilons(epsilons, pictureLevel - settings.level, asked);
        // The text the command line would show for the same values.
        QStringList texts;
        for (const double e : settings.rule.epsilons) texts << report::Shortest(e);
        settings.rule.text = "levels:" + texts.join(QLatin1Char(','));
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
    const py::object bpp = Get(keywords, "bpp");
    if (!bpp.is_none()) {
        if (settings.quantise) Refuse("give quantise or bpp, not both");
        const double rate = RequireNumber(bpp, "bpp", 0.0, false);
        if (!(rate > 0.0)) Refuse("bpp must be above 0");
        settings.bpp = rate;
    }
    const py::object synthesis = Get(keywords, "synthesis");
    if (!synthesis.is_none()) settings.synthesis = SynthesisArgument(TextArgument(synthesis, "synthesis"));
    settings.epsilon = epsilonText;
}

// The basis and the padding; Delta, the padding and the synthesis belong to BLaC.
void ReadBasisKeywords(const py::kwargs& keywords, report::CompressSettings& settings) {
    const py::object basis = Get(keywords, "basis");
    if (!basis.is_none()) settings.basis = BasisArgument(TextArgument(basis, "basis"));
    if (settings.basis != Basis::Blac)
        for (const char* key : {"delta", "position", "synthesis"})
            if (!Get(keywords, key).is_none())
                Refuse(std::string(key) + " belongs to BLaC, not to the basis \"" + BasisName(settings.basis) + "\"");
    settings.mirror = PaddingArgument(Get(keywords, "padding"), settings.basis) == analysis::Padding::Mirror;
}

}  // namespace

analysis::Padding PaddingArgument(const py::object& padding, Basis basis) {
    if (padding.is_none()) return analysis::Padding::Zero;
    const std::string name = TextArgument(padding, "padding");
    const std::optional<analysis::Padding> parsed = analysis::ParsePadding(name);
    if (!parsed) Refuse("padding must be \"zero\" or \"mirror\", not \"" + name + "\"");
    if (*parsed == analysis::Padding::Mirror && basis != Basis::Blac) Refuse("padding \"mirror\" belongs to BLaC");
    return *parsed;
}

py::dict Compress(const analysis::RedPicture& picture, const py::object& name, const py::kwargs& keywords) {
    static const std::set<std::string> known = {"level", "steps", "delta",    "position", "epsilon",
                                                "zeros", "rule",  "epsilons", "quantise", "synthesis",
                                                "bpp",   "basis", "padding"};
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

    ReadRuleKeywords(keywords, pictureLevel, settings);
    ReadBasisKeywords(keywords, settings);

    const QString path = name.is_none() ? QString() : QString::fromStdString(name.cast<std::string>());
    const QByteArray json = Unlocked([&] {
        analysis::AnalysisOptions options;
        options.basis = settings.basis;
        options.padding = settings.mirror ? analysis::Padding::Mirror : analysis::Padding::Zero;
        analysis::PictureAnalysis analysis(picture, delta.delta, settings.level, nullptr, nullptr, settings.synthesis,
                                           options);
        const report::CompressResult result =
            report::AnalyseRow(analysis, report::BaseResult(path, analysis, settings), settings,
                               report::RowAsked{settings.epsilon, settings.zeros}, true);
        QJsonObject document = report::ToJson(result);
        document.insert(QStringLiteral("format"), report::kDataFormat);
        return QJsonDocument(document).toJson(QJsonDocument::Compact);
    });
    // The command-line tool's document, read as Python reads that tool's output.
    py::dict fields =
        py::module_::import("json").attr("loads")(py::str(json.constData(), static_cast<std::size_t>(json.size())));
    if (name.is_none()) fields["picture"] = py::none();
    return fields;
}

Proposal Propose(const analysis::RedPicture& picture, double schranke, int position) {
    Proposal proposal;
    proposal.sums = analysis::OpeningDifferenceSums(picture, schranke);
    const DeltaProposal proposed = ProposalOf(proposal.sums, DeltaFromPosition(position), position);
    proposal.label = proposed.label;
    proposal.position = proposed.position;
    proposal.delta = proposed.delta;
    proposal.shownDelta = DeltaFromPosition(proposal.position);
    return proposal;
}

}  // namespace tesora::python
