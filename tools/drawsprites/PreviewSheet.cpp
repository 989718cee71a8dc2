#include "PreviewSheet.h"

#include "Sprites.h"

#include "gfx/Image32.h"
#include "resources/uResources.h"
#include "shell/QtBitmap.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace drawsprites {
namespace {

// Sprite indices, as the pack orders them.
enum : int {
    Up = 24,
    UpShifted = 25,
    Down = 26,
    DownShifted = 28,
    Flat = 29,
    Sharp = 30,
    Natural = 31,
    DoubleFlat = 32,
    TripleFlat = 33,
    DoubleSharp = 34,
    Ledger1 = 35,
    Pointer = 38,
    Right = 39,
    Wrong = 40,
    Eye = 41,
    WideStaff = 42,
    NarrowStaff = 43,
    BlackKey = 44,
    WhiteC = 45,
    NumeralI = 52,
};

constexpr int Treble = 1;
constexpr int Bass = 2;
constexpr int C = 0, D = 1, E = 2, F = 3, G = 4, A = 5, B = 6;

// One written note of an item: its letter (C = 0 .. B = 6), octave, the sign
// in front of it (a sprite index, or -1) and whether its head is moved to the
// other side of the stem.
struct Written {
    int letter;
    int octave;
    int sign = -1;
    bool shifted = false;
};

// The top of a stem-up head sprite for a written note.
float rootPosition(int clef, int letter, int octave)
{
    const float base = clef == Treble ? 95.0f : 135.0f;
    return base - 5.0f * static_cast<float>(7 * (octave - 4) + letter);
}

float signDrop(int sign)
{
    switch (sign) {
    case Sharp:
        return 25;
    case Natural:
        return 26;
    case DoubleSharp:
        return 31;
    default:
        return 22; // the flats
    }
}

// A staff picture with layers put on it the way the program's items do.
class Scene {
public:
    Scene(const gfx::TBitmap32List& sprites, int staffSprite, int key)
        : sprites_(sprites)
    {
        image_.bitmap().assign(sprites.bitmap(staffSprite));
        put(key, staff::KeyLeft, staff::TrebleKeyTop);
        put(12 + key, staff::KeyLeft, staff::BassKeyTop);
    }

    void put(int sprite, float left, float top)
    {
        gfx::setSprite(image_.addLayer(), sprites_.bitmap(sprite), left, top, true);
    }

    // Places the heads (lowest first) of one note, interval or chord at x,
    // with accidentals staggered and the ledger lines the outer heads need.
    void item(float x, int clef, bool stemDown, const std::vector<Written>& notes)
    {
        struct Placed {
            float headTop, headLeft;
            int head;
            int sign;
            float signTop, signLeft;
            bool shifted;
        };
        std::vector<Placed> placed;
        for (const Written& n : notes) {
            Placed p{};
            const float root = rootPosition(clef, n.letter, n.octave);
            p.shifted = n.shifted;
            p.head = stemDown ? (n.shifted ? DownShifted : Down) : (n.shifted ? UpShifted : Up);
            p.headTop = root + (stemDown ? 30.0f : 0.0f);
            p.headLeft =
                x + (n.shifted ? static_cast<float>(stemDown ? staff::ShiftDown : staff::ShiftUp)
                               : 0.0f);
            p.sign = n.sign;
            if (n.sign >= 0) {
                p.signTop = root + signDrop(n.sign);
                p.signLeft = x - staff::AccidentalGap - (stemDown && n.shifted ? 10.0f : 0.0f);
                if (n.sign == DoubleFlat)
                    p.signLeft -= 5;
                if (n.sign == TripleFlat)
                    p.signLeft -= 10;
            }
            placed.push_back(p);
        }

        // A stem-down head left of the stem pushes the next sign further left.
        if (stemDown) {
            for (std::size_t i = 0; i + 1 < placed.size(); ++i) {
                Placed& lower = placed[i];
                Placed& upper = placed[i + 1];
                if (lower.headTop - upper.headTop > 10)
                    continue;
                if (upper.sign >= 0 && lower.shifted)
                    upper.signLeft -= 9;
                if (lower.sign >= 0 && upper.shifted)
                    lower.signLeft -= 9;
            }
        }
        // Signs that would touch are moved left, the upper one of each pair.
        const auto width = [&](const Placed& p) {
            return static_cast<float>(sprites_.bitmap(p.sign).width());
        };
        const auto height = [&](const Placed& p) {
            return static_cast<float>(sprites_.bitmap(p.sign).height());
        };
        const auto overlap = [&](const Placed& a, const Placed& b) {
            if (!(b.signTop + height(b) > a.signTop))
                return false;
            return a.signLeft > b.signLeft ? b.signLeft + width(b) > a.signLeft
                                           : a.signLeft + width(a) > b.signLeft;
        };
        const std::vector<std::pair<std::size_t, std::size_t>> pairs{
            {0, 1}, {1, 2}, {0, 2}, {2, 3}, {1, 3}};
        for (const auto& [lo, hi] : pairs) {
            if (hi >= placed.size() || placed[lo].sign < 0 || placed[hi].sign < 0)
                continue;
            while (overlap(placed[lo], placed[hi]))
                placed[hi].signLeft -= 2;
        }

        for (const Placed& p : placed) {
            put(p.head, p.headLeft, p.headTop);
            if (p.sign >= 0)
                put(p.sign, p.signLeft, p.signTop);
        }

        const float highest = rootPosition(clef, notes.back().letter, notes.back().octave);
        const float lowest = rootPosition(clef, notes.front().letter, notes.front().octave);
        ledger(x, clef, highest, lowest);
    }

    // A mark above the item at x.
    void mark(float x, int sprite) { put(sprite, x, 0); }
    void numeral(float x, int degree)
    {
        put(NumeralI + degree - 1, x + staff::NumeralLeft, staff::NumeralTop);
    }

    gfx::TBitmap32 render() const
    {
        gfx::TBitmap32 out;
        image_.compose(out);
        return out;
    }

private:
    void ledger(float x, int clef, float highest, float lowest)
    {
        // {lines, top} of the ledger sprite for the outermost heads.
        int lines = 0;
        float top = 0;
        const float above = clef == Treble ? 35.0f : 135.0f; // A5 / C4: one line above
        const float below = clef == Treble ? 95.0f : 195.0f; // C4 / E2: one line below
        const float topLine = clef == Treble ? 80.0f : 180.0f;
        const float bottomLine = clef == Treble ? 120.0f : 220.0f;
        for (int n = 1; n <= 3; ++n) {
            if (highest <= above - 10.0f * static_cast<float>(n - 1)) {
                lines = n;
                top = topLine - 10.0f * static_cast<float>(n + 1);
            }
        }
        for (int n = 1; n <= 3; ++n) {
            if (lowest >= below + 10.0f * static_cast<float>(n - 1)) {
                lines = n;
                top = bottomLine;
            }
        }
        if (lines > 0)
            put(Ledger1 + lines - 1, x + staff::LedgerLeft, top);
    }

    const gfx::TBitmap32List& sprites_;
    gfx::TImage32 image_;
};

QImage scaled(const gfx::TBitmap32& bitmap, int factor)
{
    const QImage image = shell::toQImage(bitmap);
    return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio,
                        Qt::FastTransformation);
}

void checkerboard(QPainter& painter, const QRect& r)
{
    constexpr int Square = 6;
    painter.save();
    painter.setClipRect(r);
    for (int y = r.top(); y <= r.bottom(); y += Square)
        for (int x = r.left(); x <= r.right(); x += Square)
            painter.fillRect(QRect(x, y, Square, Square),
                             ((x - r.left()) / Square + (y - r.top()) / Square) % 2 == 0
                                 ? QColor(236, 236, 236)
                                 : QColor(204, 204, 204));
    painter.restore();
}

// Lays out blocks top to bottom, each under a heading.
class Sheet {
public:
    explicit Sheet(int width)
        : width_(width)
    {
    }

    void heading(const QString& text) { blocks_.push_back({text, QImage(), true}); }
    void block(const QString& caption, const QImage& image)
    {
        blocks_.push_back({caption, image, false});
    }

    QImage render() const
    {
        int height = Margin;
        for (const Block& b : blocks_)
            height += b.isHeading ? HeadingHeight : CaptionHeight + b.image.height() + Margin;
        QImage sheet(width_, height, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        QFont font("DejaVu Sans");
        int y = Margin;
        for (const Block& b : blocks_) {
            font.setPixelSize(b.isHeading ? 18 : 12);
            font.setBold(b.isHeading);
            painter.setFont(font);
            if (b.isHeading) {
                painter.drawText(QRect(Margin, y, width_ - 2 * Margin, HeadingHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, b.caption);
                y += HeadingHeight;
                continue;
            }
            painter.drawText(QRect(Margin, y, width_ - 2 * Margin, CaptionHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, b.caption);
            y += CaptionHeight;
            painter.drawImage(Margin, y, b.image);
            y += b.image.height() + Margin;
        }
        return sheet;
    }

    static constexpr int Margin = 12;

private:
    static constexpr int HeadingHeight = 34;
    static constexpr int CaptionHeight = 18;
    struct Block {
        QString caption;
        QImage image;
        bool isHeading;
    };
    int width_;
    std::vector<Block> blocks_;
};

// Every sprite but the staff pictures, enlarged, in cells with their names.
QImage spriteGrid(const gfx::TBitmap32List& sprites, int width)
{
    constexpr int Zoom = 2;
    constexpr int Pad = 8;
    constexpr int Label = 16;
    std::vector<int> indices;
    for (int i = 0; i < resources::SpriteCount; ++i)
        if (i != WideStaff && i != NarrowStaff)
            indices.push_back(i);

    struct Cell {
        int index;
        QRect box; // the sprite's area
    };
    std::vector<Cell> cells;
    int x = 0, y = 0, rowHeight = 0;
    for (const int i : indices) {
        const gfx::TBitmap32& s = sprites.bitmap(i);
        const int w = std::max(s.width() * Zoom + 2 * Pad, 124);
        const int h = s.height() * Zoom + 2 * Pad + Label;
        if (x + w > width) {
            x = 0;
            y += rowHeight + 6;
            rowHeight = 0;
        }
        cells.push_back({i, QRect(x, y, w, h)});
        x += w + 6;
        rowHeight = std::max(rowHeight, h);
    }
    QImage grid(width, y + rowHeight, QImage::Format_ARGB32);
    grid.fill(Qt::white);
    QPainter painter(&grid);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    painter.setFont(font);
    for (const Cell& cell : cells) {
        const gfx::TBitmap32& s = sprites.bitmap(cell.index);
        const QRect area(cell.box.left(), cell.box.top(), cell.box.width(),
                         cell.box.height() - Label);
        checkerboard(painter, area);
        painter.drawImage(cell.box.left() + (cell.box.width() - s.width() * Zoom) / 2,
                          cell.box.top() + Pad, scaled(s, Zoom));
        const std::string name(resources::SpriteFiles[static_cast<std::size_t>(cell.index)].name);
        painter.setPen(Qt::black);
        painter.drawText(QRect(cell.box.left(), area.bottom() + 1, cell.box.width(), Label),
                         Qt::AlignHCenter | Qt::AlignVCenter,
                         QString("%1 %2").arg(cell.index).arg(QString::fromStdString(name)));
    }
    return grid;
}

QImage sideBySide(const std::vector<QImage>& images, int gap)
{
    int width = 0, height = 0;
    for (const QImage& image : images) {
        width += image.width() + gap;
        height = std::max(height, image.height());
    }
    QImage row(std::max(width - gap, 1), height, QImage::Format_ARGB32);
    row.fill(Qt::white);
    QPainter painter(&row);
    int x = 0;
    for (const QImage& image : images) {
        painter.drawImage(x, 0, image);
        x += image.width() + gap;
    }
    return row;
}

QImage keySignatures(const gfx::TBitmap32List& sprites)
{
    static const char* const names[12] = {"C",  "Db", "D",  "Eb", "E",  "F",
                                          "Gb", "G",  "Ab", "A",  "Bb", "B"};
    std::vector<QImage> crops;
    for (int key = 0; key < 12; ++key) {
        Scene scene(sprites, NarrowStaff, key);
        QImage crop = scaled(scene.render(), 2).copy(0, 2 * 58, 2 * 124, 2 * 178);
        QPainter painter(&crop);
        QFont font("DejaVu Sans");
        font.setPixelSize(14);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, crop.width() - 6, 24), Qt::AlignRight | Qt::AlignVCenter,
                         QString("%1 major").arg(names[key]));
        crops.push_back(crop);
    }
    std::vector<QImage> rows;
    for (std::size_t i = 0; i < crops.size(); i += 4)
        rows.push_back(sideBySide({crops.begin() + static_cast<std::ptrdiff_t>(i),
                                   crops.begin() + static_cast<std::ptrdiff_t>(i + 4)},
                                  8));
    int height = 0;
    for (const QImage& row : rows)
        height += row.height() + 8;
    QImage all(rows.front().width(), height, QImage::Format_ARGB32);
    all.fill(Qt::white);
    QPainter painter(&all);
    int y = 0;
    for (const QImage& row : rows) {
        painter.drawImage(0, y, row);
        y += row.height() + 8;
    }
    return all;
}

// E flat major: ledger lines above and below, seconds with both stems, a
// chord with three staggered signs, marks and numerals. Items stand at the
// spacing of a run, one column per question.
gfx::TBitmap32 flatKeyScene(const gfx::TBitmap32List& sprites)
{
    Scene s(sprites, NarrowStaff, 3);
    s.item(125, Treble, true, {{C, 6}});                    // two lines above
    s.item(125, Bass, false, {{E, 2, Natural}});            // one line below
    s.item(162, Treble, false, {{F, 4}, {G, 4, -1, true}}); // second, stem up
    s.item(162, Bass, true, {{C, 4}});                      // one line above
    s.item(199, Treble, false, {{A, 3, Natural}});          // two lines below
    s.item(199, Bass, false, {{D, 3}, {F, 3, Sharp}, {A, 3, Natural}});
    s.item(236, Treble, true, {{D, 5, -1, true}, {E, 5, Natural}}); // second, stem down
    s.item(236, Bass, false, {{G, 2}, {B, 2}, {D, 3}});
    s.item(273, Treble, false, {{E, 4, Natural}, {G, 4, Sharp}, {B, 4, Natural}});
    s.item(273, Bass, true, {{A, 3, -1, true}, {B, 3}, {D, 4}}); // second, stem down
    const std::vector<std::pair<float, int>> marks{
        {125, Right}, {162, Wrong}, {199, Right}, {236, Pointer}, {273, Eye}};
    for (const auto& [x, mark] : marks)
        s.mark(x, mark);
    const std::vector<std::pair<float, int>> degrees{
        {125, 1}, {162, 4}, {199, 5}, {236, 6}, {273, 7}};
    for (const auto& [x, degree] : degrees)
        s.numeral(x, degree);
    return s.render();
}

// A major: the key's own sharps, every other sign, a chord with three ledger
// lines and a chord whose lowest head sits left of a down stem.
gfx::TBitmap32 sharpKeyScene(const gfx::TBitmap32List& sprites)
{
    Scene s(sprites, NarrowStaff, 9);
    s.item(125, Treble, false, {{B, 4}});
    s.item(125, Bass, false, {{C, 3, Natural}});
    s.item(162, Treble, true, {{C, 5, Natural}});
    s.item(162, Bass, false, {{B, 2, DoubleFlat}});
    s.item(199, Treble, false, {{F, 4, DoubleSharp}});
    s.item(199, Bass, false, {{D, 3, TripleFlat}});
    s.item(236, Treble, true, {{E, 5, Sharp}});
    s.item(236, Bass, false, {{C, 2}, {E, 2}, {G, 2}});  // two lines below
    s.item(273, Treble, true, {{A, 5}, {C, 6}, {E, 6}}); // three lines above
    s.item(273, Bass, true, {{E, 3, -1, true}, {F, 3}, {B, 3}});
    const std::vector<std::pair<float, int>> marks{
        {125, Right}, {162, Right}, {199, Wrong}, {236, Pointer}};
    for (const auto& [x, mark] : marks)
        s.mark(x, mark);
    return s.render();
}

// Every sign beside a head on a line and in a space, with either stem.
gfx::TBitmap32 signScene(const gfx::TBitmap32List& sprites)
{
    Scene s(sprites, WideStaff, 0);
    const int signs[6] = {Flat, Sharp, Natural, DoubleFlat, TripleFlat, DoubleSharp};
    float x = 80;
    for (const int sign : signs) {
        s.item(x, Treble, false, {{G, 4, sign}});     // line, stem up
        s.item(x + 38, Treble, true, {{C, 5, sign}}); // space, stem down
        s.item(x, Bass, false, {{A, 2, sign}});       // space, stem up
        s.item(x + 38, Bass, true, {{F, 3, sign}});   // line, stem down
        x += 78;
    }
    return s.render();
}

QImage pianoWithHighlights(const gfx::TBitmap32List& sprites, const gfx::TBitmap32& piano)
{
    gfx::TImage32 image;
    image.bitmap().assign(piano);
    // C and F sharp in the first octave, E and B in the second, G and A in the
    // third, D and C sharp in the fourth: every highlight sprite once.
    const std::vector<std::pair<int, int>> keys{{WhiteC, 0},
                                                {BlackKey, 71},
                                                {WhiteC + 2, 140 + 41},
                                                {WhiteC + 6, 140 + 121},
                                                {WhiteC + 4, 280 + 81},
                                                {WhiteC + 5, 280 + 101},
                                                {WhiteC + 1, 420 + 21},
                                                {BlackKey, 420 + 11},
                                                {WhiteC + 3, 420 + 61}};
    for (const auto& [sprite, left] : keys)
        gfx::setSprite(image.addLayer(), sprites.bitmap(sprite), static_cast<float>(left), 0, true);
    gfx::TBitmap32 out;
    image.compose(out);
    return scaled(out, 2);
}

} // namespace

QImage renderPreviewSheet(const gfx::TBitmap32List& sprites, const gfx::TBitmap32& piano)
{
    constexpr int Width = 1400;
    Sheet sheet(Width);
    sheet.heading("Tessaly Notes: sprites (drawn by tools/drawsprites)");
    sheet.block("Sprites 0..58 but the staff pictures, at twice their size on a checkerboard",
                spriteGrid(sprites, Width - 2 * Sheet::Margin));
    sheet.block("42 clefs (layout 1)", shell::toQImage(sprites.bitmap(WideStaff)));
    sheet.block("43 intervalbars (layout 2)", shell::toQImage(sprites.bitmap(NarrowStaff)));
    sheet.heading("Key signatures on the staff (x 40, y 70 and 170), twice the size");
    sheet.block("", keySignatures(sprites));
    sheet.heading("Staff 43 with items placed as the program places them, twice the size");
    sheet.block("E flat major: ledger lines above and below, seconds stem up and stem down, "
                "staggered signs, marks, numerals",
                scaled(flatKeyScene(sprites), 2));
    sheet.block("A major: double sharp, sharp, natural, double and triple flat, three ledger "
                "lines, chord with a head left of the stem",
                scaled(sharpKeyScene(sprites), 2));
    sheet.heading("Staff 42: every sign on a line and in a space, stem up and down");
    sheet.block("", scaled(signScene(sprites), 2));
    sheet.heading("Piano picture (561 x 71) with every highlight, twice the size");
    sheet.block("", pianoWithHighlights(sprites, piano));
    return sheet.render();
}

} // namespace drawsprites
