#include "Soak.h"

#include "ShippedSprites.h"
#include "TempFolder.h"
#include "engine/testing/SessionProbe.h"
#include "engine/uSheetMusic.h"
#include "gfx/Image32.h"
#include "scores/uHighscore.h"

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>

namespace soak {
namespace {

// TESSALY_SOAK_SEED replays a seed another run printed.
std::uint64_t seedFromEnvironment(std::uint64_t fallback)
{
    const char* text = std::getenv("TESSALY_SOAK_SEED");
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

class Soak : public testsupport::TempFolder {
protected:
    SoakOptions options(int runsPerKind, std::uint64_t seed)
    {
        SoakOptions o;
        o.runsPerKind = runsPerKind;
        o.seed = seed;
        o.scoreFolder = folder;
        return o;
    }
};

TEST_F(Soak, EveryKindRunsToItsEndIdleAgainWithEveryQuestionScored)
{
    const SoakOptions o = options(3, seedFromEnvironment(20261210));
    const SoakFigures f = runSoak(o, testsupport::shippedSprites());
    SCOPED_TRACE(describe(f, o));
    ASSERT_TRUE(f.ok()) << f.failure;
    EXPECT_EQ(f.runs, 3 * ExerciseKinds);
    // The runs went through every way of answering, or the checks proved
    // less than they seem to.
    EXPECT_GT(f.mouseAnswers, 0);
    EXPECT_GT(f.midiAnswers, 0);
    EXPECT_GT(f.unanswered, 0);
    EXPECT_GT(f.scoredRight, 0);
    EXPECT_GT(f.scoredWrong, 0);
    EXPECT_GT(f.pauses, 0);
    EXPECT_GT(f.strayKeys, 0);
    EXPECT_GT(f.mixedAnswers, 0);
    EXPECT_GT(f.clicksIgnored, 0);
    EXPECT_GT(f.heldThroughExit, 0);
    EXPECT_GT(f.strayReleases, 0);
    EXPECT_GT(f.repeatedNoteOns, 0);
    EXPECT_GT(f.allNotesOff, 0);
    EXPECT_GT(f.resets, 0);
    EXPECT_GT(f.bestTimes, 0);
    EXPECT_GT(f.bestTimesRefused, 0);
    EXPECT_GT(f.ticks, f.questions);
    EXPECT_GT(f.events, f.ticks);
}

// A fault brought in after the first run must stop the soak there, named,
// with the seed and the run that replays it.
struct Fault {
    const char* name;
    std::function<void(engine::TSheetMusic&, gfx::TImage32&, const std::filesystem::path&)> make;
    const char* reported;
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class SoakCatches : public Soak, public ::testing::WithParamInterface<Fault> {};

TEST_P(SoakCatches, AFaultAfterTheFirstRun)
{
    SoakOptions o = options(1, 77);
    bool made = false;
    o.afterRun = [&](engine::TSheetMusic& session, gfx::TImage32& image) {
        if (!made)
            GetParam().make(session, image, folder);
        made = true;
    };
    const SoakFigures f = runSoak(o, testsupport::shippedSprites());
    ASSERT_FALSE(f.ok());
    EXPECT_EQ(f.runs, 0);
    EXPECT_NE(f.failure.find("seed 77, run 1 ("), std::string::npos) << f.failure;
    EXPECT_NE(f.failure.find(GetParam().reported), std::string::npos) << f.failure;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SoakCatches,
    ::testing::Values(
        Fault{"LeftALayer",
              [](engine::TSheetMusic&, gfx::TImage32& image, const std::filesystem::path&) {
                  image.addLayer();
              },
              "the staff's layer count is"},
        Fault{"StartedAgainAfterTheRun",
              [](engine::TSheetMusic& s, gfx::TImage32&, const std::filesystem::path&) { s.Go(); },
              "asked is 1"},
        Fault{"KeptTheAskedIndex",
              [](engine::TSheetMusic& s, gfx::TImage32&, const std::filesystem::path&) {
                  engine::SessionProbe::asked(s) = 7;
              },
              "asked is 7"},
        Fault{"LeftAnItemOnScreen",
              [](engine::TSheetMusic& s, gfx::TImage32&, const std::filesystem::path&) {
                  engine::SessionProbe::slot(s, 2, 9).onScreen = true;
              },
              "voice 2 of slot 9 still holds an item"},
        Fault{"CountedAnAnswerTwice",
              [](engine::TSheetMusic& s, gfx::TImage32&, const std::filesystem::path&) {
                  s.scores().updateCurrentScore(2, 11, 3, 1, 4, true);
                  s.scores().updateHighScore();
              },
              "answers added to"},
        Fault{"LostTheScoreFile",
              [](engine::TSheetMusic&, gfx::TImage32&, const std::filesystem::path& folder) {
                  std::ofstream(folder / scores::ScoreFileName, std::ios::binary | std::ios::trunc)
                      .write(std::string(scores::ScoreFileSize, '\0').data(),
                             static_cast<std::streamsize>(scores::ScoreFileSize));
              },
              "keyscore.dat read back differs"}),
    [](const ::testing::TestParamInfo<Fault>& row) { return std::string(row.param.name); });

// A fault brought in during a run must stop the soak at that event.
struct EventFault {
    const char* name;
    // Brings the fault in once it returns true.
    std::function<bool(SoakEvent, engine::TSheetMusic&)> make;
    int run; // the run it stops
    const char* reported;
};

void PrintTo(const EventFault& f, std::ostream* os) { *os << f.name; }

class SoakCatchesAtOnce : public Soak, public ::testing::WithParamInterface<EventFault> {};

TEST_P(SoakCatchesAtOnce, AFaultDuringARun)
{
    SoakOptions o = options(1, 77);
    bool made = false;
    o.afterEvent = [&](SoakEvent e, engine::TSheetMusic& session, gfx::TImage32&) {
        if (!made)
            made = GetParam().make(e, session);
    };
    const SoakFigures f = runSoak(o, testsupport::shippedSprites());
    ASSERT_TRUE(made);
    ASSERT_FALSE(f.ok());
    EXPECT_EQ(f.runs, GetParam().run - 1);
    EXPECT_NE(f.failure.find("seed 77, run " + std::to_string(GetParam().run) + " ("),
              std::string::npos)
        << f.failure;
    EXPECT_NE(f.failure.find(GetParam().reported), std::string::npos) << f.failure;
    EXPECT_NE(f.failure.find("the last events"), std::string::npos) << f.failure;
}

// A question being asked, well into the first run.
bool askedLater(SoakEvent e, const engine::TSheetMusic& s)
{
    return e == SoakEvent::Tick && s.running() && s.askedQuestion() >= 5;
}

void countAnswer(engine::TSheetMusic& s)
{
    s.scores().updateCurrentScore(s.modeIndex(), s.runKey(), s.clefIndex(), 1, 0, true);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SoakCatchesAtOnce,
    ::testing::Values(EventFault{"CountedAnAnswerNoQuestionGave",
                                 [](SoakEvent e, engine::TSheetMusic& s) {
                                     if (!askedLater(e, s))
                                         return false;
                                     countAnswer(s);
                                     return true;
                                 },
                                 1, "answers"},
                      EventFault{"AskedAQuestionNotOnTheStaff",
                                 [](SoakEvent e, engine::TSheetMusic& s) {
                                     if (!askedLater(e, s))
                                         return false;
                                     engine::SessionProbe::asked(s) = s.lastOnStaff() + 1;
                                     return true;
                                 },
                                 1, "on the staff"},
                      EventFault{"HidThePointer",
                                 [](SoakEvent e, engine::TSheetMusic& s) {
                                     if (!askedLater(e, s))
                                         return false;
                                     engine::SessionProbe::pointerMark(s, s.askedQuestion())
                                         .layer->setVisible(false);
                                     return true;
                                 },
                                 1, "but its pointer is not drawn"},
                      EventFault{"KeptAKeyThatCameUp",
                                 [](SoakEvent e, engine::TSheetMusic& s) {
                                     if (!askedLater(e, s))
                                         return false;
                                     engine::SessionProbe::heldKeys(s).set(100);
                                     return true;
                                 },
                                 1, "as held"},
                      EventFault{"WroteABestTimeMidRun",
                                 [](SoakEvent e, engine::TSheetMusic& s) {
                                     if (!askedLater(e, s))
                                         return false;
                                     s.scores().setCurrentBestTime(s.modeIndex(), s.runKey(),
                                                                   s.clefIndex(), 1);
                                     return true;
                                 },
                                 1, "the best time went from"},
                      EventFault{"KeptAnswersAfterReset",
                                 [](SoakEvent e, engine::TSheetMusic& s) {
                                     if (e != SoakEvent::Reset)
                                         return false;
                                     countAnswer(s);
                                     return true;
                                 },
                                 7, "after Reset the current table still holds answers"}),
    [](const ::testing::TestParamInfo<EventFault>& row) { return std::string(row.param.name); });

} // namespace
} // namespace soak
