#include "notation/uMusicalStaff.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace notation {

namespace {

int checkedLayout(int layout)
{
    if (layout != 1 && layout != 2)
        throw std::invalid_argument("Staff layout must be 1 or 2");
    return layout;
}

int trebleHighFor(int trebleRange)
{
    if (trebleRange != 1 && trebleRange != 2)
        throw std::invalid_argument("Treble range must be 1 or 2");
    return trebleRange == 1 ? 84 : 88;
}

template <class Table> float lookUp(const Table& table, int clef, bool sharp, int pitch)
{
    if (pitch < Table::low || pitch > Table::high)
        return rootPositionByRule(clef, sharp, pitch);
    return table[pitch];
}

const gfx::TBitmap32List& checkedPictures(const gfx::TBitmap32List& sprites,
                                          const gfx::TBitmap32List& pictures, int density)
{
    if (density < 1 || density > 3)
        throw std::invalid_argument("Staff density must be 1, 2 or 3");
    if (pictures.count() != sprites.count())
        throw std::invalid_argument("The staff's pictures do not match its sprites");
    for (int i = 0; i < sprites.count(); ++i)
        if (pictures.bitmap(i).width() != density * sprites.bitmap(i).width() ||
            pictures.bitmap(i).height() != density * sprites.bitmap(i).height())
            throw std::invalid_argument("The staff's pictures do not match its sprites");
    return pictures;
}

} // namespace

TMusicalStaff::TMusicalStaff(gfx::TImage32& image, const gfx::TBitmap32List& sprites,
                             platform::Clock& clock, int layout, int trebleRange)
    : TMusicalStaff(image, sprites, sprites, 1, clock, layout, trebleRange)
{
}

TMusicalStaff::TMusicalStaff(gfx::TImage32& image, const gfx::TBitmap32List& sprites,
                             const gfx::TBitmap32List& pictures, int density,
                             platform::Clock& clock, int layout, int trebleRange)
    : narrow(checkedLayout(layout) == 2),
      trebleHigh(trebleHighFor(trebleRange)),
      noteLeft(narrow ? 275.0f : 545.0f),
      accidentalLeftUp(noteLeft - 10),
      accidentalLeftUpShifted(noteLeft - 10),
      accidentalLeftDownShifted(noteLeft - 20),
      accidentalLeftDown(noteLeft - 10),
      ledgerLeft(noteLeft - 5),
      shiftedNoteLeftUp(noteLeft + 11),
      shiftedNoteLeftDown(noteLeft - 11),
      image_(image),
      sprites_(sprites),
      pictures_(checkedPictures(sprites, pictures, density)),
      clock_(clock)
{
    // The staff picture is a copy of the sprite, shown under every layer.
    const gfx::TBitmap32& background = pictures_.bitmap(narrow ? IntervalBarsSprite : ClefsSprite);
    gfx::UpdateBracket bracket(image_);
    image_.setDensity(density);
    image_.bitmap().assign(background);
    reseedFromClock();
}

float TMusicalStaff::getRootPosition(int s, int clef, int pitch) const
{
    if (s < 0 || s >= SignatureCount)
        throw std::out_of_range("Signature index out of range: " + std::to_string(s));
    if (clef != TrebleClef && clef != BassClef)
        throw std::out_of_range("Staff clef out of range: " + std::to_string(clef));

    // C flat in G flat major sits on the C above its sounding B.
    if (s == GFlatMajor && pitchClassOf(pitch) == 11)
        pitch += 1;
    const bool sharp = SharpKeys[static_cast<std::size_t>(s)] == 1;
    if (clef == TrebleClef)
        return lookUp(sharp ? TrebleSharpPositions : TrebleFlatPositions, clef, sharp, pitch);
    return lookUp(sharp ? BassSharpPositions : BassFlatPositions, clef, sharp, pitch);
}

int TMusicalStaff::randomBetween(int low, int high)
{
    if (high < low)
        std::swap(low, high);
    return low + std::uniform_int_distribution<int>(0, high - low)(random_);
}

void TMusicalStaff::reseedFromClock()
{
    random_.seed(static_cast<std::mt19937::result_type>(clock_.timeOfDayMs()));
}

} // namespace notation
