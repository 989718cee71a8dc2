#include "shell/uPiano.h"

#include <algorithm>

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

void TPiano::imgPianoMouseDown(engine::TSheetMusic& session, int x, int y)
{
    if (!session.questionAsked() || pianoHighlightCount > 1)
        return;
    ++pianoHighlightCount;
    const PianoKey key = pianoHitTest(x, y);
    pressedKeys = static_cast<std::uint16_t>(pressedKeys | key.bit);
    gfx::UpdateBracket bracket(image_);
    gfx::TBitmapLayer& layer = image_.addLayer();
    pianoHighlights[static_cast<std::size_t>(pianoHighlightCount - 1)] = gfx::OwnedLayer(layer);
    gfx::setSprite(layer, sprites_.bitmap(key.sprite), static_cast<float>(key.left), 0, true);
}

void TPiano::imgPianoMouseUp(engine::TSheetMusic& session, int, int)
{
    // Once the run's last question has been answered the pointer stays on
    // it, but the session takes no more answers and the keys stay as they
    // are.
    if (!session.questionAsked())
        return;
    session.answerPianoKeys(pressedKeys);
    pressedKeys = 0;
    ClearPiano();
}

void TPiano::ClearPiano()
{
    gfx::UpdateBracket bracket(image_);
    for (gfx::OwnedLayer& h : pianoHighlights)
        h.reset();
    pianoHighlightCount = 0;
}

} // namespace shell
