#include "history/WeakSpots.h"

#include <algorithm>
#include <cmath>

namespace history {

namespace {

constexpr double MsPerDay = 86'400'000.0;

// 1 for a miss; for a right answer, half a miss at slowMs and beyond,
// nothing at fastMs and below.
double missOf(Outcome outcome, std::int32_t responseMs, const WeakSpotRule& rule)
{
    if (outcome != Outcome::Right)
        return 1.0;
    const double slowness = (responseMs - rule.fastMs) / (rule.slowMs - rule.fastMs);
    return 0.5 * std::clamp(slowness, 0.0, 1.0);
}

} // namespace

WeaknessTally::WeaknessTally(const std::vector<int>& pitches, std::int64_t nowMs,
                             const WeakSpotRule& rule)
    : nowMs_(nowMs),
      rule_(rule)
{
    // Starts from one answer's worth of the unseen weakness, so that a note
    // asked once is not judged on that answer alone.
    for (const int p : pitches)
        sums_[p] = {rule.unseenWeakness, 1.0};
}

void WeaknessTally::add(std::int64_t whenMs, int pitch, Outcome outcome, std::int32_t responseMs)
{
    const auto it = sums_.find(pitch);
    if (it == sums_.end())
        return;
    const double ageDays = std::max(0.0, static_cast<double>(nowMs_ - whenMs) / MsPerDay);
    const double weight = std::exp2(-ageDays / rule_.halfLifeDays);
    it->second.first += weight * missOf(outcome, responseMs, rule_);
    it->second.second += weight;
}

std::map<int, double> WeaknessTally::weakness() const
{
    std::map<int, double> weakness;
    for (const auto& [pitch, sum] : sums_)
        weakness[pitch] = sum.first / sum.second;
    return weakness;
}

std::map<int, double> weaknessOf(const std::vector<AnswerRow>& answers,
                                 const std::vector<int>& pitches, std::int64_t nowMs,
                                 const WeakSpotRule& rule)
{
    WeaknessTally tally(pitches, nowMs, rule);
    for (const AnswerRow& a : answers)
        if (a.questionPitches.size() == 1)
            tally.add(a.whenMs, a.questionPitches.front(), a.outcome, a.responseMs);
    return tally.weakness();
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
