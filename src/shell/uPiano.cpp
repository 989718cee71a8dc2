#include "shell/uPiano.h"

#include <algorithm>
#include <bit>

namespace shell {

namespace {

constexpr int OctaveWidth = 140;
constexpr int UpperZoneBottom = 42; // last row of the black keys

struct ZoneKey {
    int lastX; // within the octave
    PianoKey key;
};

// Black keys and the white parts between them.
constexpr std::array<ZoneKey, 12> UpperZone{{{10, {0, 1, 45, 0}},
                                             {23, {1, 2, 44, 11}},
                                             {35, {2, 4, 46, 21}},
                                             {48, {3, 8, 44, 36}},
                                             {59, {4, 16, 47, 41}},
                                             {70, {5, 32, 48, 61}},
                                             {83, {6, 64, 44, 71}},
                                             {93, {7, 128, 49, 81}},
                                             {106, {8, 256, 44, 94}},
                                             {116, {9, 512, 50, 101}},
                                             {128, {10, 1024, 44, 117}},
                                             {139, {11, 2048, 51, 121}}}};
// White keys only.
constexpr std::array<ZoneKey, 7> LowerZone{{{20, {0, 1, 45, 0}},
                                            {40, {2, 4, 46, 21}},
                                            {60, {4, 16, 47, 41}},
                                            {80, {5, 32, 48, 61}},
                                            {100, {7, 128, 49, 81}},
                                            {120, {9, 512, 50, 101}},
                                            {139, {11, 2048, 51, 121}}}};

template <std::size_t N> PianoKey lookUp(const std::array<ZoneKey, N>& zone, int r, int base)
{
    for (const ZoneKey& z : zone)
        if (r <= z.lastX)
            return {z.key.pitchClass, z.key.bit, z.key.sprite, base + z.key.left};
    return {}; // r is at most 139
}

} // namespace

PianoPoint pianoPointOf(int pitchClass)
{
    static constexpr std::array<int, 12> X = {10, 17, 30, 42, 50, 70, 77, 90, 100, 110, 122, 130};
    const auto pc = static_cast<std::size_t>(((pitchClass % 12) + 12) % 12);
    const bool black = pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
    return {140 + X[pc], black ? 10 : 60};
}

PianoKey pianoHitTest(int x, int y)
{
    x = std::clamp(x, 0, 4 * OctaveWidth - 1);
    const int base = OctaveWidth * (x / OctaveWidth);
    const int r = x % OctaveWidth;
    return y <= UpperZoneBottom ? lookUp(UpperZone, r, base) : lookUp(LowerZone, r, base);
}

TPiano::TPiano(gfx::TImage32& image, const gfx::TBitmap32List& sprites)
    : image_(image),
      sprites_(sprites)
{
}

void TPiano::highlight(const PianoKey& key)
{
    gfx::UpdateBracket bracket(image_);
    gfx::OwnedLayer& h = highlights_[static_cast<std::size_t>(key.pitchClass)];
    if (!h)
        h = gfx::OwnedLayer(image_.addLayer());
    gfx::setSprite(*h, sprites_.bitmap(key.sprite), static_cast<float>(key.left), 0, true);
}

void TPiano::unhighlight(int pitchClass)
{
    gfx::UpdateBracket bracket(image_);
    highlights_[static_cast<std::size_t>(pitchClass)].reset();
}

std::int32_t TPiano::highlightCount() const
{
    return static_cast<std::int32_t>(
        std::count_if(highlights_.begin(), highlights_.end(), [](const auto& h) { return !!h; }));
}

void TPiano::followQuestion(const engine::TSheetMusic& session)
{
    if (collectedKeys != 0 && session.askedQuestion() != collectedFor_)
        ClearPiano();
}

void TPiano::imgPianoMouseDown(engine::TSheetMusic& session, int x, int y)
{
    if (!session.questionAsked())
        return;
    followQuestion(session);
    const PianoKey key = pianoHitTest(x, y);
    pressed_ = key.pitchClass;
    highlight(key);
}

void TPiano::imgPianoMouseUp(engine::TSheetMusic& session, int, int)
{
    // Once the run's last question has been answered the pointer stays on
    // it, but the session takes no more answers and the keys stay as they
    // are.
    if (!session.questionAsked() || pressed_ < 0)
        return;
    const auto bit = static_cast<std::uint16_t>(1u << pressed_);
    if ((collectedKeys & bit) != 0) {
        collectedKeys = static_cast<std::uint16_t>(collectedKeys & ~bit); // taken back
        unhighlight(pressed_);
    } else {
        collectedKeys = static_cast<std::uint16_t>(collectedKeys | bit);
    }
    pressed_ = -1;
    collectedFor_ = session.askedQuestion();
    const int needed = std::popcount(session.askedPitchClasses());
    if (needed == 0 || std::popcount(collectedKeys) < needed)
        return;
    const std::uint16_t answer = collectedKeys;
    ClearPiano();
    session.answerPianoKeys(answer);
}

void TPiano::showPitch(int pitch, bool shown)
{
    const int pc = ((pitch % 12) + 12) % 12;
    if (!shown) {
        // A key the mouse collected keeps its highlight.
        if ((collectedKeys & (1u << pc)) == 0)
            unhighlight(pc);
        return;
    }
    // The picture's four octaves start at C3; other octaves fold into it.
    const int octave = std::clamp(pitch / 12 - 4, 0, 3);
    const PianoPoint p = pianoPointOf(pc); // in the second octave
    highlight(pianoHitTest(p.x + (octave - 1) * OctaveWidth, p.y));
}

void TPiano::ClearPiano()
{
    gfx::UpdateBracket bracket(image_);
    for (gfx::OwnedLayer& h : highlights_)
        h.reset();
    collectedKeys = 0;
    collectedFor_ = -1;
    pressed_ = -1;
}

} // namespace shell
