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
#include <array>
#include <bitset>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <utility>
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

// How the soak answers a question once it is asked. Several plans mix the
// mouse and the keyboard on the same question, in every order.
enum class Plan : std::uint8_t {
    None, // it leaves the staff unanswered
    MouseRight,
    MouseWrong,
    MidiRight, // all its keys, now and then one struck twice
    MidiWrongKey,
    MidiWrongChord,  // some right keys and a wrong one, then more keys
    KeysAroundClick, // keys down (some right ones, or a wrong one), a click, keys up
    ClickThenKeys,   // a click, then the question's keys, which meet the next one
    ClickInChord,    // the chord's keys one by one with a click among them
    KeysAfterChord,  // the whole chord, then more keys while it is held
    HoldThroughExit  // the keys stay down until the question has left the staff
};

enum class Verdict : std::uint8_t { None, Right, Wrong };

struct Question {
    bool planned = false;
    Plan plan = Plan::None;
    notation::PitchSet pitches = 0; // the keys that answer it
    int keysNeeded = 0;
    // Score entries a judgement makes: one per scored voice, with its item
    // type and id.
    int units = 0;
    std::array<std::pair<int, int>, 2> scored{};
    Verdict verdict = Verdict::None; // as the score store showed it
    bool leftUnanswered = false;
};

// One step of what the soak does to the session; kept for the failure report.
struct Event {
    using Kind = SoakEvent;
    static constexpr Kind Tick = SoakEvent::Tick;
    static constexpr Kind Midi = SoakEvent::Midi;
    static constexpr Kind Click = SoakEvent::Click;
    static constexpr Kind Pause = SoakEvent::Pause;
    static constexpr Kind Resume = SoakEvent::Resume;
    static constexpr Kind Reset = SoakEvent::Reset;
    Kind kind = Tick;
    int tick = 0;
    int asked = 0; // before the event
    int first = 0;
    int last = 0;
    int question = -1; // the one question this event may judge, -1 for none
    std::array<std::uint8_t, 3> bytes{};
    bool right = false;   // a click's verdict
    bool applied = false; // a MIDI message the session judges; a click the piano takes

    std::string text() const
    {
        std::ostringstream o;
        o << "tick " << tick << ", asked " << asked << " (on the staff " << first << ".." << last
          << "): ";
        switch (kind) {
        case Tick:
            o << "tick";
            break;
        case Midi: {
            char b[32];
            std::snprintf(b, sizeof b, "%02X %d %d", bytes[0], bytes[1], bytes[2]);
            const int s = bytes[0] & 0xF0;
            o << (s == 0x90 && bytes[2] > 0 ? "note-on "
                  : s == 0xB0               ? "controller "
                                            : "release ")
              << b << (applied ? "" : " (not taken: no run or paused or answered)");
            break;
        }
        case Click:
            o << "click, " << (right ? "right" : "wrong")
              << (applied ? "" : " (the piano takes no answer now)");
            break;
        case Pause:
            o << "pause";
            break;
        case Resume:
            o << "resume";
            break;
        case Reset:
            o << "Reset";
            break;
        }
        return o.str();
    }
};

// What a script does between two ticks.
struct Action {
    enum Kind : std::uint8_t { Wait, Press, Click, ReleaseAll, UntilGone };
    Kind kind = Wait;
    int value = 0; // ticks, pitch or question
    bool right = false;
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

// Calls f(name, a, b) for every counter of two records but the best time.
template <class F> void eachCounter(const scores::ScoreRecord& a, const scores::ScoreRecord& b, F f)
{
    const auto stats = [&](const char* what, const auto& x, const auto& y) {
        for (int i = x.low; i <= x.high; ++i) {
            const std::string n = std::string(what) + "[" + std::to_string(i) + "].";
            f(n + "right", x[i].right, y[i].right);
            f(n + "wrong", x[i].wrong, y[i].wrong);
            f(n + "asked", x[i].asked, y[i].asked);
        }
    };
    stats("noteStats", a.noteStats, b.noteStats);
    stats("intervalStats", a.intervalStats, b.intervalStats);
    stats("chordStats", a.chordStats, b.chordStats);
    f("rightTotal", a.rightTotal, b.rightTotal);
    f("wrongTotal", a.wrongTotal, b.wrongTotal);
}

// "" when the counters of both records agree, else the first that differs.
std::string counterDifference(const scores::ScoreRecord& got, const scores::ScoreRecord& want)
{
    if (std::memcmp(&got, &want, offsetof(scores::ScoreRecord, bestTime)) == 0)
        return {};
    std::string first;
    eachCounter(got, want, [&](const std::string& name, std::int32_t g, std::int32_t w) {
        if (first.empty() && g != w)
            first = name + " is " + std::to_string(g) + ", expected " + std::to_string(w);
    });
    return first;
}

bool countersEmpty(const scores::ScoreRecord& r)
{
    return counterDifference(r, scores::ScoreRecord{}).empty();
}

// The score entries of one judgement of q, as the store should count them.
void addJudgement(scores::ScoreRecord& r, const Question& q, bool right)
{
    for (int u = 0; u < q.units; ++u) {
        (right ? r.rightTotal : r.wrongTotal) += 1;
        const auto [type, id] = q.scored[static_cast<std::size_t>(u)];
        scores::ItemStat* s = nullptr;
        if (type == 1 && r.noteStats.contains(id))
            s = &r.noteStats[id];
        else if (type == 2 && r.intervalStats.contains(id))
            s = &r.intervalStats[id];
        else if (type == 3 && r.chordStats.contains(id))
            s = &r.chordStats[id];
        if (s != nullptr) {
            (right ? s->right : s->wrong) += 1;
            s->asked += 1;
        }
    }
}

std::string keyList(const std::bitset<128>& keys)
{
    std::string s;
    for (std::size_t p = 0; p < keys.size(); ++p)
        if (keys.test(p))
            s += (s.empty() ? "" : ",") + std::to_string(p);
    return "{" + s + "}";
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
        if (session_->midiInput().state() != midi::MidiInputState::Open)
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
                // Every third run is played well enough for its time to
                // count, every seventh is abandoned with Reset part way.
                good_ = runNo % 3 == 0;
                errorPercent_ = good_ ? rng_.between(0, 14) : 0;
                const bool abandon = runNo % 7 == 0;
                try {
                    oneRun(args, abandon);
                } catch (const std::exception& e) {
                    figures_.failure = "seed " + std::to_string(opts_.seed) + ", run " +
                                       std::to_string(runNo) + " (" + args.text() +
                                       (good_ ? ", played well" : "") + ", tick " +
                                       std::to_string(runTicks_) + "): " + e.what() +
                                       "\nthe last events, oldest first:\n" + recentEvents();
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

    // --- One run ------------------------------------------------------------------

    void oneRun(const RunArgs& a, bool abandon)
    {
        runTicks_ = 0;
        // As the main window does on Start: the key drawn, the staff
        // cleared, the run prepared and started.
        keySignature_.DrawKey(staff_, a.key);
        // What a Reset left hidden on the staff goes when the next run is
        // prepared.
        const int layersBefore = image_.layerCount() - staleLayers_;
        staleLayers_ = 0;
        visibleBefore_ = visibleLayers();
        storedBefore_ = s().scores().storedScores();
        const auto scoreFile = opts_.scoreFolder / scores::ScoreFileName;
        fileBefore_ =
            std::filesystem::exists(scoreFile) ? fileBytes(scoreFile) : std::vector<std::uint8_t>{};

        s().ClearScreen();
        s().prepareRun(engine::RunSettings{.kind = static_cast<engine::ExerciseKind>(a.kind),
                                           .key = a.key,
                                           .clef = static_cast<engine::ClefSetting>(a.clefSetting),
                                           .intervalFilter = a.intervals,
                                           .chordFilter = a.chords,
                                           .progression = a.subKind,
                                           .scaleVariant = a.countVariant,
                                           .noteOption = a.noteOption});
        n_ = static_cast<int>(s().questionCount());
        scoreMode_ = static_cast<int>(s().mode());
        key_ = s().runKey();
        clefNo_ = a.clefSetting + 1;
        figures_.questions += n_;
        setUpQuestions(a.clefSetting);
        if (tableTotal(s().scores().currentScores()) != 0 || !countersEmpty(currentRecord()))
            throw SoakFailure("the current table holds answers before the run starts");

        s().start(clock_.now());
        inRun_ = true;
        model_.reset();
        previousModel_.reset();
        expected_ = scores::ScoreRecord{};
        storedBest_ = storedBefore_[scoreMode_][key_][clefNo_].bestTime;
        bestSeen_ = currentRecord().bestTime;
        timeTaken_ = false;
        script_.clear();
        if (s().keysHeld().any())
            throw SoakFailure("keys " + keyList(s().keysHeld()) + " count as held at Start");
        checkAsked();
        // Keys still down from before a Reset come up in this run; the
        // session counts none of them.
        if (!physical_.empty())
            script_ = {{Action::Wait, rng_.between(0, 4)}, {Action::ReleaseAll}};
        const int resetAt = abandon ? rng_.between(1, 8 * n_) : -1;

        // Ticks as the main window's timer gives them: the tick after the
        // one that finished the run returns the session to idle.
        constexpr int TickLimit = 100000;
        for (;;) {
            if (runTicks_ > TickLimit)
                throw SoakFailure("the run did not end within " + std::to_string(TickLimit) +
                                  " ticks");
            clock_.advanceMs(s().tickInterval());
            if (s().finished()) {
                if (s().tick(clock_.now()))
                    throw SoakFailure("the tick after the last question did not end the run");
                inRun_ = false;
                if (s().keysHeld().any())
                    throw SoakFailure("keys " + keyList(s().keysHeld()) +
                                      " count as held after the run");
                model_.reset();
                // Keys held past the end come up now, into no run.
                script_.clear();
                releaseAll();
                break;
            }
            if (runTicks_ == resetAt) {
                abandonRun(layersBefore);
                return;
            }
            tick();
            if (!s().finished())
                answerBetweenTicks();
        }

        if (opts_.afterRun)
            opts_.afterRun(s(), image_);
        checkIdle(layersBefore);
        checkScores();
    }

    void setUpQuestions(int clefSetting)
    {
        questions_.assign(static_cast<std::size_t>(n_) + 1, Question{});
        for (int q = 1; q <= n_; ++q) {
            Question& qu = question(q);
            for (int v = 1; v <= 2; ++v) {
                const engine::SheetItem& it = item(v, q);
                if (it.kind() == engine::ItemKind::None)
                    continue;
                qu.pitches |= it.pitchSet;
                qu.keysNeeded += it.keysNeeded;
                if (clefSetting != 2 && clefSetting + 1 != v)
                    continue;
                const int type = static_cast<int>(it.kind()) + 1;
                const int id = it.kind() == engine::ItemKind::Note ? it.note()->getPitchClass()
                               : it.kind() == engine::ItemKind::Interval ? it.interval()->getKind()
                                                                         : it.chord()->getKind();
                qu.scored[static_cast<std::size_t>(qu.units++)] = {type, id};
            }
        }
    }

    Question& question(int q) { return questions_[static_cast<std::size_t>(q)]; }
    const engine::SheetItem& item(int v, int i) { return s().slot(v, i); }
    const scores::ScoreRecord& currentRecord()
    {
        return s().scores().currentScores()[scoreMode_][key_][clefNo_];
    }
    int visibleLayers() const
    {
        int n = 0;
        for (int i = 0; i < image_.layerCount(); ++i)
            n += image_.layer(i).visible() ? 1 : 0;
        return n;
    }

    // --- Events -------------------------------------------------------------------

    Event begin(Event::Kind kind)
    {
        Event e;
        e.kind = kind;
        e.tick = runTicks_;
        e.asked = s().askedQuestion();
        e.first = s().firstOnStaff();
        e.last = s().lastOnStaff();
        return e;
    }

    void tick()
    {
        Event e = begin(Event::Tick);
        if (!s().tick(clock_.now()))
            throw SoakFailure("a tick ended a run that was not finished");
        ++runTicks_;
        ++figures_.ticks;
        // The oldest question leaves at most one a tick.
        if (e.first >= 1 && (s().finished() || s().firstOnStaff() != e.first))
            e.question = e.first;
        afterEvent(e);
    }

    void click(bool right)
    {
        Event e = begin(Event::Click);
        e.right = right;
        // The piano picture answers only a question being asked in a
        // running, unpaused run, and always that one.
        e.applied = s().takesAnswers() && s().askedQuestion() > 0;
        if (e.applied) {
            e.question = s().askedQuestion();
            if (question(e.question).verdict != Verdict::None)
                ++figures_.clicksIgnored;
            s().answerItem(s().askedQuestion(), right);
            ++figures_.mouseAnswers;
        }
        afterEvent(e);
    }

    void midi(std::uint8_t status, int data1, int data2)
    {
        Event e = begin(Event::Midi);
        e.bytes = {status, static_cast<std::uint8_t>(data1), static_cast<std::uint8_t>(data2)};
        e.applied = s().takesAnswers();
        if (e.applied && s().askedQuestion() >= 1)
            e.question = s().askedQuestion();
        if (!keyboard_.send(0, {e.bytes.begin(), e.bytes.end()}))
            throw SoakFailure("the loopback keyboard is not open");
        ++figures_.midiMessages;
        deliver();
        // The session follows the keys also while paused, between runs and
        // after the last answer; Start, Reset and the run's end forget them.
        {
            const int kind = status & 0xF0;
            if (kind == 0x90 && data2 > 0)
                model_.set(static_cast<std::size_t>(data1));
            else if (kind == 0x80 || kind == 0x90)
                model_.reset(static_cast<std::size_t>(data1));
            else if (kind == 0xB0 && (data1 == 123 || data1 == 120))
                model_.reset();
        }
        afterEvent(e);
    }

    // The producer thread delivers, the callback posts, and the soak
    // (standing in for the GUI thread) runs mid_OnInput.
    void deliver()
    {
        keyboard_.flush(0);
        targets_.drain();
        if (s().midiInput().pendingEvents() != 0)
            throw SoakFailure("MIDI events were left waiting after the notification");
    }

    void log(const Event& e)
    {
        events_[eventCount_ % events_.size()] = e;
        ++eventCount_;
    }

    std::string recentEvents() const
    {
        std::string text;
        const std::size_t shown = std::min(eventCount_, events_.size());
        for (std::size_t i = eventCount_ - shown; i < eventCount_; ++i)
            text += "  " + events_[i % events_.size()].text() + "\n";
        return text;
    }

    // --- Checks after every event -------------------------------------------------

    void afterEvent(const Event& e)
    {
        log(e);
        ++figures_.events;
        if (opts_.afterEvent)
            opts_.afterEvent(e.kind, s(), image_);
        if (!inRun_) {
            // Between runs nothing is counted or held.
            if (tableTotal(s().scores().currentScores()) != 0)
                throw SoakFailure("the current table holds answers between runs");
            if (s().keysHeld() != model_)
                throw SoakFailure("between runs the session counts keys " +
                                  keyList(s().keysHeld()) + " as held, the keys down are " +
                                  keyList(model_));
            return;
        }
        if (s().finished()) {
            inRun_ = false;
            lastQuestionLeft(e);
            return;
        }
        checkScoring(e);
        checkAsked();
        if (s().keysHeld() != model_)
            throw SoakFailure("the session counts keys " + keyList(s().keysHeld()) +
                              " as held, the keys down are " + keyList(model_));
        if (e.kind == Event::Click && e.applied && e.question >= 1 &&
            question(e.question).verdict != Verdict::None && e.asked != s().askedQuestion() &&
            judgedBefore_)
            throw SoakFailure("a click on question " + std::to_string(e.question) +
                              ", which the keys had judged, moved the pointer to " +
                              std::to_string(s().askedQuestion()));
        checkBestTime(e);
    }

    // The current table grows only by the first judgement of the one
    // question the event may judge, by exactly that question's voices.
    void checkScoring(const Event& e)
    {
        const scores::ScoreRecord& now = currentRecord();
        const std::int64_t grew = std::int64_t{now.rightTotal} + now.wrongTotal -
                                  expected_.rightTotal - expected_.wrongTotal;
        const int q = e.question;
        judgedBefore_ = q >= 1 && question(q).verdict != Verdict::None;
        judgedNow_ = false;
        if (grew != 0) {
            if (q < 1)
                throw SoakFailure("the current table grew by " + std::to_string(grew) +
                                  " answers, though no question could be judged");
            Question& qu = question(q);
            const std::string which = "question " + std::to_string(q) + " of " + std::to_string(n_);
            if (qu.verdict != Verdict::None)
                throw SoakFailure(which + " was scored again (" + std::to_string(grew) +
                                  " answers) after it was scored " +
                                  (qu.verdict == Verdict::Right ? "right" : "wrong"));
            if (grew != qu.units)
                throw SoakFailure(which + " was scored with " + std::to_string(grew) +
                                  " answers; it has " + std::to_string(qu.units) +
                                  " scored voices");
            const bool right = now.rightTotal != expected_.rightTotal;
            if (e.kind == Event::Click && right != e.right)
                throw SoakFailure(which + " was clicked " + (e.right ? "right" : "wrong") +
                                  " and scored the other way");
            if (e.kind == Event::Tick && right)
                throw SoakFailure(which + " left the staff and was scored right");
            if (e.kind == Event::Midi) {
                const bool belongs = notation::containsPitch(qu.pitches, e.bytes[1]);
                if (right && !belongs)
                    throw SoakFailure(which + " was scored right on key " +
                                      std::to_string(e.bytes[1]) + ", which it does not hold");
                if (!right && belongs && (previousModel_ & ~pitchBits(qu.pitches)).none())
                    throw SoakFailure(which + " was scored wrong on key " +
                                      std::to_string(e.bytes[1]) +
                                      ", which it holds, with no wrong key down");
            }
            if (e.kind != Event::Click && e.kind != Event::Tick && e.kind != Event::Midi)
                throw SoakFailure(which + " was scored by a " + e.text());
            qu.verdict = right ? Verdict::Right : Verdict::Wrong;
            qu.leftUnanswered = e.kind == Event::Tick;
            addJudgement(expected_, qu, right);
            judgedNow_ = true;
        } else if (q >= 1 && question(q).verdict == Verdict::None && question(q).units > 0) {
            if (e.kind == Event::Tick)
                throw SoakFailure("question " + std::to_string(q) +
                                  " left the staff unjudged and was not scored");
            if (e.kind == Event::Click)
                throw SoakFailure("a click on question " + std::to_string(q) +
                                  ", not judged yet, was not scored");
        }
        const std::string differs = counterDifference(now, expected_);
        if (!differs.empty())
            throw SoakFailure("in the run's current record " + differs);
        if (tableTotal(s().scores().currentScores()) !=
            std::int64_t{now.rightTotal} + now.wrongTotal)
            throw SoakFailure("an answer went into another record of the current table");
    }

    static std::bitset<128> pitchBits(notation::PitchSet set)
    {
        std::bitset<128> b;
        for (int p = notation::PitchSetLow; p <= notation::PitchSetHigh; ++p)
            if (notation::containsPitch(set, p))
                b.set(static_cast<std::size_t>(p));
        return b;
    }

    // While a run goes on, the question asked is one on the staff, or none
    // while the next has not come in, and its mark is drawn on it: the
    // pointer while it waits, its verdict once the keys have judged it.
    void checkAsked()
    {
        if (!s().running())
            return;
        const int a = s().askedQuestion();
        if (a == -99)
            return;
        if (a < s().firstOnStaff() || a > s().lastOnStaff() || a < 1)
            throw SoakFailure("asked is " + std::to_string(a) + " with questions " +
                              std::to_string(s().firstOnStaff()) + ".." +
                              std::to_string(s().lastOnStaff()) + " on the staff");
        const engine::MarkSlot& m = s().pointerMarkOf(a);
        if (!m.shown || !m.layer || !m.layer->visible())
            throw SoakFailure("question " + std::to_string(a) +
                              " is asked but its pointer is not drawn");
        // On the question, or one step behind it after a tick; a question
        // just come in has its mark where questions enter.
        const float left = m.layer->location().left;
        const float x = s().itemX(a);
        if (left != x && left != x - engine::Step && left != staff_.noteLeft)
            throw SoakFailure("the pointer of question " + std::to_string(a) + " is at x " +
                              std::to_string(left) + ", the question at " + std::to_string(x));
        const Question& qu = question(a);
        const int sprite = m.spriteIndex;
        const bool fits = qu.units == 0 ||
                          (qu.verdict == Verdict::None &&
                           (sprite == engine::PointerSprite || sprite == engine::EyeSprite)) ||
                          (qu.verdict == Verdict::Right && sprite == engine::RightSprite) ||
                          (qu.verdict == Verdict::Wrong && sprite == engine::WrongSprite);
        if (!fits)
            throw SoakFailure("question " + std::to_string(a) + " is asked and shows sprite " +
                              std::to_string(sprite) + " though it was scored " +
                              (qu.verdict == Verdict::None    ? "not at all"
                               : qu.verdict == Verdict::Right ? "right"
                                                              : "wrong"));
    }

    // The run's time is taken when its last question has been answered: at
    // the click, or when the keys that answered it are all up. It is kept
    // when the run had at least 90 % of its questions right and was faster
    // than the stored best.
    void checkBestTime(const Event& e)
    {
        bool takenNow = false;
        if (!timeTaken_ && question(n_).verdict != Verdict::None) {
            if (e.kind == Event::Click && judgedNow_ && e.question == n_)
                takenNow = true;
            else if (e.kind == Event::Midi && model_.none() && previousModel_.any())
                takenNow = true;
        }
        previousModel_ = model_;
        const std::int32_t now = currentRecord().bestTime;
        if (!takenNow) {
            if (now != bestSeen_)
                throw SoakFailure("the best time went from " + std::to_string(bestSeen_) + " to " +
                                  std::to_string(now) + " before the last question was answered");
            return;
        }
        timeTaken_ = true;
        const int t = s().elapsedSeconds();
        // Questions with no scored voice show no verdict in the store; they
        // may go either way.
        int right = 0;
        int unseen = 0;
        for (int q = 1; q <= n_; ++q) {
            right += question(q).verdict == Verdict::Right ? 1 : 0;
            unseen += question(q).units == 0 ? 1 : 0;
        }
        const bool surelyEnough = right * 10 >= n_ * 9;
        const bool maybeEnough = (right + unseen) * 10 >= n_ * 9;
        const bool faster = t < storedBest_;
        const bool kept = now == t && now != bestSeen_;
        const bool unchanged = now == bestSeen_;
        const std::string what = "the run took " + std::to_string(t) + " s with " +
                                 std::to_string(right) + " of " + std::to_string(n_) +
                                 " questions right (stored best " + std::to_string(storedBest_) +
                                 ")";
        if (!kept && !unchanged)
            throw SoakFailure(what + ", and the best time became " + std::to_string(now));
        if (kept && (!faster || !maybeEnough))
            throw SoakFailure(what + ", and was kept as the best time");
        if (unchanged && faster && surelyEnough && bestSeen_ != t)
            throw SoakFailure(what + ", and was not kept as the best time");
        if (unchanged && faster && !maybeEnough)
            ++figures_.bestTimesRefused;
        bestSeen_ = now;
    }

    // The finishing tick: the last question, if nobody answered it, counts
    // wrong; everything went into the stored table.
    void lastQuestionLeft(const Event& e)
    {
        if (e.kind != Event::Tick || e.question != n_)
            throw SoakFailure("the run ended on a " + e.text());
        Question& qu = question(n_);
        if (qu.verdict == Verdict::None && qu.units > 0) {
            qu.verdict = Verdict::Wrong;
            qu.leftUnanswered = true;
            addJudgement(expected_, qu, false);
        }
        if (tableTotal(s().scores().currentScores()) != 0)
            throw SoakFailure("answers were left in the current table at the run's end");
    }

    void abandonRun(int layersBefore)
    {
        if (rng_.chance(25) && s().running()) {
            Event p = begin(Event::Pause);
            s().pause();
            afterEvent(p);
        }
        Event e = begin(Event::Reset);
        s().abandonRun();
        inRun_ = false;
        log(e);
        ++figures_.events;
        ++figures_.resets;
        if (opts_.afterEvent)
            opts_.afterEvent(e.kind, s(), image_);
        expectEq("running after Reset", s().running(), false);
        expectEq("paused after Reset", s().paused(), false);
        expectEq("finished after Reset", s().finished(), false);
        if (s().keysHeld().any())
            throw SoakFailure("keys " + keyList(s().keysHeld()) + " count as held after Reset");
        model_.reset();
        previousModel_.reset();
        expected_ = scores::ScoreRecord{};
        // Nothing of the abandoned run is kept: no answer, no time.
        const scores::ScoreTable& current = s().scores().currentScores();
        const scores::ScoreTable& stored = s().scores().storedScores();
        for (int m = 1; m <= 2; ++m)
            for (int k = 0; k < notation::SignatureCount; ++k)
                for (int c = 1; c <= 3; ++c) {
                    const scores::ScoreRecord& r = current[m][k][c];
                    if (!countersEmpty(r))
                        throw SoakFailure("after Reset the current table still holds answers (" +
                                          counterDifference(r, scores::ScoreRecord{}) + ")");
                    if (r.bestTime < stored[m][k][c].bestTime)
                        throw SoakFailure("after Reset the current table still holds the time " +
                                          std::to_string(r.bestTime));
                }
        if (scores::encodeScores(stored) != scores::encodeScores(storedBefore_))
            throw SoakFailure("Reset changed the stored table");
        const auto scoreFile = opts_.scoreFolder / scores::ScoreFileName;
        const std::vector<std::uint8_t> file =
            std::filesystem::exists(scoreFile) ? fileBytes(scoreFile) : std::vector<std::uint8_t>{};
        if (file != fileBefore_)
            throw SoakFailure("Reset changed keyscore.dat");
        expectEq("layers shown after Reset", visibleLayers(), visibleBefore_);
        // Keys still down stay down into the next run now and then.
        script_.clear();
        if (rng_.chance(50))
            releaseAll();
        staleLayers_ = image_.layerCount() - layersBefore;
    }

    // --- Answers ------------------------------------------------------------------

    void answerBetweenTicks()
    {
        if (!script_.empty()) {
            runScript();
            return;
        }
        if (physical_.empty() && rng_.chance(1))
            pauseAndPoke();
        if (s().running() && !s().paused() && s().askedQuestion() == -99 && rng_.chance(5)) {
            strayKey();
            return;
        }
        if (!s().takesAnswers() || s().askedQuestion() < 1)
            return;
        const int q = s().askedQuestion();
        if (q > n_)
            throw SoakFailure("asked is " + std::to_string(q) + " of " + std::to_string(n_));
        Question& qu = question(q);
        if (qu.planned)
            return;
        qu.planned = true;
        plan(q, qu);
        runScript();
    }

    Plan drawPlan(const Question& qu)
    {
        const bool playable = pitchCount(qu.pitches) >= qu.keysNeeded && qu.keysNeeded > 0;
        if (good_) {
            if (rng_.chance(errorPercent_)) {
                const int r = rng_.between(1, 4);
                return r == 1   ? Plan::None
                       : r == 2 ? Plan::MouseWrong
                       : r == 3 ? Plan::MidiWrongKey
                                : Plan::MidiWrongChord;
            }
            const int r = rng_.between(1, 100);
            if (!playable || r <= 30)
                return Plan::MouseRight;
            return r <= 60   ? Plan::MidiRight
                   : r <= 70 ? Plan::KeysAroundClick
                   : r <= 78 ? Plan::ClickInChord
                   : r <= 90 ? Plan::KeysAfterChord
                             : Plan::HoldThroughExit;
        }
        const int r = rng_.between(1, 100);
        return r <= 12   ? Plan::None
               : r <= 24 ? Plan::MouseRight
               : r <= 30 ? Plan::MouseWrong
               : r <= 45 ? Plan::MidiRight
               : r <= 52 ? Plan::MidiWrongKey
               : r <= 58 ? Plan::MidiWrongChord
               : r <= 68 ? Plan::KeysAroundClick
               : r <= 76 ? Plan::ClickThenKeys
               : r <= 84 ? Plan::ClickInChord
               : r <= 92 ? Plan::KeysAfterChord
                         : Plan::HoldThroughExit;
    }

    static int pitchCount(notation::PitchSet set)
    {
        return static_cast<int>(std::bitset<64>(set).count());
    }

    std::vector<int> pitchesOf(const Question& qu)
    {
        std::vector<int> pitches;
        for (int p = notation::PitchSetLow; p <= notation::PitchSetHigh; ++p)
            if (notation::containsPitch(qu.pitches, p))
                pitches.push_back(p);
        rng_.shuffle(pitches);
        return pitches;
    }

    int wrongPitch(const Question& qu)
    {
        for (;;) {
            const int p = rng_.between(21, 108);
            if (!notation::containsPitch(qu.pitches, p))
                return p;
        }
    }

    void plan(int q, Question& qu)
    {
        qu.plan = drawPlan(qu);
        if (qu.plan == Plan::None)
            return;
        const std::vector<int> right = pitchesOf(qu);
        const int rightCount = static_cast<int>(right.size());
        const auto press = [&](int p) { script_.push_back({Action::Press, p}); };
        const auto pressRight = [&](int from, int to) {
            for (int i = from; i < to && i < rightCount; ++i)
                press(right[static_cast<std::size_t>(i)]);
        };
        const auto clickAnswer = [&](bool r) { script_.push_back({Action::Click, 0, r}); };
        const auto hold = [&] {
            script_.push_back({Action::Wait, rng_.between(0, 3)});
            script_.push_back({Action::ReleaseAll});
        };
        const bool clickRight = good_ || rng_.chance(70);
        script_.push_back({Action::Wait, good_ ? rng_.between(0, 3) : rng_.between(0, 12)});
        switch (qu.plan) {
        case Plan::MouseRight:
        case Plan::MouseWrong:
            clickAnswer(qu.plan == Plan::MouseRight);
            break;
        case Plan::MidiRight:
            pressRight(0, rightCount);
            if (rightCount > 0 && rng_.chance(20))
                press(right[static_cast<std::size_t>(rng_.between(0, rightCount - 1))]);
            hold();
            break;
        case Plan::MidiWrongKey:
            press(wrongPitch(qu));
            hold();
            break;
        case Plan::MidiWrongChord: {
            const int some = rng_.between(0, std::max(0, std::min(rightCount, qu.keysNeeded) - 1));
            pressRight(0, some);
            press(wrongPitch(qu));
            // After the wrong key nothing counts until every key is up.
            for (int extra = rng_.between(0, 2); extra > 0; --extra)
                press(rng_.chance(50) && rightCount > 0
                          ? right[static_cast<std::size_t>(rng_.between(0, rightCount - 1))]
                          : wrongPitch(qu));
            hold();
            break;
        }
        case Plan::KeysAroundClick:
            if (good_ || rng_.chance(60))
                pressRight(0, rng_.between(std::min(1, qu.keysNeeded - 1),
                                           std::max(0, qu.keysNeeded - 1)));
            else
                press(wrongPitch(qu));
            if (physicalAfterScriptEmpty())
                press(right.empty() ? wrongPitch(qu) : right.front());
            clickAnswer(clickRight);
            hold();
            break;
        case Plan::ClickThenKeys:
            clickAnswer(clickRight);
            pressRight(0, rightCount);
            hold();
            break;
        case Plan::ClickInChord:
            if (rightCount >= 2) {
                const int before = rng_.between(1, rightCount - 1);
                pressRight(0, before);
                clickAnswer(clickRight);
                pressRight(before, rightCount);
            } else {
                pressRight(0, rightCount);
                clickAnswer(clickRight);
            }
            hold();
            break;
        case Plan::KeysAfterChord:
            pressRight(0, rightCount);
            for (int extra = rng_.between(1, 3); extra > 0; --extra)
                press(rng_.chance(40) && rightCount > 0
                          ? right[static_cast<std::size_t>(rng_.between(0, rightCount - 1))]
                          : wrongPitch(qu));
            hold();
            break;
        case Plan::HoldThroughExit:
            if (good_ || rng_.chance(70))
                pressRight(0, rightCount);
            else
                press(wrongPitch(qu));
            script_.push_back({Action::UntilGone, q});
            hold();
            break;
        case Plan::None:
            break;
        }
        if (qu.plan == Plan::KeysAroundClick || qu.plan == Plan::ClickThenKeys ||
            qu.plan == Plan::ClickInChord)
            ++figures_.mixedAnswers;
    }

    // True when the script planned so far presses no key.
    bool physicalAfterScriptEmpty() const
    {
        return std::none_of(script_.begin(), script_.end(),
                            [](const Action& a) { return a.kind == Action::Press; });
    }

    void runScript()
    {
        while (!script_.empty()) {
            Action& a = script_.front();
            switch (a.kind) {
            case Action::Wait:
                if (a.value > 0) {
                    --a.value;
                    return;
                }
                break;
            case Action::UntilGone:
                if (s().running() && s().firstOnStaff() <= a.value)
                    return;
                if (!physical_.empty())
                    ++figures_.heldThroughExit;
                break;
            case Action::Press:
                pressKey(a.value);
                break;
            case Action::Click:
                click(a.right);
                break;
            case Action::ReleaseAll:
                releaseAll();
                break;
            }
            script_.pop_front();
            if (!s().running())
                break;
        }
    }

    int channel() { return rng_.between(0, 15); }

    void pressKey(int p)
    {
        if (std::find(physical_.begin(), physical_.end(), p) != physical_.end())
            ++figures_.repeatedNoteOns;
        else
            physical_.push_back(p);
        if (s().takesAnswers() && s().askedQuestion() >= 1)
            ++figures_.midiAnswers;
        midi(static_cast<std::uint8_t>(0x90 | channel()), p, rng_.between(1, 127));
    }

    void releaseKey(int p)
    {
        const int r = rng_.between(1, 100);
        const auto ch = static_cast<std::uint8_t>(channel());
        if (r <= 40)
            midi(static_cast<std::uint8_t>(0x80 | ch), p, 64);
        else if (r <= 60)
            midi(static_cast<std::uint8_t>(0x80 | ch), p, rng_.between(0, 127));
        else
            midi(static_cast<std::uint8_t>(0x90 | ch), p, 0);
    }

    // A key nobody pressed comes up.
    void strayRelease()
    {
        int p = 0;
        do
            p = rng_.between(21, 108);
        while (std::find(physical_.begin(), physical_.end(), p) != physical_.end() ||
               model_.test(static_cast<std::size_t>(p)));
        ++figures_.strayReleases;
        releaseKey(p);
    }

    // Every key down comes up: one by one in any order and form, or by All
    // Notes Off / All Sound Off, after which the keys' own releases change
    // nothing.
    void releaseAll()
    {
        if (rng_.chance(10))
            strayRelease();
        if (!physical_.empty() && rng_.chance(12)) {
            ++figures_.allNotesOff;
            midi(static_cast<std::uint8_t>(0xB0 | channel()), rng_.chance(50) ? 123 : 120, 0);
            if (rng_.chance(50))
                physical_.clear();
        }
        rng_.shuffle(physical_);
        const std::vector<int> keys = std::move(physical_);
        physical_.clear();
        for (int p : keys) {
            releaseKey(p);
            if (rng_.chance(5))
                strayRelease();
        }
    }

    // A key while the next question has not come in judges nothing.
    void strayKey()
    {
        const int p = rng_.between(21, 108);
        pressKey(p);
        releaseAll();
        if (s().askedQuestion() != -99)
            throw SoakFailure("a key played between questions moved the session on");
        ++figures_.strayKeys;
    }

    // The Start button pauses the run; keys and clicks meanwhile count for
    // nothing.
    void pauseAndPoke()
    {
        if (!s().running())
            return;
        ++figures_.pauses;
        Event e = begin(Event::Pause);
        s().pause();
        afterEvent(e);
        const int asked = s().askedQuestion();
        pressKey(rng_.between(36, 90));
        if (rng_.chance(50))
            click(rng_.chance(50));
        releaseAll();
        clock_.advanceMs(rng_.between(100, 5000));
        if (s().askedQuestion() != asked)
            throw SoakFailure("keys played while paused moved the pointer");
        Event r = begin(Event::Resume);
        s().resume();
        afterEvent(r);
    }

    // --- Checks after a run -------------------------------------------------------

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
        expectEq("asked", s().askedQuestion(), -1);
        expectEq("first", s().firstOnStaff(), -1);
        expectEq("last", s().lastOnStaff(), -1);
        expectEq("lastAnswered", s().lastAnsweredQuestion(), -1);
        expectEq("running", s().running(), false);
        expectEq("paused", s().paused(), false);
        expectEq("finished", s().finished(), false);
        expectEq("answered", s().askedIsAnswered(), false);
        expectEq("keys held", s().keysHeld().count(), std::size_t{0});
        expectEq("itemCount", s().questionCount(), static_cast<std::uint32_t>(engine::MaxItems));
        expectEq("interval", s().tickInterval(), 125);
        expectEq("scoreMode", static_cast<int>(s().mode()), 1);
        expectEq("the staff's layer count", image_.layerCount(), layersBefore);
        for (int v = 1; v <= 2; ++v)
            for (int i = 1; i <= engine::MaxItems; ++i) {
                const engine::SheetItem& it = item(v, i);
                if (it.onScreen || it.note() || it.interval() || it.chord())
                    throw SoakFailure("voice " + std::to_string(v) + " of slot " +
                                      std::to_string(i) + " still holds an item");
            }
        for (int i = 1; i <= engine::MaxItems; ++i) {
            if (s().pointerMarkOf(i).layer || s().degreeLabelOf(i).layer)
                throw SoakFailure("the mark or label of slot " + std::to_string(i) +
                                  " still has its layer");
        }
        if (!messages_.first().empty())
            throw SoakFailure("a message was shown: " + messages_.first());
        expectEq("notifications waiting", targets_.pending(), std::size_t{0});
    }

    // Every question was scored exactly once, and the run's record in the
    // stored table grew by just those answers.
    void checkScores()
    {
        std::int64_t voices = 0;
        for (int q = 1; q <= n_; ++q) {
            const Question& qu = question(q);
            voices += qu.units;
            if (qu.units > 0 && qu.verdict == Verdict::None)
                throw SoakFailure("question " + std::to_string(q) + " of " + std::to_string(n_) +
                                  " was never scored");
            if (qu.leftUnanswered)
                ++figures_.unanswered;
        }
        expectEq("answers the run counted",
                 std::int64_t{expected_.rightTotal} + expected_.wrongTotal, voices);
        figures_.scoredRight += expected_.rightTotal;
        figures_.scoredWrong += expected_.wrongTotal;

        const scores::ScoreTable& after = s().scores().storedScores();
        const scores::ScoreRecord& was = storedBefore_[scoreMode_][key_][clefNo_];
        const scores::ScoreRecord& is = after[scoreMode_][key_][clefNo_];
        expectEq("right answers added to the run's record",
                 std::int64_t{is.rightTotal} - was.rightTotal, std::int64_t{expected_.rightTotal});
        expectEq("wrong answers added to the run's record",
                 std::int64_t{is.wrongTotal} - was.wrongTotal, std::int64_t{expected_.wrongTotal});
        expectEq("answers added to the whole stored table",
                 tableTotal(after) - tableTotal(storedBefore_), voices);
        expectEq("answers added to the record's per-item counts",
                 itemStatTotal(is) - itemStatTotal(was), voices);
        scores::ScoreRecord want = was;
        addRecord(want, expected_);
        const std::string differs = counterDifference(is, want);
        if (!differs.empty())
            throw SoakFailure("in the run's stored record " + differs);
        const std::int32_t best = bestSeen_ < storedBest_ ? bestSeen_ : storedBest_;
        expectEq("the stored best time", is.bestTime, best);
        if (is.bestTime != was.bestTime)
            ++figures_.bestTimes;
        expectEq("answers left in the current table", tableTotal(s().scores().currentScores()),
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

    static void addRecord(scores::ScoreRecord& to, const scores::ScoreRecord& add)
    {
        const auto stats = [](auto& x, const auto& y) {
            for (int i = x.low; i <= x.high; ++i) {
                x[i].right += y[i].right;
                x[i].wrong += y[i].wrong;
                x[i].asked += y[i].asked;
            }
        };
        stats(to.noteStats, add.noteStats);
        stats(to.intervalStats, add.intervalStats);
        stats(to.chordStats, add.chordStats);
        to.rightTotal += add.rightTotal;
        to.wrongTotal += add.wrongTotal;
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

    // The run.
    int n_ = 0;
    int scoreMode_ = 1;
    int key_ = 0;
    int clefNo_ = 1;
    bool good_ = false;
    int errorPercent_ = 0;
    std::vector<Question> questions_;
    std::deque<Action> script_;
    int runTicks_ = 0;
    int staleLayers_ = 0;
    int visibleBefore_ = 0;
    scores::ScoreTable storedBefore_;
    std::vector<std::uint8_t> fileBefore_;

    // What the session should have counted so far in the run's current
    // record, judged from the store itself.
    scores::ScoreRecord expected_;
    bool judgedBefore_ = false; // the event's question was judged before it
    bool judgedNow_ = false;    // the event judged its question
    std::int32_t storedBest_ = scores::NoBestTime;
    std::int32_t bestSeen_ = scores::NoBestTime;
    bool timeTaken_ = false;
    bool inRun_ = false; // from Go to the run's end or its Reset

    // Keys down on the keyboard, and those the session should count as held
    // (it counts only what it takes while a run goes on).
    std::vector<int> physical_;
    std::bitset<128> model_;
    std::bitset<128> previousModel_;

    std::array<Event, 40> events_{};
    std::size_t eventCount_ = 0;
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
      << "mixed       " << f.mixedAnswers << " questions answered by mouse and keys together, "
      << f.clicksIgnored << " clicks on questions the keys had judged\n"
      << "keys        " << f.repeatedNoteOns << " struck again while down, " << f.strayReleases
      << " released without being down, " << f.heldThroughExit
      << " times held while their question left, " << f.allNotesOff << " All Notes Off\n"
      << "resets      " << f.resets << " runs abandoned\n"
      << "best time   kept in " << f.bestTimes << " runs, refused to " << f.bestTimesRefused
      << " faster runs under 90 % right\n"
      << "ticks       " << f.ticks << ", events checked " << f.events << "\n";
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
