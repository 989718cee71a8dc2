// A damaged sprite pack is refused with the reader's own error, whatever the
// damage: cut short anywhere, or bytes changed at random. Never a crash, an
// endless loop or another kind of failure.

#include "ShippedSprites.h"
#include "TempFolder.h"
#include "resources/uResources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace {

const std::vector<std::uint8_t>& shippedPack()
{
    static const std::vector<std::uint8_t> pack =
        testsupport::TempFolder::readBytes(testsupport::dataFolder() / "keyresources.dat");
    return pack;
}

// What reading gives: true when the pack was taken (then every sprite is a
// whole bitmap), false when the reader refused it.
bool readsAsPack(std::span<const std::uint8_t> bytes)
{
    gfx::TBitmap32List list;
    try {
        resources::readPack(bytes, list);
    } catch (const resources::EReadError& e) {
        EXPECT_NE(std::string(e.what()), "");
        return false;
    }
    for (int i = 0; i < list.count(); ++i) {
        const gfx::TBitmap32& b = list.bitmap(i);
        EXPECT_EQ(b.bits().size(), static_cast<std::size_t>(b.width()) * b.height());
    }
    return true;
}

TEST(PackDamage, ACutAtEveryThousandthByteIsRefused)
{
    const std::vector<std::uint8_t>& pack = shippedPack();
    ASSERT_GT(pack.size(), 100'000u);
    ASSERT_TRUE(readsAsPack(pack));
    for (std::size_t n = 0; n < pack.size(); n += 1000)
        ASSERT_FALSE(readsAsPack(std::span(pack).first(n))) << "cut at " << n;
}

TEST(PackDamage, ChangedBytesAreReadOrRefusedNeverMore)
{
    std::mt19937 random(1210);
    std::vector<std::uint8_t> pack = shippedPack();
    int refused = 0;
    for (int trial = 0; trial < 150; ++trial) {
        std::vector<std::uint8_t> damaged = pack;
        const int changes = std::uniform_int_distribution<int>(1, 8)(random);
        // Half of the trials hit the headers and counts near the start,
        // where damage matters most.
        const std::size_t span = trial % 2 == 0 ? 4096 : damaged.size();
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, span - 1)(random);
            damaged[at] ^=
                static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(random));
        }
        refused += readsAsPack(damaged) ? 0 : 1;
    }
    EXPECT_GT(refused, 0); // some damage must have been noticed
}

class PackFile : public testsupport::TempFolder {};

TEST_F(PackFile, AnEmptyOrCutFileIsRefusedByTheLoader)
{
    for (const std::size_t keep : {std::size_t{0}, std::size_t{17}, shippedPack().size() / 2}) {
        writeBytes(
            folder / "keyresources.dat",
            std::vector<std::uint8_t>(shippedPack().begin(),
                                      shippedPack().begin() + static_cast<std::ptrdiff_t>(keep)));
        EXPECT_THROW(resources::TKeyResources{folder}, resources::EPackError) << keep;
    }
}

} // namespace
