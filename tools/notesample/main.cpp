// Renders the notation sample sheets into a folder, drawn by the real items
// on the real staff with the shipped sprite pack, for checking by eye:
//
//   notes-sample.png      a chromatic run over each staff in six keys
//   intervals-sample.png  every interval kind on a stem-up and a stem-down
//                         root, in C, E and F major, on both staves
//   chords-sample.png     every chord kind in every inversion in C major,
//                         and the diminished seventh on C flat in G flat major
//   session-sample.png    the main window's staff during two runs
//
//   tessaly-notesample <data folder> <output folder>

#include "engine/testing/SessionProbe.h"
#include "engine/uSheetMusic.h"
#include "gfx/Image32.h"
#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uKey.h"
#include "notation/uMusicalStaff.h"
#include "notation/uNote.h"
#include "platform/midi/LoopbackMidiService.h"
#include "platform/testing/FakeClock.h"
#include "platform/testing/QueuedNotifyTarget.h"
#include "platform/testing/Recorders.h"
#include "resources/uResources.h"
#include "shell/QtBitmap.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace notation;

constexpr float FirstX = 115; // clear of a six-accidental signature
// Chords and intervals stagger their signs further left.
constexpr float FirstStackX = 165;
constexpr float LastX = 560;

struct Band {
    int clef;
    int top; // the part of the staff picture to keep
    int height;
};
constexpr Band TrebleBand{TrebleClef, 5, 150};
constexpr Band BassBand{BassClef, 120, 140};
const Band& bandOf(int clef) { return clef == TrebleClef ? TrebleBand : BassBand; }

// Places one item at x on the staff and returns what owns its layers.
using Placer = std::function<std::shared_ptr<void>(TMusicalStaff&, float x)>;

// One staff picture (layout 1) with the key's signature and the items spread
// evenly from FirstX.
QImage renderRow(const gfx::TBitmap32List& sprites, int key, const Band& band,
                 const std::vector<Placer>& items, float firstX = FirstX)
{
    platform::testing::FakeClock clock; // no real pauses between random draws
    gfx::TImage32 image;
    TMusicalStaff staff(image, sprites, clock, 1, 2);
    TKey signature(staff);
    signature.DrawKey(staff, key);
    const float spacing =
        items.size() > 1 ? std::min(110.0f, (LastX - firstX) / static_cast<float>(items.size() - 1))
                         : 0;
    std::vector<std::shared_ptr<void>> keep;
    for (std::size_t i = 0; i < items.size(); ++i)
        keep.push_back(items[i](staff, firstX + spacing * static_cast<float>(i)));
    gfx::TBitmap32 out;
    image.compose(out);
    return shell::toQImage(out).copy(0, band.top, out.width(), band.height);
}

using Rows = std::vector<std::pair<QString, QImage>>;

bool saveSheet(const Rows& rows, const std::string& path)
{
    constexpr int Caption = 18;
    int width = 0;
    int height = 0;
    for (const auto& [caption, row] : rows) {
        width = std::max(width, row.width());
        height += Caption + row.height();
    }
    QImage sheet(width, height, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    int y = 0;
    for (const auto& [caption, row] : rows) {
        painter.drawText(QRect(8, y + 2, width - 16, Caption - 2), Qt::AlignLeft | Qt::AlignVCenter,
                         caption);
        painter.drawImage(0, y + Caption, row);
        y += Caption + row.height();
    }
    painter.end();
    if (!sheet.save(QString::fromStdString(path))) {
        std::fprintf(stderr, "Cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

QString pitchName(int key, int pitch)
{
    return QString::fromUtf8(noteNameIn(key, pitchClassOf(pitch)).data()) +
           QString::number(octaveOf(pitch));
}

struct Key {
    int s;
    const char* name;
};

// --- Notes -------------------------------------------------------------------------

Placer notePlacer(int key, int clef, int pitch)
{
    return [=](TMusicalStaff& staff, float x) {
        auto n = std::make_shared<TNote>(staff, key, clef, pitch, false);
        n->DrawNote(staff, true);
        n->MoveNote(staff, staff.noteLeft - x);
        return std::shared_ptr<void>(n);
    };
}

Rows noteRows(const gfx::TBitmap32List& sprites)
{
    const std::vector<Key> keys{{0, "C major"},      {7, "G major"},  {5, "F major"},
                                {1, "D flat major"}, {11, "B major"}, {6, "G flat major"}};
    Rows rows;
    for (const Key& k : keys) {
        for (int clef : {TrebleClef, BassClef}) {
            const int first = clef == TrebleClef ? 53 : 36;
            const int last = clef == TrebleClef ? 88 : 67;
            const int perRow = clef == TrebleClef ? 18 : 16;
            for (int low = first; low <= last; low += perRow) {
                const int high = std::min(low + perRow - 1, last);
                std::vector<Placer> items;
                for (int p = low; p <= high; ++p)
                    items.push_back(notePlacer(k.s, clef, p));
                rows.emplace_back(QStringLiteral("%1, %2 clef, %3 to %4")
                                      .arg(k.name, clef == TrebleClef ? "treble" : "bass",
                                           pitchName(k.s, low), pitchName(k.s, high)),
                                  renderRow(sprites, k.s, bandOf(clef), items));
            }
        }
    }
    return rows;
}

// --- Intervals ---------------------------------------------------------------------

// The first root from `from` upwards (at most `to`) that carries the kind.
std::optional<int> intervalRoot(TMusicalStaff& staff, int key, int clef, int kind, int from, int to)
{
    for (int r = from; r <= to; ++r) {
        try {
            TInterval probe(staff, key, clef, kind, r);
            return r;
        } catch (const std::invalid_argument&) {
        }
    }
    return std::nullopt;
}

Placer intervalPlacer(int key, int clef, int kind, bool down)
{
    return [=](TMusicalStaff& staff, float x) -> std::shared_ptr<void> {
        const bool treble = clef == TrebleClef;
        const std::optional<int> root =
            down ? intervalRoot(staff, key, clef, kind, treble ? 72 : 51, treble ? 88 : 67)
                 : intervalRoot(staff, key, clef, kind, treble ? 60 : 43, treble ? 71 : 50);
        if (!root)
            return nullptr;
        auto i = std::make_shared<TInterval>(staff, key, clef, kind, *root);
        i->DrawInterval(staff, true);
        i->MoveInterval(staff, staff.noteLeft - x);
        return i;
    };
}

Rows intervalRows(const gfx::TBitmap32List& sprites)
{
    const std::vector<Key> keys{{0, "C major"}, {4, "E major"}, {5, "F major"}};
    Rows rows;
    for (const Key& k : keys)
        for (int clef : {TrebleClef, BassClef})
            for (bool down : {false, true})
                for (int first : {1, 9}) {
                    const int last = first == 1 ? 8 : 15;
                    std::vector<Placer> items;
                    for (int kind = first; kind <= last; ++kind)
                        items.push_back(intervalPlacer(k.s, clef, kind, down));
                    rows.emplace_back(
                        QStringLiteral("%1, %2 clef, stems %3: %4 to %5")
                            .arg(k.name, clef == TrebleClef ? "treble" : "bass",
                                 down ? "down" : "up",
                                 QString::fromUtf8(
                                     IntervalNames[static_cast<std::size_t>(first)].data()),
                                 QString::fromUtf8(
                                     IntervalNames[static_cast<std::size_t>(last)].data())),
                        renderRow(sprites, k.s, bandOf(clef), items, FirstStackX));
                }
    return rows;
}

// --- Chords ------------------------------------------------------------------------

// The root is always random: build until it lies in low..high.
Placer chordPlacer(int key, int clef, int kind, int inversion, int degree, int low, int high)
{
    return [=](TMusicalStaff& staff, float x) -> std::shared_ptr<void> {
        for (int n = 0; n < 2000; ++n) {
            auto c = std::make_shared<TChord>(staff, key, clef, kind, inversion, degree);
            if (c->getRoot() < low || c->getRoot() > high)
                continue;
            c->DrawChord(staff, true);
            c->MoveChord(staff, staff.noteLeft - x);
            return c;
        }
        return nullptr;
    };
}

// The first scale degree 1..7 that carries the kind.
int degreeFor(int kind)
{
    constexpr int Steps[] = {0, 2, 4, 5, 7, 9, 11};
    for (int d = 1; d <= 7; ++d)
        if (chordAllowed(Steps[d - 1], kind))
            return d;
    return -1;
}

Rows chordRows(const gfx::TBitmap32List& sprites)
{
    Rows rows;
    for (int first = 1; first <= ChordKindCount; first += 2) {
        std::vector<Placer> items;
        QString names;
        for (int kind = first; kind <= first + 1; ++kind) {
            const int inversions = ChordKinds[static_cast<std::size_t>(kind)].count == 4 ? 4 : 3;
            for (int inversion = 0; inversion < inversions; ++inversion)
                items.push_back(
                    chordPlacer(0, TrebleClef, kind, inversion, degreeFor(kind), 60, 71));
            names += (kind == first ? "" : ", ") +
                     QString::fromUtf8(ChordNames[static_cast<std::size_t>(kind)].data());
        }
        rows.emplace_back(
            QStringLiteral("C major, treble clef, root position and inversions: %1").arg(names),
            renderRow(sprites, 0, TrebleBand, items, FirstStackX));
    }
    for (int clef : {TrebleClef, BassClef}) {
        std::vector<Placer> items;
        const int low = clef == TrebleClef ? 59 : 47;
        for (int inversion = 0; inversion < 4; ++inversion)
            items.push_back(chordPlacer(GFlatMajor, clef, 11, inversion, -1, low, low));
        rows.emplace_back(QStringLiteral("G flat major, %1 clef: Fully-Dim Seventh on C flat, "
                                         "root position and inversions")
                              .arg(clef == TrebleClef ? "treble" : "bass"),
                          renderRow(sprites, GFlatMajor, bandOf(clef), items, FirstStackX));
    }
    return rows;
}

// --- A run in progress ----------------------------------------------------------------

// The main window's staff during a run: questions scrolling, the pointer on
// the asked one, a right and a wrong mark, the eye on the next question, and
// for the chord progression the roman numerals.
QImage sessionPicture(const gfx::TBitmap32List& sprites, std::uint8_t kind, std::int32_t subKind,
                      int ticks, const std::filesystem::path& scratch)
{
    platform::testing::FakeClock clock;
    gfx::TImage32 image;
    TMusicalStaff staff(image, sprites, clock, 2, 2);
    TKey signature(staff);
    signature.DrawKey(staff, 2);
    platform::testing::RecordingTextLabel progress, wait;
    platform::testing::RecordingMessageBoxes messages;
    platform::midi::LoopbackMidiService midi;
    platform::testing::QueuedNotifyTargets targets;
    engine::TSheetMusic session(staff, progress, wait, messages, midi, targets, scratch);
    engine::KindFilter none;
    session.prepareRun(engine::RunSettings{.kind = static_cast<engine::ExerciseKind>(kind),
                                           .key = 2,
                                           .clef = engine::ClefSetting::Both,
                                           .intervalFilter = none,
                                           .chordFilter = none,
                                           .progression = subKind,
                                           .scaleVariant = 1});
    session.Go();
    for (int t = 0; t < ticks; ++t)
        session.Next();
    // Mark the oldest two as answered, right and wrong, as the judge would.
    session.setPointerMark(session.firstOnStaff(), engine::RightSprite);
    session.setPointerMark(session.firstOnStaff() + 1, engine::WrongSprite);
    engine::SessionProbe::heldKeys(session).set(60);
    session.setPointerMark(session.firstOnStaff() + 1, engine::WrongSprite); // eye on the next
    gfx::TBitmap32 out;
    image.compose(out);
    return shell::toQImage(out);
}

Rows sessionRows(const gfx::TBitmap32List& sprites)
{
    const auto scratch = std::filesystem::temp_directory_path() / "tessaly-notesample";
    std::filesystem::create_directories(scratch);
    Rows rows;
    rows.emplace_back(QStringLiteral("D major, both staves, a scale run after 30 ticks"),
                      sessionPicture(sprites, 6, 0, 30, scratch));
    rows.emplace_back(QStringLiteral("D major, progression II-V-I after 40 ticks"),
                      sessionPicture(sprites, 5, 3, 40, scratch));
    std::filesystem::remove_all(scratch);
    return rows;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessaly-notesample <data folder> <output folder>\n");
        return 2;
    }
    std::optional<resources::TKeyResources> pack;
    try {
        pack.emplace(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const auto& sprites = pack->imgVorlanta;
    const std::string out = argv[2];
    const bool ok = saveSheet(noteRows(sprites), out + "/notes-sample.png") &&
                    saveSheet(intervalRows(sprites), out + "/intervals-sample.png") &&
                    saveSheet(chordRows(sprites), out + "/chords-sample.png") &&
                    saveSheet(sessionRows(sprites), out + "/session-sample.png");
    return ok ? 0 : 1;
}
