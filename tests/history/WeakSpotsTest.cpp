#include "history/WeakSpots.h"

#include <gtest/gtest.h>

namespace history {
namespace {

constexpr std::int64_t Now = 1'773'000'000'000;
constexpr std::int64_t Day = 86'400'000;

AnswerRow answer(int pitch, Outcome outcome, std::int32_t ms, std::int64_t daysAgo)
{
    AnswerRow a;
    a.whenMs = Now - daysAgo * Day;
    a.exercise = "notes-in-c";
    a.questionPitches = {pitch};
    a.outcome = outcome;
    a.responseMs = ms;
    return a;
}

// How often each note comes in 20,000 draws.
std::map<int, int> drawn(const std::vector<AnswerRow>& history, const std::vector<int>& notes)
{
    WeakSpotDraw draw(weaknessOf(history, notes, Now), 12345);
    std::map<int, int> counts;
    for (const int p : notes)
        counts[p] = 0;
    for (int i = 0; i < 20'000; ++i)
        ++counts[draw.next()];
    return counts;
}

TEST(WeakSpots, SeededHistoriesGiveTheFrequenciesTheRuleExplains)
{
    const std::vector<int> notes = {60, 62, 64, 65};
    std::vector<AnswerRow> history;
    for (int i = 0; i < 10; ++i) {
        history.push_back(answer(60, Outcome::Wrong, 2000, 1));  // missed lately
        history.push_back(answer(62, Outcome::Right, 600, 1));   // known, quick
        history.push_back(answer(64, Outcome::Right, 3500, 1));  // known, slow
        history.push_back(answer(65, Outcome::Wrong, 2000, 90)); // missed long ago...
        history.push_back(answer(65, Outcome::Right, 600, 2));   // ...known now
    }
    const std::map<int, int> n = drawn(history, notes);
    EXPECT_GT(n.at(60), 5 * n.at(62)) << "a note missed lately comes far more often";
    EXPECT_GT(n.at(62), 200) << "a known note still comes now and then";
    EXPECT_GT(n.at(64), 2 * n.at(62)) << "slow counts against a note";
    EXPECT_LT(n.at(65), 2 * n.at(62)) << "old mistakes count little";
    const std::map<int, double> w = weaknessOf(history, notes, Now);
    EXPECT_GT(w.at(60), 0.9);
    EXPECT_LT(w.at(62), 0.05);
}

TEST(WeakSpots, WithoutHistoryEveryNoteComesAlike)
{
    const std::vector<int> notes = {48, 50, 52, 53, 55};
    const std::map<int, int> n = drawn({}, notes);
    for (const int p : notes)
        EXPECT_NEAR(n.at(p), 4000, 300) << p;
}

TEST(WeakSpots, AnswersAboutOtherQuestionsAreLeftOut)
{
    AnswerRow chord = answer(60, Outcome::Wrong, 2000, 0);
    chord.questionPitches = {60, 64, 67};
    const std::map<int, double> w =
        weaknessOf({chord, answer(72, Outcome::Wrong, 2000, 0)}, {60, 62}, Now);
    EXPECT_DOUBLE_EQ(w.at(60), WeakSpotRule{}.unseenWeakness);
    EXPECT_DOUBLE_EQ(w.at(62), WeakSpotRule{}.unseenWeakness);
    EXPECT_EQ(w.size(), 2u);
}

} // namespace
} // namespace history
