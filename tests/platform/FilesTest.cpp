#include "platform/Files.h"
#include "TempFolder.h"

namespace platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ReplaceFile : public testsupport::TempFolder {
protected:
    std::filesystem::path file() const { return folder / "scores.dat"; }
};

TEST_F(ReplaceFile, WritesANewFileAndReplacesAnOldOne)
{
    replaceFile(file(), Bytes{1, 2, 3});
    EXPECT_EQ(readBytes(file()), (Bytes{1, 2, 3}));
    replaceFile(file(), Bytes{9});
    EXPECT_EQ(readBytes(file()), (Bytes{9}));
    EXPECT_FALSE(std::filesystem::exists(temporaryFor(file())));
}

TEST_F(ReplaceFile, ACrashBeforeTheRenameLeavesTheOldFileWhole)
{
    writeBytes(file(), Bytes(100, 7));
    struct Crash {};
    EXPECT_THROW(replaceFile(file(), Bytes(200, 1),
                             [&] {
                                 // The new bytes are complete on disk, beside the old file.
                                 EXPECT_EQ(readBytes(temporaryFor(file())), Bytes(200, 1));
                                 throw Crash{};
                             }),
                 Crash);
    EXPECT_EQ(readBytes(file()), Bytes(100, 7));
}

TEST_F(ReplaceFile, AFileThatCannotBeCreatedNamesItselfAndKeepsTheOldOne)
{
    writeBytes(file(), Bytes{5, 5});
    // Something else stands where the temporary file would go.
    std::filesystem::create_directory(temporaryFor(file()));
    try {
        replaceFile(file(), Bytes{1});
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + file().string());
        EXPECT_EQ(e.path(), file());
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_EQ(readBytes(file()), (Bytes{5, 5}));
    EXPECT_TRUE(std::filesystem::is_directory(temporaryFor(file())));

    EXPECT_THROW(replaceFile(folder / "missing" / "x.dat", Bytes{1}), EFCreateError);
}

TEST_F(ReplaceFile, ARenameThatFailsIsAWriteError)
{
    // A non-empty folder where the file should be cannot be replaced.
    std::filesystem::create_directories(file() / "inside");
    try {
        replaceFile(file(), Bytes{1});
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
        EXPECT_EQ(e.path(), file());
    }
    EXPECT_FALSE(std::filesystem::exists(temporaryFor(file())));
}

} // namespace
} // namespace platform
