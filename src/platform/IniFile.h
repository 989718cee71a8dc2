#pragma once

// A settings file of sections and keys:
//
//   ; a comment
//   [Section]
//   Key=Value
//
// Reading finds sections and keys without regard to ASCII case and takes the
// first match. Writing changes only the line of the key written (or adds
// it), so every other line of the file, comments and unknown sections
// included, stays exactly as it was, line endings too.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFile {
public:
    // Reads `path` when it exists. A missing file reads as empty; nothing is
    // created until UpdateFile.
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& fileName() const { return path_; }
    // False when the file exists but could not be read (a folder in its
    // place, no permission). UpdateFile then leaves it alone.
    bool readable() const { return readable_; }

    // The value of `key` in `section` with blanks around it removed, or
    // `fallback` when the section or the key is not there.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;

    // Sets `key` in `section`, in memory; line breaks in `value` become
    // blanks. A key already there keeps its spelling and the text up to its
    // value; a new key goes after the section's last entry; a new section is
    // added at the end of the file.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Writes the values set since the file was read into the file as it is
    // on disk now (so changes made to it meanwhile are kept), replacing it
    // whole so that a failure never leaves half a file. Throws
    // platform::FileError, also for a file marked read-only; does nothing
    // when the file exists but cannot be read, so that a file we could not
    // see is never overwritten.
    void UpdateFile();

    // The file's text as it would be written.
    std::string text() const;

private:
    struct Line {
        std::string text;   // without its line break
        std::string ending; // "\r\n", "\n", "\r" or "" (the last line)
    };
    struct Write {
        std::string section, key, value;
    };

    static bool readLines(const std::filesystem::path& path, std::vector<Line>& lines);
    static void apply(std::vector<Line>& lines, const Write& write);

    std::filesystem::path path_;
    std::vector<Line> lines_;
    std::vector<Write> writes_;
    bool readable_ = true;
};

} // namespace platform
