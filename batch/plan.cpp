#include "batch/plan.h"

namespace dla {

std::vector<RunPlan> planRuns(const Plan& plan) {
    std::vector<RunPlan> plans;
    const Shard& shard = plan.shard;
    plans.reserve(static_cast<std::size_t>(shard.runsOf(plan.totalRuns())));
    std::int64_t index = 0;
    for (const std::int32_t size : plan.sizes) {
        for (std::int64_t k = 0; k < plan.runs; ++k, ++index) {
            if (!shard.holds(index)) continue;
            RunPlan run{index, size, std::nullopt};
            if (plan.seed) run.seed = *plan.seed + static_cast<std::uint64_t>(index);
            plans.push_back(run);
        }
    }
    return plans;
}

std::string unplanned(const Plan& plan, const RunPlan& run, const RunSettings& settings) {
    const auto index = static_cast<std::uint64_t>(run.index);
    if (run.size != plan.sizes[static_cast<std::size_t>(run.index / plan.runs)])
        return "has a size its plan gives another run";
    if (run.seed != (plan.seed ? std::optional(*plan.seed + index) : std::nullopt))
        return "has a seed its plan does not give it";
    if (settings.jumpKillFactor() != plan.growth.jumpKillFactor())
        return "has a kill factor its plan does not give it";
    if (settings.particles != plan.growth.particles)
        return "has a particle limit its plan does not give it";
    return "";
}

RunSettings runSettings(const RunPlan& run, const RunSettings& growth) {
    RunSettings settings = growth;
    settings.size = run.size == kNoSize ? std::nullopt : std::optional(run.size);
    settings.seed = run.seed;
    return settings;
}

}  // namespace dla
