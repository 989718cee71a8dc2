// Draws the pictures the program ships: the 81 sprite images under
// data/Resources/Images/, the piano picture data/piano.bmp, the sprite pack
// data/keyresources.dat built from the images, and the preview sheet
// docs/sprites.png. Beside them it draws the same sprites and piano for
// high-density screens, 2 and 3 times as dense: data/keyresources@2x.dat,
// data/keyresources@3x.dat, data/piano@2x.bmp and data/piano@3x.bmp.
// With --dense-only it writes only those four files and leaves the 1x
// pictures, the seed pack and the sheet as they are.
//
//   QT_QPA_PLATFORM=offscreen tessaly-drawsprites [--dense-only] <repository root | data folder>

#include "MusicFont.h"
#include "PreviewSheet.h"
#include "Sprites.h"

#include "platform/Files.h"
#include "resources/uBmp.h"
#include "resources/uResources.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Folders {
    fs::path data;
    fs::path docs;
};

// The repository root holds data/; a data folder is given as such.
Folders foldersFor(const fs::path& given)
{
    if (fs::is_directory(given / "data"))
        return {given / "data", given / "docs"};
    return {given, given.parent_path() / "docs"};
}

fs::path densePianoFile(const fs::path& data, int scale)
{
    return data / ("piano@" + std::to_string(scale) + "x.bmp");
}

void writeDense(const drawsprites::MusicFont& font, const fs::path& data)
{
    for (int scale = 2; scale <= resources::MaxPackScale; ++scale) {
        const auto sprites = drawsprites::drawSprites(font, scale);
        const fs::path pack = data / resources::packFileNameFor(scale);
        platform::replaceFile(pack, resources::writePack(drawsprites::packedSprites(sprites)));
        std::printf("wrote %s\n", pack.string().c_str());

        const fs::path piano = densePianoFile(data, scale);
        resources::saveBmp(drawsprites::drawPiano(scale), piano, 32);
        std::printf("wrote %s\n", piano.string().c_str());
    }
}

int run(const fs::path& given, bool denseOnly)
{
    const Folders folders = foldersFor(fs::absolute(given).lexically_normal());
    const drawsprites::MusicFont font = drawsprites::MusicFont::load();
    std::printf("music font: %s\n", font.file().toLocal8Bit().constData());
    if (denseOnly) {
        writeDense(font, folders.data);
        return 0;
    }

    const auto sprites = drawsprites::drawSprites(font, 1);
    const fs::path images = folders.data / std::string(resources::ImagesFolder);
    drawsprites::writeSpriteImages(sprites, images);
    std::printf("wrote %zu sprites to %s\n", sprites.size(), images.string().c_str());

    const gfx::TBitmap32 piano = drawsprites::drawPiano(1);
    resources::saveBmp(piano, folders.data / "piano.bmp", 32);

    auto builder = resources::TKeyResources::unloaded(folders.data);
    std::string why;
    if (!builder.loadImages(&why)) {
        std::fprintf(stderr, "Cannot build the sprite pack: %s\n", why.c_str());
        return 1;
    }
    std::printf("wrote %s\n", builder.packPath().string().c_str());
    writeDense(font, folders.data);

    // The sheet shows the sprites as the program will read them.
    const resources::TKeyResources pack(folders.data);
    fs::create_directories(folders.docs);
    const fs::path sheet = folders.docs / "sprites.png";
    if (!drawsprites::renderPreviewSheet(pack.imgVorlanta, piano)
             .save(QString::fromStdString(sheet.string()))) {
        std::fprintf(stderr, "Cannot write %s\n", sheet.string().c_str());
        return 1;
    }
    std::printf("wrote %s\n", sheet.string().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const bool denseOnly = argc == 3 && std::strcmp(argv[1], "--dense-only") == 0;
    if (argc != 2 && !denseOnly) {
        std::fprintf(stderr, "usage: tessaly-drawsprites [--dense-only] "
                             "<repository root | data folder>\n");
        return 2;
    }
    try {
        return run(argv[argc - 1], denseOnly);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-drawsprites: %s\n", e.what());
        return 1;
    }
}
