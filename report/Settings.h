#pragma once
// What one compress run is asked, by the command line's options or the module's keywords.
// Both faces fill the same settings, so their figures cannot drift apart.
#include <QString>
#include <optional>
#include <vector>

#include "mra/BasisFunctions.h"
#include "mra/Lifting.h"
#include "tools/Rule.h"

namespace tesora::report {

// A threshold rule as --rule names it.
struct RuleOption {
    QString text = QStringLiteral("flat");
    analysis::RuleKind kind = analysis::RuleKind::Flat;
    std::vector<double> epsilons;
};

struct CompressSettings {
    int level = 0;                               // --level, or
    std::optional<int> steps;                    // levels below each picture's own
    RuleOption rule;                             // flat unless --rule
    std::optional<double> zeros;                 // compress --zeros: a target share of own zeros
    std::optional<double> quantise;              // --quantise Q, or
    std::optional<double> bpp;                   // --bpp B: the step that meets the rate
    Basis basis = Basis::Blac;                   // --basis
    bool mirror = false;                         // --padding mirror (BLaC only)
    Synthesis synthesis = Synthesis::Specified;  // --synthesis
    std::optional<int> position;                 // the Delta scroll bar, or
    std::optional<double> rawDelta;              // a Delta set directly
    std::optional<QString> epsilon;              // the Epsilon combo box's text; "Reduce" only if set
    // Only the command line's road writes pictures or scales a picture down.
    QString approximation;  // output paths, empty for none
    QString coefficients;
    QString reconstruction;
    bool fit = false;  // scale a too large picture down to fit
};

}  // namespace tesora::report
