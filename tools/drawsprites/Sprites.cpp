#include "Sprites.h"

#include "resources/uBmp.h"
#include "resources/uResources.h"
#include "shell/QtBitmap.h"

#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>

namespace drawsprites {
namespace {

constexpr double HeadWidth = 12; // px; the head is then 10 px high, one staff space
constexpr double StemWidth = 1;
constexpr double LedgerLength = 22;
const QColor Ink(0, 0, 0);

// Everything is drawn in the pixels of the 1x picture. At scale k each of
// them is k x k pixels of the image: outlines are rasterised at the finer
// grid (sharp, not enlarged) and rectangles on whole pixels stay crisp,
// k pixels thick.
QImage canvas(int width, int height, int scale)
{
    QImage image(width * scale, height * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void zoom(QPainter& painter, int scale)
{
    if (scale != 1)
        painter.scale(scale, scale);
}

void prepare(QPainter& painter, int scale)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Ink);
    zoom(painter, scale);
}

// Straight rectangles on whole pixels stay crisp under anti-aliasing.
void fillCrisp(QPainter& painter, double x, double y, double w, double h, const QColor& c = Ink)
{
    painter.fillRect(QRectF(x, y, w, h), c);
}

gfx::TBitmap32 toSprite(const QImage& image) { return shell::toBitmap32(image); }

// Key signatures in the standard order; rows are staff positions within the
// signature sprite on the treble staff (row 10 = F5, the top line). On the bass
// staff the same pattern lies one line-equivalent lower (row 10 = A3, so F3 is
// row 20).
constexpr int TrebleSharpRows[7] = {10, 25, 5, 20, 35, 15, 30}; // F5 C5 G5 D5 A4 E5 B4
constexpr int TrebleFlatRows[7] = {30, 15, 35, 20, 40, 25, 45}; // B4 E5 A4 D5 G4 C5 F4
constexpr int BassOffset = 10;
// Per signature index 0..11 (C, Db, D, Eb, E, F, Gb, G, Ab, A, Bb, B): the
// number of sharps (> 0) or flats (< 0).
constexpr int KeyAccidentals[12] = {0, -5, 2, -3, 4, -1, -6, 1, -4, 3, -2, 5};
constexpr int KeyWidth = 72;
constexpr int KeyHeight = 62;
constexpr double KeyFirstRight = 15; // ink right edge of the first sign, a space after the clef
constexpr double SharpStep = 9;
constexpr double FlatStep = 8;

class Engraver {
public:
    Engraver(const MusicFont& font, int scale)
        : font_(font),
          scale_(scale)
    {
        headScale_ = HeadWidth / box(Glyph::BlackHead).width();
        // Accidentals are as large as the sprite rows allow: the sharp's
        // centre lies 10 px below its sprite's top.
        accScale_ = (accidental_row::Sharp + 0.2) / -box(Glyph::Sharp).top();
        for (const Sign s : {Sign::Flat, Sign::Sharp, Sign::Natural, Sign::DoubleFlat,
                             Sign::TripleFlat, Sign::DoubleSharp})
            styles_[static_cast<std::size_t>(s)] = hinted(s);
    }

    QRectF box(Glyph g) const { return font_.outline(g).boundingRect(); }

    // Fills the glyph scaled by (sx, sy) with its reference point at `at`.
    void glyph(QPainter& painter, Glyph g, QPointF at, double sx, double sy) const
    {
        QTransform t;
        t.translate(at.x(), at.y());
        t.scale(sx, sy);
        painter.fillPath(t.map(font_.outline(g)), Ink);
    }

    // A notehead whose left edge is at x and centre on the middle of `row`.
    void head(QPainter& painter, double x, int row) const
    {
        glyph(painter, Glyph::BlackHead,
              QPointF(x - box(Glyph::BlackHead).left() * headScale_, row + 0.5), headScale_,
              headScale_);
    }

    enum class Stem { None, Up, Down, DownOnRight };

    // A quarter note sprite: the head at the left edge, the stem 3.5 spaces
    // long on the head's right (up) or left (down).
    QImage note(Stem stem, int headRow, int height) const
    {
        const int width = static_cast<int>(std::ceil(HeadWidth));
        QImage image = canvas(width, height, scale_);
        QPainter painter(&image);
        prepare(painter, scale_);
        head(painter, 0, headRow);
        const double centre = headRow + 0.5;
        const double length = 3.5 * staff::Space + 0.5;
        switch (stem) {
        case Stem::None:
            break;
        case Stem::Up:
            fillCrisp(painter, width - StemWidth, centre - length, StemWidth, length);
            break;
        case Stem::Down:
            fillCrisp(painter, 0, centre, StemWidth, length);
            break;
        case Stem::DownOnRight:
            fillCrisp(painter, width - StemWidth, centre, StemWidth, length);
            break;
        }
        return image;
    }

    enum class Sign { Flat, Sharp, Natural, DoubleFlat, TripleFlat, DoubleSharp };

    // Draws the sign with its staff position on the middle of `row` and its
    // ink's right edge at `right` (a whole pixel; the sign's own hinting
    // moves it a fraction to the left).
    void sign(QPainter& painter, Sign s, double right, int row) const
    {
        const Style& style = styles_[static_cast<std::size_t>(s)];
        drawSign(painter, s, style, right + style.dx, row);
    }

    QImage accidental(Sign s, int width, int height, int row) const
    {
        QImage image = canvas(width, height, scale_);
        QPainter painter(&image);
        prepare(painter, scale_);
        // Two pixels of paper between the sign and the head.
        sign(painter, s, width - 1.0, row);
        return image;
    }

    QImage keySignature(bool treble, int key) const
    {
        QImage image = canvas(KeyWidth, KeyHeight, scale_);
        QPainter painter(&image);
        prepare(painter, scale_);
        const int count = KeyAccidentals[key];
        const bool sharps = count > 0;
        const int offset = treble ? 0 : BassOffset;
        for (int i = 0; i < std::abs(count); ++i) {
            const int row = (sharps ? TrebleSharpRows[i] : TrebleFlatRows[i]) + offset;
            const double right = KeyFirstRight + i * (sharps ? SharpStep : FlatStep);
            sign(painter, sharps ? Sign::Sharp : Sign::Flat, right, row);
        }
        return image;
    }

    QImage ledgerLines(int lines) const
    {
        QImage image = canvas(static_cast<int>(LedgerLength), 10 * lines + 1, scale_);
        QPainter painter(&image);
        prepare(painter, scale_);
        for (int i = 1; i <= lines; ++i)
            fillCrisp(painter, 0, 10 * i, LedgerLength, 1);
        return image;
    }

    // The grand staff: brace, system line, both staves with their clefs.
    QImage staffPicture(int width) const
    {
        QImage image(width * scale_, staff::Height * scale_, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        prepare(painter, scale_);
        constexpr int SystemLine = 10;
        for (const int top : {staff::TrebleTopLine, staff::BassTopLine})
            for (int i = 0; i < 5; ++i)
                fillCrisp(painter, SystemLine, top + i * staff::Space, width - SystemLine, 1);
        const int systemHeight = staff::BassTopLine + 4 * staff::Space + 1 - staff::TrebleTopLine;
        fillCrisp(painter, SystemLine, staff::TrebleTopLine, 1, systemHeight);

        const double clefScale = staff::Space / UnitsPerSpace;
        const QPainterPath brace = font_.brace(systemHeight / clefScale);
        const QRectF braceBox = brace.boundingRect();
        const double sy = systemHeight / braceBox.height();
        const double sx = std::min(sy, 8.5 / braceBox.width());
        QTransform t;
        t.translate(SystemLine - 1.5, staff::TrebleTopLine + systemHeight / 2.0);
        t.scale(sx, sy);
        // Squeezed into the margin the brace would be a hairline: embolden.
        painter.fillPath(t.map(brace), Ink);
        painter.strokePath(t.map(brace), QPen(Ink, 0.8));

        constexpr double ClefLeft = 12.5;
        const auto clef = [&](Glyph g, int lineRow) {
            glyph(painter, g, QPointF(ClefLeft - box(g).left() * clefScale, lineRow + 0.5),
                  clefScale, clefScale);
        };
        clef(Glyph::GClef, staff::TrebleTopLine + 3 * staff::Space); // on G4
        clef(Glyph::FClef, staff::BassTopLine + staff::Space);       // on F3
        return image;
    }

private:
    // How a sign is drawn: its scale across and down, and the fraction of a
    // pixel it is moved left so that its upright strokes fill whole columns.
    struct Style {
        double sx = 1, sy = 1, dx = 0;
    };

    static Glyph glyphOf(Sign s)
    {
        switch (s) {
        case Sign::Flat:
        case Sign::TripleFlat:
            return Glyph::Flat;
        case Sign::Sharp:
            return Glyph::Sharp;
        case Sign::Natural:
            return Glyph::Natural;
        case Sign::DoubleFlat:
            return Glyph::DoubleFlat;
        case Sign::DoubleSharp:
            return Glyph::DoubleSharp;
        }
        return Glyph::Flat;
    }

    void drawSign(QPainter& painter, Sign s, const Style& style, double right, int row) const
    {
        const double y = row + 0.5;
        const Glyph g = glyphOf(s);
        if (s == Sign::TripleFlat) {
            // No such glyph: three flats at the double flat's spacing.
            const double step =
                (box(Glyph::DoubleFlat).width() - box(Glyph::Flat).width()) * style.sx;
            for (int i = 0; i < 3; ++i)
                glyph(painter, g, QPointF(right - (2 - i) * step - box(g).right() * style.sx, y),
                      style.sx, style.sy);
            return;
        }
        glyph(painter, g, QPointF(right - box(g).right() * style.sx, y), style.sx, style.sy);
    }

    // The middles of the upright strokes crossing the glyph's staff position.
    std::vector<double> strokeMiddles(Glyph g) const
    {
        const QPainterPath& path = font_.outline(g);
        const QRectF b = path.boundingRect();
        std::vector<double> middles;
        double start = 0;
        bool inside = false;
        for (double x = b.left() - 1; x <= b.right() + 1; x += 1) {
            const bool hit = path.contains(QPointF(x, 0));
            if (hit && !inside)
                start = x;
            if (!hit && inside)
                middles.push_back((start + x) / 2);
            inside = hit;
        }
        return middles;
    }

    Style hinted(Sign s) const
    {
        Style style;
        style.sx = style.sy = accScale_;
        const Glyph g = glyphOf(s);
        if (s == Sign::Natural) {
            // As tall as the sharp, but its sprite has a row less above
            // the centre: press it a little flatter.
            const double room = accidental_row::Natural + 0.2;
            style.sx = style.sy = std::min(accScale_, room / -box(g).top());
        }
        // Sharp and natural: strokes a whole number of pixels apart.
        const std::vector<double> strokes = strokeMiddles(g);
        if ((s == Sign::Sharp || s == Sign::Natural) && strokes.size() == 2) {
            const double apart = strokes[1] - strokes[0];
            style.sx = std::max(1.0, std::round(apart * style.sy)) / apart;
        }
        // The shift that leaves the fewest half-covered pixels. Whole
        // pixels at 1x are whole pixels at every denser scale too, so the
        // dense sprites keep it and the sign stays where it is at 1x.
        double best = -1;
        for (int sixteenth = 0; sixteenth < 16; ++sixteenth) {
            const Style trial{style.sx, style.sy, -sixteenth / 16.0};
            QImage image = canvas(40, 40, 1);
            {
                QPainter painter(&image);
                prepare(painter, 1);
                drawSign(painter, s, trial, 30 + trial.dx, 20);
            }
            double blur = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const double a = qAlpha(image.pixel(x, y)) / 255.0;
                    blur += a * (1 - a);
                }
            if (best < 0 || blur < best) {
                best = blur;
                style.dx = trial.dx;
            }
        }
        return style;
    }

    const MusicFont& font_;
    int scale_ = 1;
    double headScale_ = 1;
    double accScale_ = 1;
    std::array<Style, 6> styles_{};
};

// Marks above the staff, drawn at the item's head x: their middle over the
// head's middle (6 px in).
constexpr int MarkWidth = 13;
constexpr int MarkHeight = 28;
constexpr double MarkMiddle = 6;

QImage pointerMark(int scale)
{
    QImage image = canvas(MarkWidth, MarkHeight, scale);
    QPainter painter(&image);
    prepare(painter, scale);
    painter.setBrush(QColor(30, 90, 200));
    QPainterPath arrow;
    arrow.addRect(QRectF(MarkMiddle - 1.5, 3, 3, 11));
    arrow.moveTo(MarkMiddle - 6, 13);
    arrow.lineTo(MarkMiddle + 6, 13);
    arrow.lineTo(MarkMiddle, 25);
    arrow.closeSubpath();
    arrow.setFillRule(Qt::WindingFill);
    painter.drawPath(arrow);
    return image;
}

QImage strokeMark(int scale, const QColor& colour, const std::vector<std::vector<QPointF>>& strokes)
{
    QImage image = canvas(MarkWidth, MarkHeight, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    zoom(painter, scale);
    painter.setPen(QPen(colour, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const auto& stroke : strokes)
        painter.drawPolyline(stroke.data(), static_cast<int>(stroke.size()));
    return image;
}

QImage rightMark(int scale)
{
    return strokeMark(scale, QColor(20, 150, 60), {{{1.5, 14.5}, {5, 19}, {11.5, 8}}});
}

QImage wrongMark(int scale)
{
    return strokeMark(scale, QColor(210, 30, 30),
                      {{{1.8, 9.3}, {10.2, 18.7}}, {{10.2, 9.3}, {1.8, 18.7}}});
}

QImage eyeMark(int scale)
{
    QImage image = canvas(MarkWidth, MarkHeight, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    zoom(painter, scale);
    const double y = 14;
    QPainterPath almond;
    almond.moveTo(0.7, y);
    almond.quadTo(MarkMiddle, y - 8, 11.3, y);
    almond.quadTo(MarkMiddle, y + 8, 0.7, y);
    painter.setPen(QPen(QColor(50, 50, 70), 1.3));
    painter.setBrush(Qt::white);
    painter.drawPath(almond);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 100, 180));
    painter.drawEllipse(QPointF(MarkMiddle, y), 2.6, 2.6);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(MarkMiddle, y), 1.1, 1.1);
    return image;
}

QFont numeralFont()
{
    // The serif of the URW base fonts (fonts-urw-base35), close to the type
    // LilyPond sets text in.
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            "/usr/share/fonts/opentype/urw-base35/C059-Roman.otf");
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            std::fprintf(stderr, "warning: C059-Roman.otf (fonts-urw-base35) is missing; "
                                 "numerals use the default serif\n");
            return QString("serif");
        }
        return families.front();
    }();
    QFont font(family);
    font.setPixelSize(16);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Numerals stand 10 px left of the head, centred under its middle.
constexpr int NumeralWidth = 32;
constexpr int NumeralHeight = 20;

QImage numeral(const QString& text, int scale)
{
    QImage image = canvas(NumeralWidth, NumeralHeight, scale);
    QPainter painter(&image);
    prepare(painter, scale);
    const QFont font = numeralFont();
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    const double middle = -staff::NumeralLeft + HeadWidth / 2;
    const double baseline = 16;
    painter.drawPath(path.translated(std::round((middle - box.center().x()) * 2) / 2, baseline));
    return image;
}

// Piano highlights: a blue tint laid over the key, opaque enough to show on
// black, light enough to keep the key's own look.
const gfx::Color32 TintColour = gfx::color32(60, 130, 235);
constexpr unsigned WhiteTintAlpha = 120;
constexpr unsigned BlackTintAlpha = 170;

struct WhiteKeyShape {
    int width;
    int upperFrom, upperTo; // columns beside the black keys, rows 1..42
    int lowerFrom, lowerTo; // columns below them, rows 43..69
};
// Sprites are placed at the key's left edge of the hit-test table: C at the
// octave's edge (its column 0 is the line between B and C), the others one
// column past the line.
constexpr WhiteKeyShape WhiteKeys[7] = {
    {20, 1, 10, 1, 19}, // C: C sharp from column 11
    {19, 3, 14, 0, 18}, // D: between C sharp (..23) and D sharp (36..)
    {19, 8, 18, 0, 18}, // E: after D sharp (..48), up to the line at 60
    {19, 0, 9, 0, 18},  // F: up to F sharp (71..)
    {19, 3, 12, 0, 18}, // G: between F sharp (..83) and G sharp (94..)
    {19, 6, 15, 0, 18}, // A: between G sharp (..106) and A sharp (117..)
    {19, 9, 18, 0, 18}, // B: after A sharp (..129)
};

// The highlights are whole pixels of the 1x picture, so at scale k every
// one of them is a k x k block.
gfx::TBitmap32 whiteKeyHighlight(const WhiteKeyShape& shape, int scale)
{
    gfx::TBitmap32 sprite(shape.width * scale, piano::Height * scale, 0);
    const gfx::Color32 tint = (TintColour & 0xFFFFFFu) | (gfx::Color32{WhiteTintAlpha} << 24);
    for (int y = scale; y < (piano::Height - 1) * scale; ++y) {
        const bool upper = y / scale <= piano::BlackBottom;
        const int from = upper ? shape.upperFrom : shape.lowerFrom;
        const int to = upper ? shape.upperTo : shape.lowerTo;
        for (int x = from * scale; x < (to + 1) * scale; ++x)
            sprite.setPixel(x, y, tint);
    }
    return sprite;
}

gfx::TBitmap32 blackKeyHighlight(int scale)
{
    gfx::TBitmap32 sprite(piano::BlackWidth * scale, (piano::BlackBottom + 1) * scale, 0);
    sprite.fill((TintColour & 0xFFFFFFu) | (gfx::Color32{BlackTintAlpha} << 24));
    return sprite;
}

} // namespace

std::vector<gfx::TBitmap32> drawSprites(const MusicFont& font, int scale)
{
    const Engraver engraver(font, scale);
    using Stem = Engraver::Stem;
    using Sign = Engraver::Sign;
    std::vector<gfx::TBitmap32> sprites;
    const auto add = [&](const QImage& image) { sprites.push_back(toSprite(image)); };

    for (const bool treble : {true, false})
        for (int key = 0; key < 12; ++key)
            add(engraver.keySignature(treble, key));

    const int upHeight = staff::HeadRowUp + 6;                             // head rows 30..40
    const int downHeight = staff::HeadRowDown + 36;                        // stem down to row 40
    add(engraver.note(Stem::Up, staff::HeadRowUp, upHeight));              // 24
    add(engraver.note(Stem::None, staff::HeadRowUp, upHeight));            // 25
    add(engraver.note(Stem::Down, staff::HeadRowDown, downHeight));        // 26
    add(engraver.note(Stem::DownOnRight, staff::HeadRowDown, downHeight)); // 27
    add(engraver.note(Stem::None, staff::HeadRowDown, 2 * staff::HeadRowDown + 1)); // 28

    add(engraver.accidental(Sign::Flat, 9, 19, accidental_row::Flat));              // 29
    add(engraver.accidental(Sign::Sharp, 9, 21, accidental_row::Sharp));            // 30
    add(engraver.accidental(Sign::Natural, 9, 19, accidental_row::Natural));        // 31
    add(engraver.accidental(Sign::DoubleFlat, 14, 19, accidental_row::Flat));       // 32
    add(engraver.accidental(Sign::TripleFlat, 19, 19, accidental_row::Flat));       // 33
    add(engraver.accidental(Sign::DoubleSharp, 9, 9, accidental_row::DoubleSharp)); // 34

    for (int lines = 1; lines <= 3; ++lines)
        add(engraver.ledgerLines(lines)); // 35..37

    add(pointerMark(scale)); // 38
    add(rightMark(scale));   // 39
    add(wrongMark(scale));   // 40
    add(eyeMark(scale));     // 41

    add(engraver.staffPicture(staff::WideWidth));   // 42
    add(engraver.staffPicture(staff::NarrowWidth)); // 43

    sprites.push_back(blackKeyHighlight(scale)); // 44
    for (const WhiteKeyShape& shape : WhiteKeys)
        sprites.push_back(whiteKeyHighlight(shape, scale)); // 45..51

    for (const char* text : {"I", "II", "III", "IV", "V", "VI", "VII"})
        add(numeral(QString::fromLatin1(text), scale)); // 52..58
    return sprites;
}

gfx::TBitmap32 drawPiano(int scale)
{
    QImage image(piano::Width * scale, piano::Height * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(252, 251, 247));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    zoom(painter, scale);
    const int keysBottom = piano::Height - 1;

    // A little shade at the front edge of every white key.
    QLinearGradient front(0, keysBottom - 6, 0, keysBottom);
    front.setColorAt(0, QColor(252, 251, 247));
    front.setColorAt(1, QColor(218, 216, 208));
    painter.fillRect(QRectF(0, keysBottom - 6, piano::Width, 6), front);

    const QColor line(95, 95, 95);
    for (int x = 0; x < piano::Width; x += piano::WhiteKey)
        fillCrisp(painter, x, 0, 1, piano::Height, line);
    fillCrisp(painter, 0, 0, piano::Width, 1, QColor(70, 70, 70));
    fillCrisp(painter, 0, keysBottom, piano::Width, 1, QColor(70, 70, 70));

    for (int octave = 0; octave * piano::Octave < piano::Width - 1; ++octave) {
        for (const int left : piano::BlackLefts) {
            const int x = octave * piano::Octave + left;
            const int h = piano::BlackBottom + 1;
            fillCrisp(painter, x, 0, piano::BlackWidth, h, QColor(22, 22, 24));
            // The key's top face, lit from the front.
            QLinearGradient face(0, 0, 0, h - 5);
            face.setColorAt(0, QColor(40, 40, 44));
            face.setColorAt(1, QColor(72, 72, 78));
            painter.fillRect(QRectF(x + 2, 1, piano::BlackWidth - 4, h - 6), face);
        }
    }
    painter.end();
    gfx::TBitmap32 bitmap = shell::toBitmap32(image);
    for (gfx::Color32& c : bitmap.bits())
        c |= 0xFF000000u;
    return bitmap;
}

namespace {

// The images the pack builder reads for one sprite.
struct SpriteImages {
    gfx::TBitmap32 colour;
    gfx::TBitmap32 mask; // empty for a sprite with its own alpha
};

SpriteImages imagesOf(const gfx::TBitmap32& sprite, bool masked)
{
    if (!masked)
        return {sprite, {}};
    // The colour where there is ink (white under nothing, so the image
    // reads on its own); the coverage as grey in the mask.
    SpriteImages images{gfx::TBitmap32(sprite.width(), sprite.height()),
                        gfx::TBitmap32(sprite.width(), sprite.height())};
    for (int y = 0; y < sprite.height(); ++y) {
        for (int x = 0; x < sprite.width(); ++x) {
            const gfx::Color32 c = sprite.pixel(x, y);
            const unsigned a = gfx::alphaOf(c);
            images.colour.setPixel(x, y, a == 0 ? gfx::color32(255, 255, 255) : (c | 0xFF000000u));
            images.mask.setPixel(x, y, gfx::color32(a, a, a));
        }
    }
    return images;
}

int bitsPerPixel(bool masked) { return masked ? 24 : 32; }

} // namespace

void writeSpriteImages(const std::vector<gfx::TBitmap32>& sprites,
                       const std::filesystem::path& imagesFolder)
{
    std::filesystem::create_directories(imagesFolder);
    for (std::size_t i = 0; i < resources::SpriteFiles.size(); ++i) {
        const resources::SpriteFile& file = resources::SpriteFiles[i];
        const std::string name(file.name);
        const SpriteImages images = imagesOf(sprites.at(i), file.masked);
        resources::saveBmp(images.colour, imagesFolder / (name + ".bmp"),
                           bitsPerPixel(file.masked));
        if (file.masked)
            resources::saveBmp(images.mask, imagesFolder / (name + "-neg.bmp"), 24);
    }
}

gfx::TBitmap32List packedSprites(const std::vector<gfx::TBitmap32>& sprites)
{
    // Through the same image files in memory, so that a dense pack holds
    // what the builder would have read from them, alpha of masks included.
    const auto roundTrip = [](const gfx::TBitmap32& image, int bits) {
        return resources::decodeBmp(resources::encodeBmp(image, bits));
    };
    gfx::TBitmap32List list;
    for (std::size_t i = 0; i < resources::SpriteFiles.size(); ++i) {
        const bool masked = resources::SpriteFiles[i].masked;
        const SpriteImages images = imagesOf(sprites.at(i), masked);
        gfx::TBitmap32 colour = roundTrip(images.colour, bitsPerPixel(masked));
        if (masked)
            resources::alphaFromMask(colour, roundTrip(images.mask, 24));
        list.add().assign(colour);
    }
    return list;
}

} // namespace drawsprites
