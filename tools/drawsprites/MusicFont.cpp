#include "MusicFont.h"

#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
#include <QStringList>

#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace drawsprites {
namespace {

namespace fs = std::filesystem;

// What each glyph must look like, in staff spaces, so that a font whose code
// points moved is caught before it draws a clef where a sharp belongs.
struct GlyphCheck {
    Glyph glyph;
    char32_t codePoint;
    const char* name;
    double width;  // bounding box width
    double top;    // bounding box top relative to the reference point
    double bottom; // bounding box bottom
};
constexpr std::array<GlyphCheck, GlyphCount> Checks{{
    {Glyph::GClef, 0xE085, "G clef", 2.57, -4.78, 2.54},
    {Glyph::FClef, 0xE083, "F clef", 2.69, -1.05, 2.05},
    {Glyph::BlackHead, 0xE0EA, "filled notehead", 1.30, -0.54, 0.54},
    {Glyph::Flat, 0xE021, "flat", 0.91, -1.86, 0.65},
    {Glyph::Sharp, 0xE013, "sharp", 1.10, -1.50, 1.50},
    {Glyph::Natural, 0xE01D, "natural", 0.72, -1.53, 1.53},
    {Glyph::DoubleFlat, 0xE02A, "double flat", 1.56, -1.86, 0.65},
    {Glyph::DoubleSharp, 0xE01C, "double sharp", 1.08, -0.54, 0.54},
}};
constexpr double Tolerance = 0.2; // staff spaces

fs::path findFont(const char* fileName)
{
    const fs::path root = "/usr/share/lilypond";
    std::error_code ec;
    if (fs::is_directory(root, ec)) {
        for (const auto& version : fs::directory_iterator(root, ec)) {
            const fs::path candidate = version.path() / "fonts" / "otf" / fileName;
            if (fs::is_regular_file(candidate, ec))
                return candidate;
        }
    }
    throw std::runtime_error(std::string("Cannot find ") + fileName +
                             " under /usr/share/lilypond/*/fonts/otf/ "
                             "(install the Debian package lilypond-fonts)");
}

QString addFont(const fs::path& file)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(file.string()));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty())
        throw std::runtime_error("Cannot load the font " + file.string());
    return families.front();
}

QPainterPath outlineOf(const QString& family, char32_t codePoint)
{
    QFont font(family);
    font.setPixelSize(static_cast<int>(UnitsPerEm));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    QPainterPath path;
    path.addText(0, 0, font, QString::fromUcs4(&codePoint, 1));
    return path;
}

} // namespace

MusicFont MusicFont::load()
{
    const fs::path musicFile = findFont("emmentaler-20.otf");
    const fs::path braceFile = findFont("emmentaler-brace.otf");
    MusicFont font;
    font.file_ = QString::fromStdString(musicFile.string());
    const QString family = addFont(musicFile);
    font.braceFamily_ = addFont(braceFile);

    const QRawFont raw(font.file_, UnitsPerEm);
    for (const GlyphCheck& check : Checks) {
        const QPainterPath path = outlineOf(family, check.codePoint);
        const QRectF box = path.boundingRect();
        const auto off = [](double got, double want) {
            return std::abs(got / UnitsPerSpace - want) > Tolerance;
        };
        if (!raw.supportsCharacter(check.codePoint) || path.isEmpty() ||
            off(box.width(), check.width) || off(box.top(), check.top) ||
            off(box.bottom(), check.bottom)) {
            char text[256];
            std::snprintf(text, sizeof text,
                          "%s: U+%04X does not look like a %s (box %.2f x %.2f..%.2f staff "
                          "spaces, expected %.2f x %.2f..%.2f)",
                          musicFile.string().c_str(), static_cast<unsigned>(check.codePoint),
                          check.name, box.width() / UnitsPerSpace, box.top() / UnitsPerSpace,
                          box.bottom() / UnitsPerSpace, check.width, check.top, check.bottom);
            throw std::runtime_error(text);
        }
        font.outlines_[static_cast<std::size_t>(check.glyph)] = path;
    }
    return font;
}

QPainterPath MusicFont::brace(double height) const
{
    // The brace font holds a few hundred braces of growing size from U+E000.
    QPainterPath best;
    double bestError = 0;
    for (char32_t cp = 0xE000; cp < 0xE400; ++cp) {
        const QPainterPath path = outlineOf(braceFamily_, cp);
        if (path.isEmpty())
            continue;
        const double error = std::abs(path.boundingRect().height() - height);
        if (best.isEmpty() || error < bestError) {
            best = path;
            bestError = error;
        }
    }
    if (best.isEmpty())
        throw std::runtime_error("The brace font holds no braces");
    const QRectF box = best.boundingRect();
    return best.translated(-box.right(), -box.center().y());
}

} // namespace drawsprites
