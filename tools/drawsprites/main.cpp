// Draws the pictures the program ships: the 81 sprite images under
// data/Resources/Images/, the piano picture data/piano.bmp, the sprite pack
// data/keyresources.dat built from the images, and the preview sheet
// docs/sprites.png.
//
//   QT_QPA_PLATFORM=offscreen tessaly-drawsprites <repository root | data folder>

#include "MusicFont.h"
#include "PreviewSheet.h"
#include "Sprites.h"

#include "resources/uBmp.h"
#include "resources/uResources.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
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

int run(const fs::path& given)
{
    const Folders folders = foldersFor(fs::absolute(given).lexically_normal());
    const drawsprites::MusicFont font = drawsprites::MusicFont::load();
    std::printf("music font: %s\n", font.file().toLocal8Bit().constData());

    const auto sprites = drawsprites::drawSprites(font);
    const fs::path images = folders.data / std::string(resources::ImagesFolder);
    drawsprites::writeSpriteImages(sprites, images);
    std::printf("wrote %zu sprites to %s\n", sprites.size(), images.string().c_str());

    const gfx::TBitmap32 piano = drawsprites::drawPiano();
    resources::saveBmp(piano, folders.data / "piano.bmp", 32);

    auto builder = resources::TKeyResources::unloaded(folders.data);
    std::string why;
    if (!builder.loadImages(&why)) {
        std::fprintf(stderr, "Cannot build the sprite pack: %s\n", why.c_str());
        return 1;
    }
    std::printf("wrote %s\n", builder.packPath().string().c_str());

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
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly-drawsprites <repository root | data folder>\n");
        return 2;
    }
    try {
        return run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaly-drawsprites: %s\n", e.what());
        return 1;
    }
}
