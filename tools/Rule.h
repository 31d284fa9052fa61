#pragma once
// The threshold rules and the one check of how a rule is asked, which the command line
// and the module word each in their own language.
#include <cstddef>
#include <optional>
#include <vector>

namespace tesora::analysis {

enum class RuleKind { Flat, Norm, Levels };

// flat: |c| < epsilon, as "Reduce" does it; norm: |c| * w < epsilon with w the L2 norm of
// the coefficient's basis function; levels: |c| < epsilons[k - level], one Epsilon per
// step, coarsest first.
struct Rule {
    RuleKind kind = RuleKind::Flat;
    double epsilon = 0.0;          // flat and norm
    std::vector<double> epsilons;  // levels
};

// What came with a rule: one Epsilon, a target share of own zeros, a list of Epsilons
// (its length), and whether exactly one of Epsilon and target is required.
struct RuleAsked {
    RuleKind kind = RuleKind::Flat;
    bool epsilon = false;
    bool zeros = false;
    std::optional<std::size_t> epsilons;
    bool oneRequired = false;
};

enum class RuleProblem {
    None,
    LevelsWithEpsilon,  // levels brings its own Epsilons
    LevelsWithZeros,    // a target exists for flat and norm only
    LevelsWithoutList,
    WrongListLength,  // not one Epsilon per step
    ListWithoutLevels,
    EpsilonAndZeros,
    NeitherEpsilonNorZeros,
};

// The first thing wrong, in the order above; `steps` (levels between the picture's and
// the decomposition's) checks the list's length when known.
RuleProblem CheckRule(const RuleAsked& asked, std::optional<int> steps);

}  // namespace tesora::analysis
