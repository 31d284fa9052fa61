#include "python/Rates.h"

#include <QJsonDocument>
#include <algorithm>
#include <functional>
#include <string>
#include <thread>

#include "python/Arguments.h"
#include "report/Rates.h"
#include "tools/BestDelta.h"

namespace tesora::python {
namespace {

using namespace pybind11::literals;

// The JSON document's fields, read as Python reads the command-line tool's output.
py::dict FromJson(const QJsonObject& object) {
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return py::module_::import("json").attr("loads")(py::str(json.constData(), static_cast<std::size_t>(json.size())));
}

py::dict BestDeltaDict(const py::object& picture, const py::object& name, const py::object& bpp,
                       const std::string& rule, const py::object& level, const py::object& steps,
                       const py::object& progress) {
    analysis::RedPicture red = PictureFrom(picture);
    report::BestDeltaRun run;
    run.bpp = RequireNumber(bpp, "bpp", 0.0, false);
    if (!(run.bpp > 0)) Refuse("bpp must be above 0");
    if (rule != "flat" && rule != "norm") Refuse("rule must be \"flat\" or \"norm\", got \"" + rule + "\"");
    run.rule = QString::fromStdString(rule);
    run.picture = name.is_none() ? QString() : QString::fromStdString(name.cast<std::string>());
    run.width = red.width;
    run.height = red.height;
    run.pictureLevel = analysis::PictureLevelOf(red.width);
    // Five steps down unless told otherwise, as the command-line tool, but not below 2.
    run.level = level.is_none() && steps.is_none() ? std::max(2, run.pictureLevel - 5)
                                                   : ChooseLevel(level, steps, run.pictureLevel);
    analysis::BestDeltaRequest request;
    request.bpp = run.bpp;
    request.rule = rule == "norm" ? analysis::RuleKind::Norm : analysis::RuleKind::Flat;
    request.level = run.level;
    request.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // How far the search is, told to `progress(done, total)` when given; a failure to tell is no failure of the search.
    std::function<void(int, int)> told;
    if (!progress.is_none())
        told = [&progress](int done, int total) {
            const py::gil_scoped_acquire locked;
            try {
                progress(done, total);
            } catch (const py::error_already_set&) {
            }
        };
    run.best = Unlocked([&] { return analysis::FindBestDeltaFor(red, request, told); });
    py::dict fields = FromJson(report::ToJson(run));
    if (name.is_none()) fields["picture"] = py::none();
    return fields;
}

}  // namespace

void BindRates(py::module_& m) {
    m.def("best_delta", &BestDeltaDict, "picture"_a, "name"_a, py::kw_only(), "bpp"_a, "rule"_a = "flat",
          "level"_a = py::none(), "steps"_a = py::none(), "progress"_a = py::none());
}

}  // namespace tesora::python
