#include "platform/IniFile.h"
#include "TempFolder.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

class IniFileTest : public testsupport::TempFolder {
protected:
    std::filesystem::path ini() const { return folder / "settings.ini"; }
    void put(const std::string& text) const
    {
        writeBytes(ini(), std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    std::string onDisk() const
    {
        const auto bytes = readBytes(ini());
        return {bytes.begin(), bytes.end()};
    }
};

// --- Reading ------------------------------------------------------------------------

TEST_F(IniFileTest, ReadsTheFirstMatchOfSectionAndKeyInAnyCase)
{
    put("\xEF\xBB\xBF[Other]\nSkin=7\n"
        "; Skin=8\n"
        "[tessaly - NOTES]\r\n"
        "  skin =  3  \r\n"
        "Skin=4\r\n"
        "Empty=\r\n"
        "[Tessaly - Notes]\nSkin=5\n");
    const IniFile f(ini());
    EXPECT_EQ(f.ReadString("Tessaly - Notes", "Skin", "0"), "3");
    EXPECT_EQ(f.ReadString("Other", "SKIN", "0"), "7"); // after a byte-order mark
    EXPECT_EQ(f.ReadString("Tessaly - Notes", "Empty", "x"), "");
    EXPECT_EQ(f.ReadString("Tessaly - Notes", "Missing", "dflt"), "dflt");
    EXPECT_EQ(f.ReadString("Nowhere", "Skin", "0"), "0");
}

TEST_F(IniFileTest, AMissingFileReadsEmptyAndIsNotCreated)
{
    const IniFile f(ini());
    EXPECT_TRUE(f.readable());
    EXPECT_EQ(f.ReadString("S", "K", "d"), "d");
    EXPECT_FALSE(std::filesystem::exists(ini()));
}

// --- Writing one key ------------------------------------------------------------------

struct WriteCase {
    const char* name;
    const char* before; // null: no file
    const char* after;
};
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class IniWrite : public IniFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyTheOneKey)
{
    const WriteCase& c = GetParam();
    if (c.before != nullptr)
        put(c.before);
    IniFile f(ini());
    f.WriteString("Tessaly - Notes", "Skin", "1");
    EXPECT_EQ(f.text(), c.after);
    f.UpdateFile();
    EXPECT_EQ(onDisk(), c.after);
    EXPECT_EQ(IniFile(ini()).ReadString("Tessaly - Notes", "Skin", "0"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    IniFile, IniWrite,
    ::testing::Values(
        WriteCase{"NoFile", nullptr, "[Tessaly - Notes]\nSkin=1\n"},
        WriteCase{"EmptyFile", "", "[Tessaly - Notes]\nSkin=1\n"},
        WriteCase{"ValueReplaced", "[Tessaly - Notes]\nSkin=11\n", "[Tessaly - Notes]\nSkin=1\n"},
        WriteCase{"SpellingAndBlanksKept", "[TESSALY - notes]\r\n  skin = 0  \r\nB=2\r\n",
                  "[TESSALY - notes]\r\n  skin = 1\r\nB=2\r\n"},
        WriteCase{"OthersKeptByteForByte",
                  "; my settings\n[Window]\nSkin=9\nLeft=3\n\n[Tessaly - Notes]\n# old: 4\n"
                  "Skin=abc\nOther=x\n\n[Z]\nSkin=2",
                  "; my settings\n[Window]\nSkin=9\nLeft=3\n\n[Tessaly - Notes]\n# old: 4\n"
                  "Skin=1\nOther=x\n\n[Z]\nSkin=2"},
        WriteCase{"KeyAddedAfterTheSectionsLastEntry",
                  "[Tessaly - Notes]\r\nA=1\r\n\r\n[Z]\r\nB=2\r\n",
                  "[Tessaly - Notes]\r\nA=1\r\nSkin=1\r\n\r\n[Z]\r\nB=2\r\n"},
        WriteCase{"KeyAddedAtAnUnterminatedEnd", "[Tessaly - Notes]\nA=1",
                  "[Tessaly - Notes]\nA=1\nSkin=1"},
        WriteCase{"SectionAddedAtTheEnd", "[Z]\r\nB=2",
                  "[Z]\r\nB=2\r\n\r\n[Tessaly - Notes]\r\nSkin=1\r\n"},
        WriteCase{"CommentedKeyIsNotTheKey", "[Tessaly - Notes]\n;Skin=5\n",
                  "[Tessaly - Notes]\n;Skin=5\nSkin=1\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(IniFileTest, ALineBreakInAValueCannotAddLines)
{
    IniFile f(ini());
    f.WriteString("S", "K", "1\r\n[Evil]\nX=2");
    EXPECT_EQ(f.text(), "[S]\nK=1  [Evil] X=2\n");
}

TEST_F(IniFileTest, UpdateKeepsChangesMadeToTheFileMeanwhile)
{
    put("[Tessaly - Notes]\nSkin=0\n");
    IniFile f(ini());
    put("[Tessaly - Notes]\nSkin=0\n[Added]\nBy=hand\n"); // edited while the program ran
    f.WriteString("Tessaly - Notes", "Skin", "4");
    f.UpdateFile();
    EXPECT_EQ(onDisk(), "[Tessaly - Notes]\nSkin=4\n[Added]\nBy=hand\n");
}

TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverOverwritten)
{
    std::filesystem::create_directory(ini()); // a folder where the file should be
    IniFile f(ini());
    EXPECT_FALSE(f.readable());
    EXPECT_EQ(f.ReadString("S", "K", "d"), "d");
    f.WriteString("S", "K", "1");
    EXPECT_NO_THROW(f.UpdateFile());
    EXPECT_TRUE(std::filesystem::is_directory(ini()));
}

TEST_F(IniFileTest, AReadOnlyFileIsLeftAsItIs)
{
    put("[S]\nK=0\n");
    std::filesystem::permissions(ini(), std::filesystem::perms::owner_read |
                                            std::filesystem::perms::group_read);
    IniFile f(ini());
    f.WriteString("S", "K", "1");
    EXPECT_THROW(f.UpdateFile(), FileError);
    EXPECT_EQ(onDisk(), "[S]\nK=0\n");
    EXPECT_FALSE(std::filesystem::exists(temporaryFor(ini())));
}

TEST_F(IniFileTest, AFolderThatIsGoneFailsTheUpdateAndLeavesNoTemporaryFile)
{
    IniFile f(folder / "gone" / "settings.ini");
    f.WriteString("S", "K", "1");
    EXPECT_THROW(f.UpdateFile(), FileError);
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
}

} // namespace
} // namespace platform
