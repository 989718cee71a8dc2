#pragma once

// The weak-spot drill's choice of notes: from the practice history, how
// weak each note is now, and a draw that favours the weak ones while every
// note still comes now and then. docs/weak-spots.md explains the rule.

#include "history/History.h"

#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

namespace history {

struct WeakSpotRule {
    double halfLifeDays = 7;     // an answer this old counts half
    double fastMs = 800;         // a right answer this quick shows no weakness
    double slowMs = 3000;        // one this slow counts half a mistake
    double unseenWeakness = 0.3; // what a note never asked is taken for
    double floor = 0.1;          // every note's least weight in the draw
};

// How weak each of `pitches` is at `nowMs` (0 well known .. 1 always
// missed), from the answers about single notes among `answers` (questions
// of one pitch); answers about other pitches are ignored.
std::map<int, double> weaknessOf(const std::vector<AnswerRow>& answers,
                                 const std::vector<int>& pitches, std::int64_t nowMs,
                                 const WeakSpotRule& rule = {});

// The same, from answers handed over one at a time (each a question of the
// one note `pitch`).
class WeaknessTally {
public:
    WeaknessTally(const std::vector<int>& pitches, std::int64_t nowMs,
                  const WeakSpotRule& rule = {});
    void add(std::int64_t whenMs, int pitch, Outcome outcome, std::int32_t responseMs);
    std::map<int, double> weakness() const;

private:
    std::int64_t nowMs_;
    WeakSpotRule rule_;
    std::map<int, std::pair<double, double>> sums_; // pitch: (weighted misses, weights)
};

// Draws notes from `pitches` with weight floor + weakness.
class WeakSpotDraw {
public:
    WeakSpotDraw(const std::map<int, double>& weakness, std::uint32_t seed,
                 const WeakSpotRule& rule = {});
    int next();

private:
    std::vector<int> pitches_;
    std::discrete_distribution<std::size_t> pick_;
    std::mt19937 random_;
};

} // namespace history
