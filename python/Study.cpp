#include "python/Study.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>
#include <string>
#include <vector>

#include "blac/DeltaControl.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "python/Arguments.h"
#include "report/Figures.h"
#include "report/NativeNames.h"

namespace tesora::python {
namespace {

using namespace pybind11::literals;

// The sweep table's columns, and the three that tell a study's rows apart beside them.
constexpr const char* kRowFields[] = {
    "picture",    "level",          "position",    "delta",     "epsilon",          "schranke",
    "zero_share", "own_zero_share", "mean_error",  "psnr",      "energy_kept",      "floor_mean_error",
    "floor_psnr", "psnr_exact",     "entropy_bpp", "synthesis", "floor_psnr_exact", "coded_count",
    "basis",      "quantise",       "bpp"};

std::vector<double> Rates(const py::object& values, const char* name) {
    std::vector<double> rates;
    if (values.is_none()) return rates;
    for (const py::handle& v : py::iter(values)) {
        const double rate = RequireNumber(v, name, 0.0, false);
        if (!(rate > 0.0)) Refuse(std::string(name) + " values must be above 0, got " + FormatG(rate));
        rates.push_back(rate);
    }
    if (rates.empty()) Refuse(std::string(name) + " is empty");
    return rates;
}

// A picture at one Delta (or scroll position) or with one basis: one row per quantiser
// step or rate, or one row without quantising when neither is given.
py::list StudyTask(const py::object& picture, const py::object& name, const py::object& delta,
                   const py::object& position, const std::string& basisName, const py::object& level,
                   const py::object& steps, const std::string& rule, const std::string& synthesis,
                   const py::object& quantise, const py::object& bpp) {
    const analysis::RedPicture red =
        IsPath(picture) ? ReadPictureFile(PathBytes(picture, "picture path")) : PictureFrom(picture);
    report::CompressSettings settings;
    settings.basis = BasisArgument(basisName);
    settings.rule.kind = RuleKindOf(rule);
    if (settings.rule.kind == analysis::RuleKind::Levels) Refuse("a study takes the rule \"flat\" or \"norm\"");
    settings.rule.text = QString::fromStdString(rule);
    settings.synthesis = SynthesisArgument(synthesis);
    const DeltaChoice choice = ChooseDelta(delta, position);
    settings.position = choice.position;
    const int pictureLevel = analysis::PictureLevelOf(red.width);
    settings.level = ChooseLevel(level, steps, pictureLevel);
    if (!steps.is_none()) settings.steps = pictureLevel - settings.level;
    const std::vector<double> quantiseSteps = Rates(quantise, "quantise"), targets = Rates(bpp, "bpp");
    if (!quantiseSteps.empty() && !targets.empty()) Refuse("give quantise or bpp, not both");
    // Any name the system has, UTF-8 or not; the rows give it back as it came.
    const QString path =
        name.is_none() ? QString() : report::DecodeName(QByteArray::fromStdString(PathBytes(name, "picture path")));

    const QByteArray json = Unlocked([&] {
        analysis::AnalysisOptions options;
        options.basis = settings.basis;
        analysis::PictureAnalysis analysis(red, choice.delta, settings.level, nullptr, nullptr, settings.synthesis,
                                           options);
        QJsonArray rows;
        const auto row = [&](std::optional<double> q, std::optional<double> b) {
            settings.quantise = q;
            settings.bpp = b;
            rows.append(report::ToJson(
                report::AnalyseRow(analysis, report::BaseResult(path, analysis, settings), settings, {}, false)));
        };
        for (const double q : quantiseSteps) row(q, std::nullopt);
        for (const double b : targets) row(std::nullopt, b);
        if (quantiseSteps.empty() && targets.empty()) row(std::nullopt, std::nullopt);
        return QJsonDocument(rows).toJson(QJsonDocument::Compact);
    });
    const py::list documents =
        py::module_::import("json").attr("loads")(py::str(json.constData(), static_cast<std::size_t>(json.size())));
    py::list rows;
    for (const py::handle& document : documents) {
        py::dict row;
        for (const char* field : kRowFields) row[field] = document[field];
        row["picture"] = name;
        rows.append(row);
    }
    return rows;
}

}  // namespace

void BindStudy(py::module_& m) {
    m.def("_study_task", &StudyTask, "picture"_a, "name"_a, py::kw_only(), "delta"_a, "position"_a, "basis"_a,
          "level"_a, "steps"_a, "rule"_a, "synthesis"_a, "quantise"_a, "bpp"_a);
    // A pool's worker shares the machine's cores with the other workers.
    m.def("_set_transform_threads", &SetTransformThreads, "threads"_a);
}

}  // namespace tesora::python
