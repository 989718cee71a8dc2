#include "history/WeakSpots.h"

#include <algorithm>
#include <cmath>

namespace history {

namespace {

constexpr double MsPerDay = 86'400'000.0;

// 1 for a miss; for a right answer, half a miss at slowMs and beyond,
// nothing at fastMs and below.
double missOf(const AnswerRow& a, const WeakSpotRule& rule)
{
    if (a.outcome != Outcome::Right)
        return 1.0;
    const double slowness = (a.responseMs - rule.fastMs) / (rule.slowMs - rule.fastMs);
    return 0.5 * std::clamp(slowness, 0.0, 1.0);
}

} // namespace

std::map<int, double> weaknessOf(const std::vector<AnswerRow>& answers,
                                 const std::vector<int>& pitches, std::int64_t nowMs,
                                 const WeakSpotRule& rule)
{
    // Starts from one answer's worth of the unseen weakness, so that a note
    // asked once is not judged on that answer alone.
    std::map<int, std::pair<double, double>> sums; // pitch: (weighted misses, weights)
    for (const int p : pitches)
        sums[p] = {rule.unseenWeakness, 1.0};
    for (const AnswerRow& a : answers) {
        if (a.questionPitches.size() != 1)
            continue;
        const auto it = sums.find(a.questionPitches.front());
        if (it == sums.end())
            continue;
        const double ageDays = std::max(0.0, static_cast<double>(nowMs - a.whenMs) / MsPerDay);
        const double weight = std::exp2(-ageDays / rule.halfLifeDays);
        it->second.first += weight * missOf(a, rule);
        it->second.second += weight;
    }
    std::map<int, double> weakness;
    for (const auto& [pitch, sum] : sums)
        weakness[pitch] = sum.first / sum.second;
    return weakness;
}

WeakSpotDraw::WeakSpotDraw(const std::map<int, double>& weakness, std::uint32_t seed,
                           const WeakSpotRule& rule)
    : random_(seed)
{
    std::vector<double> weights;
    for (const auto& [pitch, w] : weakness) {
        pitches_.push_back(pitch);
        weights.push_back(rule.floor + w);
    }
    pick_ = std::discrete_distribution<std::size_t>(weights.begin(), weights.end());
}

int WeakSpotDraw::next() { return pitches_.empty() ? -1 : pitches_[pick_(random_)]; }

} // namespace history
