#pragma once
// "compress" and "propose" on values: the figures of the command-line tool's JSON
// documents, for a picture the caller owns.
#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/Analysis.h"
#include "tools/DeltaProposal.h"

namespace tesora::python {

namespace py = pybind11;

// The fields of `tesora-cli compress --json` for the picture; `name` is its "picture"
// field (the path, or None for an array). `settings` are compress()'s keywords.
py::dict Compress(const analysis::RedPicture& picture, const py::object& name, const py::kwargs& settings);

// The padding keyword ("zero" or "mirror"; None is zero); mirroring belongs to BLaC.
analysis::Padding PaddingArgument(const py::object& padding, Basis basis);

// Refuses a rule asked wrongly, in the module's words (analysis::CheckRule decides).
void RefuseBadRule(const analysis::RuleAsked& asked, std::optional<int> steps);
// The levels rule's Epsilons, read and counted against `steps`.
std::vector<double> LevelEpsilons(const py::object& epsilons, int steps, analysis::RuleAsked asked);

// "Calc Delta" on the freshly opened picture with the scroll bar at `position`.
struct Proposal {
    DifferenceSums sums;
    int position = 0;         // where the scroll bar ends
    double delta = 0.0;       // Delta afterwards
    std::string label;        // the proposal's label
    double shownDelta = 0.0;  // the Delta label: the scroll bar's last change set it
};
Proposal Propose(const analysis::RedPicture& picture, double schranke, int position);

}  // namespace tesora::python
