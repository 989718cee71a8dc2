#include "Soak.h"

#include "engine/uSheetMusic.h"
#include "gfx/Image32.h"
#include "notation/uKey.h"
#include "notation/uMusicalStaff.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/NotifyTarget.h"
#include "platform/TextLabel.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/HistoryFree.h"
#include "scores/uHighscore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace soak {

namespace {

// splitmix64: the same numbers for a seed on every platform and library,
// so a seed printed on one machine replays on another.
class Rng {
public:
    explicit Rng(std::uint64_t seed)
        : state_(seed)
    {
    }
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // low..high, both included.
    int between(int low, int high)
    {
        const auto span = static_cast<std::uint64_t>(high - low + 1);
        return low + static_cast<int>(next() % span);
    }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <class T> void shuffle(std::vector<T>& v)
    {
        for (std::size_t i = v.size(); i > 1; --i)
            std::swap(v[i - 1], v[static_cast<std::size_t>(between(0, static_cast<int>(i - 1)))]);
    }

private:
    std::uint64_t state_;
};

// The stand-ins of the window's seams keep no history; see HistoryFree.h.
using platform::testing::CurrentTextLabel;
using platform::testing::SteppingClock;

// Keeps the first message shown; a question is answered No.
class FirstMessage final : public platform::MessageBoxes {
public:
    void showMessage(const std::string& text) override
    {
        if (first_.empty())
            first_ = text.empty() ? "(empty message)" : text;
    }
    bool askYesNo(const std::string& text) override
    {
        showMessage(text);
        return false;
    }
    const std::string& first() const { return first_; }

private:
    std::string first_;
};

// Notifications wait here until the soak, standing in for the GUI thread,
// runs them. post() comes from the keyboard's producer thread.
class QueuedTargets final : public platform::NotifyTargetFactory {
public:
    std::unique_ptr<platform::NotifyTarget> create(platform::NotifyHandler handler) override
    {
        auto target = std::make_unique<Target>(*this);
        const std::lock_guard lock(mutex_);
        handlers_.emplace_back(target.get(), std::move(handler));
        return target;
    }
    void drain()
    {
        for (;;) {
            platform::NotifyHandler handler;
            std::uint32_t message = 0;
            {
                const std::lock_guard lock(mutex_);
                if (queue_.empty())
                    return;
                const auto [target, m] = queue_.front();
                queue_.pop_front();
                const auto h = std::find_if(handlers_.begin(), handlers_.end(),
                                            [&](const auto& p) { return p.first == target; });
                if (h == handlers_.end())
                    continue;
                handler = h->second;
                message = m;
            }
            handler(message);
        }
    }
    std::size_t pending() const
    {
        const std::lock_guard lock(mutex_);
        return queue_.size();
    }

private:
    class Target final : public platform::NotifyTarget {
    public:
        explicit Target(QueuedTargets& owner)
            : owner_(owner)
        {
        }
        ~Target() override
        {
            const std::lock_guard lock(owner_.mutex_);
            std::erase_if(owner_.queue_, [this](const auto& e) { return e.first == this; });
            std::erase_if(owner_.handlers_, [this](const auto& h) { return h.first == this; });
        }
        void post(std::uint32_t message) override
        {
            const std::lock_guard lock(owner_.mutex_);
            owner_.queue_.emplace_back(this, message);
        }

    private:
        QueuedTargets& owner_;
    };

    mutable std::mutex mutex_;
    std::deque<std::pair<const Target*, std::uint32_t>> queue_;
    std::vector<std::pair<const Target*, platform::NotifyHandler>> handlers_;
};

class SoakFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RunArgs {
    std::int32_t key = 0;
    std::uint8_t clefSetting = 0;
    std::uint8_t kind = 0;
    engine::KindFilter intervals;
    engine::KindFilter chords;
    std::int32_t subKind = 0;
    std::int32_t countVariant = 0;
    std::uint8_t noteOption = 1;

    std::string text() const
    {
        const auto bits = [](const engine::KindFilter& f) {
            std::string s;
            for (std::size_t k = 0; k < f.size(); ++k)
                if (f.test(k))
                    s += (s.empty() ? "" : ",") + std::to_string(k);
            return "{" + s + "}";
        };
        std::ostringstream o;
        o << "kind " << int{kind} << ", key " << key << ", clef setting " << int{clefSetting}
          << ", intervals " << bits(intervals) << ", chords " << bits(chords) << ", subKind "
          << subKind << ", countVariant " << countVariant << ", noteOption " << int{noteOption};
        return o.str();
    }
};

// A random subset of low..high that holds at least one kind; now and then
// with a bit beyond the kinds, which the generators must never draw.
engine::KindFilter drawFilter(Rng& rng, int low, int high)
{
    engine::KindFilter f;
    const int wanted = rng.between(1, high - low + 1);
    for (int n = 0; n < wanted; ++n)
        f.set(static_cast<std::size_t>(rng.between(low, high)));
    if (rng.chance(10))
        f.set(static_cast<std::size_t>(rng.between(high + 1, 103)));
    if (rng.chance(10))
        f.set(0);
    return f;
}

RunArgs drawArgs(Rng& rng, std::uint8_t kind)
{
    RunArgs a;
    a.kind = kind;
    a.key = rng.between(0, notation::SignatureCount - 1);
    a.clefSetting = static_cast<std::uint8_t>(rng.between(0, 2));
    a.noteOption = static_cast<std::uint8_t>(rng.between(0, 1));
    if (kind == 2 || kind == 4)
        a.intervals = drawFilter(rng, 1, notation::IntervalKindCount);
    if (kind == 3 || kind == 4)
        a.chords = drawFilter(rng, 1, notation::ChordKindCount);
    if (kind == 5)
        a.subKind = rng.between(1, 8);
    if (kind == 6 || kind == 7)
        a.countVariant = rng.between(1, 2);
    return a;
}

enum class Plan : std::uint8_t {
    None,
    MouseRight,
    MouseWrong,
    MidiRight,
    MidiWrongKey,
    MidiWrongChord
};
enum class Verdict : std::uint8_t { Unanswered, Right, Wrong };

struct Question {
    bool planned = false;
    bool done = false;
    Plan plan = Plan::None;
    int delay = 0; // ticks to wait once asked
    Verdict verdict = Verdict::Unanswered;
    int units = 0; // score entries a verdict makes: one per scored voice
};

std::int64_t statusKb(const char* field)
{
#ifdef __linux__
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stoll(line.substr(prefix.size()));
#else
    (void)field;
#endif
    return 0;
}

std::int64_t tableTotal(const scores::ScoreTable& t)
{
    std::int64_t sum = 0;
    for (const auto& mode : t.items)
        for (const auto& key : mode.items)
            for (const scores::ScoreRecord& r : key.items)
                sum += std::int64_t{r.rightTotal} + r.wrongTotal;
    return sum;
}

std::int64_t itemStatTotal(const scores::ScoreRecord& r)
{
    std::int64_t sum = 0;
    const auto add = [&sum](const auto& stats) {
        for (const scores::ItemStat& s : stats.items)
            sum += std::int64_t{s.right} + s.wrong;
    };
    add(r.noteStats);
    add(r.intervalStats);
    add(r.chordStats);
    return sum;
}

class Soak {
public:
    Soak(const SoakOptions& opts, const gfx::TBitmap32List& sprites)
        : opts_(opts),
          rng_(opts.seed),
          staff_(image_, sprites, clock_, 2, 2),
          keySignature_(staff_)
    {
        session_ = std::make_unique<engine::TSheetMusic>(staff_, progress_, wait_, messages_,
                                                         keyboard_, targets_, opts.scoreFolder);
        if (session_->midiIn.state() != midi::MidiInputState::Open)
            throw SoakFailure("the session did not open the loopback keyboard");
    }

    SoakFigures run()
    {
        const auto started = std::chrono::steady_clock::now();
        std::vector<std::int64_t> rss;
        const int total = opts_.runsPerKind * ExerciseKinds;
        std::vector<std::uint8_t> kinds;
        for (int r = 0; r < opts_.runsPerKind && figures_.ok(); ++r) {
            // Every kind once per round, in a random order, so kinds follow
            // each other in every combination.
            kinds.clear();
            for (int k = 0; k < ExerciseKinds; ++k)
                kinds.push_back(static_cast<std::uint8_t>(k));
            rng_.shuffle(kinds);
            for (std::uint8_t kind : kinds) {
                const int runNo = figures_.runs + 1;
                RunArgs args = drawArgs(rng_, kind);
                try {
                    oneRun(args);
                } catch (const std::exception& e) {
                    figures_.failure = "seed " + std::to_string(opts_.seed) + ", run " +
                                       std::to_string(runNo) + " (" + args.text() + ", tick " +
                                       std::to_string(runTicks_) + "): " + e.what();
                    break;
                }
                figures_.runs = runNo;
                rss.push_back(residentKb());
                if (opts_.onRunDone)
                    opts_.onRunDone(runNo);
            }
        }
        figures_.wallSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        figures_.peakRssKb = peakResidentKb();
        if (!rss.empty()) {
            const std::size_t tenth = std::max<std::size_t>(1, rss.size() / 10);
            const auto mean = [&](std::size_t from) {
                return std::accumulate(rss.begin() + static_cast<std::ptrdiff_t>(from),
                                       rss.begin() + static_cast<std::ptrdiff_t>(from + tenth),
                                       std::int64_t{0}) /
                       static_cast<std::int64_t>(tenth);
            };
            figures_.firstTenthRssKb = mean(0);
            figures_.lastTenthRssKb = mean(rss.size() - tenth);
            const std::int64_t growth = figures_.lastTenthRssKb - figures_.firstTenthRssKb;
            if (figures_.ok() && opts_.rssGrowthLimitKb > 0 && figures_.runs == total &&
                growth > opts_.rssGrowthLimitKb)
                figures_.failure = "seed " + std::to_string(opts_.seed) +
                                   ": resident memory grew by " + std::to_string(growth) +
                                   " KiB between the first and the last tenth of the runs (limit " +
                                   std::to_string(opts_.rssGrowthLimitKb) + " KiB)";
        }
        return figures_;
    }

private:
    engine::TSheetMusic& s() { return *session_; }

    void oneRun(const RunArgs& a)
    {
        runTicks_ = 0;
        // As the main window does on Start: the key drawn, the staff
        // cleared, the run prepared and started.
        keySignature_.DrawKey(staff_, a.key);
        const int layersBefore = image_.layerCount();
        const scores::ScoreTable storedBefore = s().scoreStore.storedScores();

        s().ClearScreen();
        s().InitSheetMusic(a.key, a.clefSetting, a.kind, a.intervals, a.chords, a.subKind,
                           a.countVariant, a.noteOption);
        const int n = static_cast<int>(s().itemCount);
        const int scoreMode = s().scoreMode;
        const int key = s().key;
        const int clefNo = a.clefSetting + 1;
        figures_.questions += n;

        questions_.assign(static_cast<std::size_t>(n) + 1, Question{});
        for (int q = 1; q <= n; ++q) {
            int units = 0;
            for (int v = 1; v <= 2; ++v) {
                const bool scoredVoice = a.clefSetting == 2 || a.clefSetting + 1 == v;
                if (scoredVoice && item(v, q).itemKind != engine::NoItem)
                    ++units;
            }
            question(q).units = units;
        }

        s().Go();
        s().startTime = clock_.now();
        std::int64_t elapsedMs = 0;
        held_.clear();
        holdTicks_ = 0;

        // Ticks as the main window's timer gives them: the tick after the
        // one that finished the run returns the session to idle.
        constexpr int TickLimit = 100000;
        for (;;) {
            if (runTicks_ > TickLimit)
                throw SoakFailure("the run did not end within " + std::to_string(TickLimit) +
                                  " ticks");
            clock_.advanceMs(s().interval);
            elapsedMs += s().interval;
            s().elapsedSeconds = static_cast<std::int32_t>(elapsedMs / 1000);
            if (s().finished) {
                if (!held_.empty())
                    throw SoakFailure("keys were still down when the run ended");
                s().resetRun();
                break;
            }
            s().Next();
            ++runTicks_;
            ++figures_.ticks;
            answerBetweenTicks(n);
        }

        if (opts_.afterRun)
            opts_.afterRun(s(), image_);
        checkIdle(layersBefore);
        checkScores(storedBefore, n, scoreMode, key, clefNo);
    }

    Question& question(int q) { return questions_[static_cast<std::size_t>(q)]; }
    const engine::SheetItem& item(int v, int i)
    {
        return s().items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
    }

    // --- Answers ------------------------------------------------------------------

    void answerBetweenTicks(int n)
    {
        if (!held_.empty()) {
            if (--holdTicks_ <= 0)
                releaseKeys();
            return;
        }
        if (rng_.chance(1))
            pauseAndPoke();
        if (s().running && !s().paused && s().asked == -99 && rng_.chance(5)) {
            strayKey();
            return;
        }
        if (!s().running || s().paused || s().asked < 1)
            return;
        const int q = s().asked;
        if (q > n)
            throw SoakFailure("asked is " + std::to_string(q) + " of " + std::to_string(n));
        Question& qu = question(q);
        if (!qu.planned) {
            qu.planned = true;
            const int r = rng_.between(1, 100);
            qu.plan = r <= 20   ? Plan::None
                      : r <= 40 ? Plan::MouseRight
                      : r <= 50 ? Plan::MouseWrong
                      : r <= 75 ? Plan::MidiRight
                      : r <= 88 ? Plan::MidiWrongKey
                                : Plan::MidiWrongChord;
            qu.delay = rng_.between(0, 12);
        }
        if (qu.done || qu.plan == Plan::None)
            return;
        if (qu.delay-- > 0)
            return;
        qu.done = true;
        const scores::ScoreRecord& now = currentRecord();
        const std::int64_t right = now.rightTotal;
        const std::int64_t wrong = now.wrongTotal;
        switch (qu.plan) {
        case Plan::MouseRight:
        case Plan::MouseWrong:
            answerByMouse(q, qu.plan == Plan::MouseRight);
            break;
        default:
            answerOnMidi(q, qu);
            break;
        }
        // The verdict is in the run's current table at once.
        const std::string what = "question " + std::to_string(q) + " of " + std::to_string(n) +
                                 " (" + planName(qu.plan) + ")";
        expectEq(("right answers counted for " + what).c_str(), currentRecord().rightTotal - right,
                 qu.verdict == Verdict::Right ? qu.units : 0);
        expectEq(("wrong answers counted for " + what).c_str(), currentRecord().wrongTotal - wrong,
                 qu.verdict == Verdict::Wrong ? qu.units : 0);
    }

    const scores::ScoreRecord& currentRecord()
    {
        return s().scoreStore.currentScores()[s().scoreMode][s().key][s().clefSetting + 1];
    }

    static std::string planName(Plan p)
    {
        switch (p) {
        case Plan::MouseRight:
            return "mouse, right";
        case Plan::MouseWrong:
            return "mouse, wrong";
        case Plan::MidiRight:
            return "MIDI, the right keys";
        case Plan::MidiWrongKey:
            return "MIDI, a wrong key";
        case Plan::MidiWrongChord:
            return "MIDI, keys with a wrong one";
        default:
            return "none";
        }
    }

    void answerByMouse(int q, bool right)
    {
        // The piano picture answers only a question being asked in a
        // running, unpaused run.
        s().answerItem(q, right, true);
        question(q).verdict = right ? Verdict::Right : Verdict::Wrong;
        ++figures_.mouseAnswers;
    }

    std::vector<int> pitchesOf(int q)
    {
        // The pitches of the items the question shows: a voice without an
        // item answers nothing.
        notation::PitchSet all = 0;
        for (int v = 1; v <= 2; ++v)
            if (item(v, q).itemKind != engine::NoItem)
                all |= item(v, q).pitchSet;
        std::vector<int> pitches;
        for (int p = notation::PitchSetLow; p <= notation::PitchSetHigh; ++p)
            if (notation::containsPitch(all, p))
                pitches.push_back(p);
        return pitches;
    }

    int wrongPitch(const std::vector<int>& right)
    {
        for (;;) {
            const int p = rng_.between(21, 108);
            if (std::find(right.begin(), right.end(), p) == right.end())
                return p;
        }
    }

    void answerOnMidi(int q, Question& qu)
    {
        const int hold = rng_.between(0, 3);
        // The keys come up before the question reaches the exit: an answer
        // still held there would be scored again when it leaves.
        if (s().itemX(q) - engine::Step * static_cast<float>(hold + 2) < engine::ExitX)
            return;
        std::vector<int> right = pitchesOf(q);
        const auto needed = static_cast<std::size_t>(item(1, q).keysNeeded + item(2, q).keysNeeded);
        rng_.shuffle(right);
        std::vector<int> keys;
        switch (qu.plan) {
        case Plan::MidiRight:
            keys = right;
            // Fewer distinct pitches than keys needed cannot be played;
            // the question then leaves unanswered.
            qu.verdict = right.size() >= needed ? Verdict::Right : Verdict::Unanswered;
            break;
        case Plan::MidiWrongKey:
            keys = {wrongPitch(right)};
            qu.verdict = Verdict::Wrong;
            break;
        default: {
            const int some = rng_.between(
                0, static_cast<int>(std::min(right.size(), needed > 0 ? needed - 1 : 0)));
            keys.assign(right.begin(), right.begin() + some);
            keys.push_back(wrongPitch(right));
            // After the wrong key nothing counts until every key is up.
            for (int extra = rng_.between(0, 2); extra > 0; --extra)
                keys.push_back(rng_.chance(50) && !right.empty()
                                   ? right[static_cast<std::size_t>(
                                         rng_.between(0, static_cast<int>(right.size()) - 1))]
                                   : wrongPitch(right));
            qu.verdict = Verdict::Wrong;
            break;
        }
        }
        if (keys.empty())
            return;
        for (int p : keys)
            send({0x90, static_cast<std::uint8_t>(p),
                  static_cast<std::uint8_t>(rng_.between(1, 127))});
        deliver();
        ++figures_.midiAnswers;
        held_ = keys;
        holdTicks_ = hold;
        if (hold == 0)
            releaseKeys();
    }

    void releaseKeys()
    {
        rng_.shuffle(held_);
        for (int p : held_) {
            if (rng_.chance(50))
                send({0x90, static_cast<std::uint8_t>(p), 0});
            else
                send({0x80, static_cast<std::uint8_t>(p),
                      static_cast<std::uint8_t>(rng_.between(0, 127))});
        }
        deliver();
        held_.clear();
        if (s().heldKeys != 0)
            throw SoakFailure("heldKeys is " + std::to_string(s().heldKeys) +
                              " after every key came up");
    }

    // A key while the next question has not come in judges nothing.
    void strayKey()
    {
        const scores::ScoreTable before = s().scoreStore.currentScores();
        const int p = rng_.between(21, 108);
        send({0x90, static_cast<std::uint8_t>(p), 70});
        deliver();
        send({0x80, static_cast<std::uint8_t>(p), 0});
        deliver();
        if (scores::encodeScores(s().scoreStore.currentScores()) != scores::encodeScores(before))
            throw SoakFailure("a key played between questions was scored");
        if (s().heldKeys != 0 || s().asked != -99)
            throw SoakFailure("a key played between questions moved the session on");
        ++figures_.strayKeys;
    }

    // The Start button pauses the run; keys and clicks meanwhile count for
    // nothing.
    void pauseAndPoke()
    {
        if (!s().running)
            return;
        ++figures_.pauses;
        s().paused = true;
        const int asked = s().asked;
        const int p = rng_.between(36, 90);
        send({0x90, static_cast<std::uint8_t>(p), 90});
        send({0x80, static_cast<std::uint8_t>(p), 0});
        deliver();
        clock_.advanceMs(rng_.between(100, 5000));
        if (s().asked != asked || s().heldKeys != 0)
            throw SoakFailure("keys played while paused were judged");
        s().paused = false;
    }

    void send(std::vector<std::uint8_t> bytes)
    {
        if (!keyboard_.send(0, std::move(bytes)))
            throw SoakFailure("the loopback keyboard is not open");
        ++figures_.midiMessages;
    }

    // The producer thread delivers, the callback posts, and the test thread
    // (standing in for the GUI thread) runs mid_OnInput.
    void deliver()
    {
        keyboard_.flush(0);
        targets_.drain();
        if (s().midiIn.pendingEvents() != 0)
            throw SoakFailure("MIDI events were left waiting after the notification");
    }

    // --- Checks -----------------------------------------------------------------

    template <class A, class B> static void expectEq(const char* what, const A& got, const B& want)
    {
        if (got != want) {
            std::ostringstream o;
            o << what << " is " << got << ", expected " << want;
            throw SoakFailure(o.str());
        }
    }

    void checkIdle(int layersBefore)
    {
        expectEq("asked", s().asked, -1);
        expectEq("first", s().first, -1);
        expectEq("last", s().last, -1);
        expectEq("lastAnswered", s().lastAnswered, -1);
        expectEq("running", s().running, false);
        expectEq("paused", s().paused, false);
        expectEq("finished", s().finished, false);
        expectEq("answered", s().answered, false);
        expectEq("heldKeys", s().heldKeys, 0u);
        expectEq("itemCount", s().itemCount, static_cast<std::uint32_t>(engine::MaxItems));
        expectEq("interval", s().interval, 125);
        expectEq("scoreMode", s().scoreMode, 1);
        expectEq("the staff's layer count", image_.layerCount(), layersBefore);
        for (int v = 1; v <= 2; ++v)
            for (int i = 1; i <= engine::MaxItems; ++i) {
                const engine::SheetItem& it = item(v, i);
                if (it.onScreen || it.note || it.interval || it.chord)
                    throw SoakFailure("voice " + std::to_string(v) + " of slot " +
                                      std::to_string(i) + " still holds an item");
            }
        for (int i = 1; i <= engine::MaxItems; ++i) {
            const auto idx = static_cast<std::size_t>(i);
            if (s().pointerMarks[idx].layer || s().degreeLabels[idx].layer)
                throw SoakFailure("the mark or label of slot " + std::to_string(i) +
                                  " still has its layer");
        }
        if (!messages_.first().empty())
            throw SoakFailure("a message was shown: " + messages_.first());
        expectEq("notifications waiting", targets_.pending(), std::size_t{0});
    }

    void checkScores(const scores::ScoreTable& before, int n, int scoreMode, int key, int clefNo)
    {
        std::int64_t right = 0;
        std::int64_t wrong = 0;
        for (int q = 1; q <= n; ++q) {
            const Question& qu = question(q);
            switch (qu.verdict) {
            case Verdict::Right:
                right += qu.units;
                break;
            case Verdict::Wrong:
                wrong += qu.units;
                break;
            case Verdict::Unanswered:
                ++figures_.unanswered;
                // The last question is not scored when it leaves unanswered.
                if (q != n)
                    wrong += qu.units;
                break;
            }
        }
        figures_.scoredRight += right;
        figures_.scoredWrong += wrong;

        const scores::ScoreTable& after = s().scoreStore.storedScores();
        const scores::ScoreRecord& was = before[scoreMode][key][clefNo];
        const scores::ScoreRecord& is = after[scoreMode][key][clefNo];
        expectEq("right answers added to the run's record",
                 std::int64_t{is.rightTotal} - was.rightTotal, right);
        expectEq("wrong answers added to the run's record",
                 std::int64_t{is.wrongTotal} - was.wrongTotal, wrong);
        expectEq("answers added to the whole stored table", tableTotal(after) - tableTotal(before),
                 right + wrong);
        expectEq("answers added to the record's per-item counts",
                 itemStatTotal(is) - itemStatTotal(was), right + wrong);
        if (is.bestTime > was.bestTime || is.bestTime < 0)
            throw SoakFailure("the best time went from " + std::to_string(was.bestTime) + " to " +
                              std::to_string(is.bestTime));
        expectEq("answers left in the current table", tableTotal(s().scoreStore.currentScores()),
                 std::int64_t{0});

        // What the file holds is what the store holds.
        CurrentTextLabel caption;
        FirstMessage messages;
        const scores::THighScore reloaded(caption, messages, opts_.scoreFolder);
        if (!messages.first().empty())
            throw SoakFailure("reading keyscore.dat back: " + messages.first());
        if (scores::encodeScores(reloaded.storedScores()) != scores::encodeScores(after))
            throw SoakFailure("keyscore.dat read back differs from the stored table");
    }

    const SoakOptions& opts_;
    Rng rng_;
    SoakFigures figures_;
    SteppingClock clock_;
    gfx::TImage32 image_;
    notation::TMusicalStaff staff_;
    notation::TKey keySignature_;
    CurrentTextLabel progress_;
    CurrentTextLabel wait_;
    FirstMessage messages_;
    platform::midi::LoopbackMidiService keyboard_{{{"Soak keyboard"}}};
    QueuedTargets targets_;
    std::unique_ptr<engine::TSheetMusic> session_;
    std::vector<Question> questions_;
    std::vector<int> held_;
    int holdTicks_ = 0;
    int runTicks_ = 0;
};

} // namespace

SoakFigures runSoak(const SoakOptions& opts, const gfx::TBitmap32List& sprites)
{
    try {
        Soak soak(opts, sprites);
        return soak.run();
    } catch (const std::exception& e) {
        SoakFigures f;
        f.failure = "seed " + std::to_string(opts.seed) + ", setting up: " + e.what();
        return f;
    }
}

std::string describe(const SoakFigures& f, const SoakOptions& opts)
{
    std::ostringstream o;
    o << "seed " << opts.seed << ", " << opts.runsPerKind << " runs per kind\n"
      << "runs        " << f.runs << "\n"
      << "questions   " << f.questions << " (unanswered " << f.unanswered << ")\n"
      << "answers     " << f.mouseAnswers + f.midiAnswers << " (mouse " << f.mouseAnswers
      << ", MIDI " << f.midiAnswers << " in " << f.midiMessages << " messages)\n"
      << "scored      right " << f.scoredRight << ", wrong " << f.scoredWrong << "\n"
      << "pauses      " << f.pauses << ", stray keys " << f.strayKeys << "\n"
      << "ticks       " << f.ticks << "\n";
    char wall[32];
    std::snprintf(wall, sizeof wall, "%.1f", f.wallSeconds);
    o << "wall time   " << wall << " s\n"
      << "memory      peak " << f.peakRssKb << " KiB; VmRSS first tenth " << f.firstTenthRssKb
      << " KiB, last tenth " << f.lastTenthRssKb << " KiB\n"
      << (f.ok() ? std::string("OK") : "FAILED: " + f.failure) << "\n";
    return o.str();
}

std::int64_t residentKb() { return statusKb("VmRSS"); }
std::int64_t peakResidentKb() { return statusKb("VmHWM"); }

} // namespace soak
