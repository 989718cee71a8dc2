#pragma once

// The music glyphs the sprites are engraved with: LilyPond's Emmentaler font
// (Debian lilypond-fonts, SIL OFL), read as outlines so they can be scaled to
// any size without hinting.

#include <QPainterPath>
#include <QString>

#include <array>

namespace drawsprites {

// Emmentaler's em is four staff spaces; outlines are kept in font units.
constexpr double UnitsPerEm = 1000;
constexpr double UnitsPerSpace = UnitsPerEm / 4;

enum class Glyph { GClef, FClef, BlackHead, Flat, Sharp, Natural, DoubleFlat, DoubleSharp };
constexpr int GlyphCount = 8;

class MusicFont {
public:
    // Finds the fonts under /usr/share/lilypond/<version>/fonts/otf/ and checks
    // that every glyph at its code point has the shape expected of it. Throws
    // std::runtime_error saying what is missing or wrong.
    static MusicFont load();

    // Outline in font units, y growing downwards, origin at the glyph's
    // reference point (a head's left edge on its staff position, a clef's
    // line, an accidental's staff position).
    const QPainterPath& outline(Glyph g) const { return outlines_[static_cast<std::size_t>(g)]; }

    // The brace whose height in font units is nearest to `height`, its right
    // edge at x 0 and its middle at y 0.
    QPainterPath brace(double height) const;

    const QString& file() const { return file_; }

private:
    MusicFont() = default;

    std::array<QPainterPath, GlyphCount> outlines_;
    QString braceFamily_;
    QString file_;
};

} // namespace drawsprites
