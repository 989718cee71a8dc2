#include "resources/uBmp.h"
#include "resources/uResources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace resources {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> fileBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A fresh working folder per test, removed afterwards.
class WorkFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / ("tessaly-" + std::string(info->name()) + "-" +
                                              std::to_string(std::random_device{}()));
        fs::create_directories(folder / ImagesFolder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Sprite i: (i + 2) × 3 pixels of a colour made from i; unmasked sprites
    // are 32-bit with alpha 77, masked ones get a mask of grey level i.
    void writeImages()
    {
        for (int i = 0; i < SpriteCount; ++i) {
            const SpriteFile& s = SpriteFiles[static_cast<std::size_t>(i)];
            const auto c = static_cast<unsigned>(i);
            const auto base = folder / ImagesFolder / std::string(s.name);
            if (s.masked) {
                saveBmp(gfx::TBitmap32(i + 2, 3, gfx::color32(c, 2 * c, 3 * c)),
                        base.string() + ".bmp", 24);
                saveBmp(gfx::TBitmap32(i + 2, 3, gfx::color32(c, c, c)), base.string() + "-neg.bmp",
                        24);
            } else {
                saveBmp(gfx::TBitmap32(i + 2, 3, gfx::color32(c, 2 * c, 3 * c, 77)),
                        base.string() + ".bmp", 32);
            }
        }
    }
    static gfx::Color32 expectedPixel(int i)
    {
        const auto c = static_cast<unsigned>(i);
        return gfx::color32(c, 2 * c, 3 * c,
                            SpriteFiles[static_cast<std::size_t>(i)].masked ? c : 77);
    }

    fs::path folder;
};

TEST_F(WorkFolder, MissingPackNamesTheFullPath)
{
    try {
        TKeyResources resources(folder);
        FAIL() << "loaded";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file " + (folder / "keyresources.dat").string());
    }
}

TEST_F(WorkFolder, BrokenPackIsAReadError)
{
    writeBytes(folder / PackFileName, {0xFF, 10, 0});
    EXPECT_THROW(TKeyResources{folder}, EReadError);
}

TEST_F(WorkFolder, LoadImagesBuildsThePackFromTheImages)
{
    writeImages();
    TKeyResources built = TKeyResources::unloaded(folder);
    std::string why;
    ASSERT_TRUE(built.loadImages(&why)) << why;

    ASSERT_EQ(built.imgVorlanta.count(), SpriteCount);
    for (int i = 0; i < SpriteCount; ++i) {
        const gfx::TBitmap32& b = built.imgVorlanta.bitmap(i);
        EXPECT_EQ(b.width(), i + 2);
        EXPECT_EQ(b.pixel(i + 1, 2), expectedPixel(i))
            << SpriteFiles[static_cast<std::size_t>(i)].name;
    }

    const auto pack = fileBytes(folder / PackFileName);
    EXPECT_EQ(pack, writePack(built.imgVorlanta));
    const std::uint32_t length = pack[19] | pack[20] << 8 | pack[21] << 16 | pack[22] << 24;
    EXPECT_EQ(length, pack.size() - 23);

    TKeyResources loaded(folder);
    ASSERT_EQ(loaded.imgVorlanta.count(), SpriteCount);
    for (int i = 0; i < SpriteCount; ++i)
        EXPECT_EQ(loaded.imgVorlanta.bitmap(i), built.imgVorlanta.bitmap(i)) << i;
}

TEST_F(WorkFolder, LoadImagesStopsAtAMissingImageAndWritesNothing)
{
    writeImages();
    const std::vector<std::uint8_t> oldPack{1, 2, 3};
    writeBytes(folder / PackFileName, oldPack);
    fs::remove(folder / ImagesFolder / "flat-neg.bmp"); // sprite 29's mask

    TKeyResources built = TKeyResources::unloaded(folder);
    std::string why;
    EXPECT_FALSE(built.loadImages(&why));
    EXPECT_NE(why.find("flat-neg.bmp"), std::string::npos) << why;
    EXPECT_EQ(built.imgVorlanta.count(), 29); // the sprites before it stay
    EXPECT_EQ(fileBytes(folder / PackFileName), oldPack);
}

TEST_F(WorkFolder, UndecodableImageStopsTheBuild)
{
    writeImages();
    writeBytes(folder / ImagesFolder / "cmajor_treble.bmp", {'B', 'M', 0, 0});
    TKeyResources built = TKeyResources::unloaded(folder);
    EXPECT_FALSE(built.loadImages());
    EXPECT_EQ(built.imgVorlanta.count(), 0);
    EXPECT_FALSE(fs::exists(folder / PackFileName));
}

TEST_F(WorkFolder, ShippedPackIsWhatTheShippedImagesBuild)
{
    // Keeps data/keyresources.dat and data/Resources/Images/ from drifting apart.
    const fs::path data = TESSALY_DATA_DIR;
    fs::copy(data / ImagesFolder, folder / ImagesFolder, fs::copy_options::recursive);
    TKeyResources built = TKeyResources::unloaded(folder);
    std::string why;
    ASSERT_TRUE(built.loadImages(&why)) << why;
    EXPECT_EQ(built.imgVorlanta.count(), SpriteCount);
    EXPECT_EQ(fileBytes(folder / PackFileName), fileBytes(data / PackFileName));

    const TKeyResources shipped(data);
    ASSERT_EQ(shipped.imgVorlanta.count(), SpriteCount);
    for (int i = 0; i < SpriteCount; ++i)
        EXPECT_EQ(shipped.imgVorlanta.bitmap(i), built.imgVorlanta.bitmap(i)) << i;
}

} // namespace
} // namespace resources
