// Renders docs/notes-sample.png: for a handful of keys, the key signature and
// a chromatic run over the whole range of each staff, drawn by the real
// notes on the real staff with the shipped sprite pack.
//
//   tessaly-notesample <data folder> <output png>

#include "gfx/Image32.h"
#include "notation/uKey.h"
#include "notation/uMusicalStaff.h"
#include "notation/uNote.h"
#include "platform/Clock.h"
#include "resources/uResources.h"
#include "shell/QtBitmap.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace notation;

constexpr float FirstX = 115; // clear of a six-accidental signature
constexpr float Spacing = 25;
constexpr int PerRow = 18;

struct Band {
    int clef;
    int top; // the part of the staff picture to keep
    int height;
};
constexpr Band TrebleBand{TrebleClef, 5, 150};
constexpr Band BassBand{BassClef, 120, 140};

// One staff picture with the key's signature and the pitches low..high.
QImage renderRow(const gfx::TBitmap32List& sprites, int key, const Band& band, int low, int high)
{
    platform::SystemClock clock;
    gfx::TImage32 image;
    TMusicalStaff staff(image, sprites, clock, 1, 2);
    TKey signature(staff);
    signature.DrawKey(staff, key);
    std::vector<std::unique_ptr<TNote>> notes;
    for (int p = low; p <= high; ++p) {
        auto& n = notes.emplace_back(std::make_unique<TNote>(staff, key, band.clef, p, false));
        n->DrawNote(staff, true);
        const float x = FirstX + Spacing * static_cast<float>(p - low);
        n->MoveNote(staff, staff.noteLeft - x);
    }
    gfx::TBitmap32 out;
    image.compose(out);
    return shell::toQImage(out).copy(0, band.top, out.width(), band.height);
}

QString pitchName(int key, int pitch)
{
    return QString::fromUtf8(noteNameIn(key, pitchClassOf(pitch)).data()) +
           QString::number(octaveOf(pitch));
}

QString caption(const char* keyName, int key, const char* clef, int low, int high)
{
    return QStringLiteral("%1, %2 clef, %3 to %4")
        .arg(keyName, clef, pitchName(key, low), pitchName(key, high));
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessaly-notesample <data folder> <output png>\n");
        return 2;
    }
    std::optional<resources::TKeyResources> pack;
    try {
        pack.emplace(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    struct Key {
        int s;
        const char* name;
    };
    const std::vector<Key> keys{{0, "C major"},      {7, "G major"},  {5, "F major"},
                                {1, "D flat major"}, {11, "B major"}, {6, "G flat major"}};

    std::vector<std::pair<QString, QImage>> rows;
    for (const Key& k : keys) {
        const auto& sprites = pack->imgVorlanta;
        for (int low = 53; low <= 88; low += PerRow) {
            const int high = std::min(low + PerRow - 1, 88);
            rows.emplace_back(caption(k.name, k.s, "treble", low, high),
                              renderRow(sprites, k.s, TrebleBand, low, high));
        }
        for (int low = 36; low <= 67; low += 16) {
            const int high = std::min(low + 15, 67);
            rows.emplace_back(caption(k.name, k.s, "bass", low, high),
                              renderRow(sprites, k.s, BassBand, low, high));
        }
    }

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
    if (!sheet.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "Cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
