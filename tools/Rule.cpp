#include "tools/Rule.h"

namespace tesora::analysis {

RuleProblem CheckRule(const RuleAsked& asked, std::optional<int> steps) {
    if (asked.kind == RuleKind::Levels) {
        if (asked.epsilon) return RuleProblem::LevelsWithEpsilon;
        if (asked.zeros) return RuleProblem::LevelsWithZeros;
        if (!asked.epsilons) return RuleProblem::LevelsWithoutList;
        if (steps && *asked.epsilons != static_cast<std::size_t>(*steps)) return RuleProblem::WrongListLength;
        return RuleProblem::None;
    }
    if (asked.epsilons) return RuleProblem::ListWithoutLevels;
    if (asked.epsilon && asked.zeros) return RuleProblem::EpsilonAndZeros;
    if (asked.oneRequired && !asked.epsilon && !asked.zeros) return RuleProblem::NeitherEpsilonNorZeros;
    return RuleProblem::None;
}

}  // namespace tesora::analysis
