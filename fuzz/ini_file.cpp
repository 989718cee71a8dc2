// The settings file: any file must read without a crash, and writing one key
// must change that key's line only. The input is the file; after a "\0\0"
// it may also carry a section, a key and a value, separated by "\0", for a
// second write of those.

#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using fuzzing::check;

struct Line {
    std::string text, ending;
};

// The file's lines, split on CRLF, LF and CR.
std::vector<Line> linesOf(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto brk = text.find_first_of("\r\n", start);
        if (brk == std::string_view::npos) {
            lines.push_back({std::string(text.substr(start)), ""});
            break;
        }
        const std::size_t width = text.substr(brk).starts_with("\r\n") ? 2 : 1;
        lines.push_back(
            {std::string(text.substr(start, brk - start)), std::string(text.substr(brk, width))});
        start = brk + width;
    }
    return lines;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

bool trimmed(std::string_view s) { return s.empty() || (!blank(s.front()) && !blank(s.back())); }

bool oneLine(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

// `after` is `before` with, at most, either the value of one key line
// replaced or up to three lines added (each one of `added`); the last line
// of `before` may have gained a line break. Checked on the bytes: lines are
// matched whole, text and line break, so that a line break that merges with
// the next one ("\r" then "\n") cannot hide a change.
class KeyLineCheck {
public:
    KeyLineCheck(const std::string& before, const std::string& after, std::string_view value,
                 const std::vector<std::string>& added)
        : o_(linesOf(before)),
          after_(after),
          value_(value),
          added_(added)
    {
    }

    bool holds() { return match(0, 0, 0, false); }

private:
    static constexpr std::string_view Endings[] = {"\r\n", "\n", "\r"};

    bool at(std::size_t p, std::string_view s) const
    {
        return std::string_view(after_).substr(p).starts_with(s);
    }

    // Line `i` of `before` with text `text` at `p`: the length matched, in
    // each way its line break allows.
    std::vector<std::size_t> lineAt(std::size_t i, std::string_view text, std::size_t p) const
    {
        std::vector<std::size_t> lengths;
        if (!at(p, text))
            return lengths;
        const Line& line = o_[i];
        if (!line.ending.empty()) {
            if (at(p + text.size(), line.ending))
                lengths.push_back(text.size() + line.ending.size());
            return lengths;
        }
        lengths.push_back(text.size()); // still the last line
        for (const auto e : Endings)
            if (at(p + text.size(), e))
                lengths.push_back(text.size() + e.size());
        return lengths;
    }

    bool match(std::size_t i, std::size_t p, int inserted, bool replaced)
    {
        if (i == o_.size() && p == after_.size())
            return true;
        if (!tried_.insert({i, p, inserted, replaced}).second)
            return false;
        if (i < o_.size()) {
            for (const auto n : lineAt(i, o_[i].text, p))
                if (match(i + 1, p + n, inserted, replaced))
                    return true;
            if (!replaced && inserted == 0) {
                const std::string& text = o_[i].text;
                if (const auto eq = text.find('='); eq != std::string::npos) {
                    std::size_t v = eq + 1;
                    while (v < text.size() && blank(text[v]))
                        ++v;
                    const std::string changed = text.substr(0, v) + std::string(value_);
                    for (const auto n : lineAt(i, changed, p))
                        if (match(i + 1, p + n, inserted, true))
                            return true;
                }
            }
        }
        if (!replaced && inserted < 3)
            for (const std::string& text : added_) {
                if (!at(p, text))
                    continue;
                const std::size_t q = p + text.size();
                if (q == after_.size() && i == o_.size())
                    return true;
                for (const auto e : Endings)
                    if (at(q, e) && match(i, q + e.size(), inserted + 1, replaced))
                        return true;
            }
        return false;
    }

    std::vector<Line> o_;
    const std::string& after_;
    std::string_view value_;
    const std::vector<std::string>& added_;
    std::set<std::tuple<std::size_t, std::size_t, int, bool>> tried_;
};

void checkOnlyTheKeyLineChanged(const std::string& before, const std::string& after,
                                std::string_view value, const std::vector<std::string>& added)
{
    check(KeyLineCheck(before, after, value, added).holds(),
          "the file changed elsewhere than the key's line, or more than the key's line was added");
}

// Writes section/key=value into the file at `path` holding `original`, and
// checks the file on disk afterwards.
void checkWrite(const std::filesystem::path& path, const std::string& original,
                const std::string& section, const std::string& key, const std::string& value,
                const std::string& expected)
{
    fuzzing::writeFile(
        path, std::span(reinterpret_cast<const std::uint8_t*>(original.data()), original.size()));
    platform::IniFile f(path);
    check(f.readable(), "a plain file reads as unreadable");
    check(f.text() == original, "reading and writing nothing changes the text");
    for (const auto& [s, k] : {std::pair{section, key},
                               {"Tessaly - Notes", "Skin"},
                               {"Tessaly - Notes", "Language"},
                               {"", ""},
                               {"Other", "Skin"}}) {
        const std::string v = f.ReadString(s, k, "fallback");
        check(oneLine(v) && trimmed(v), "a value read has a line break or blanks around it");
    }

    f.WriteString(section, key, value);
    const std::string written = f.text();
    f.UpdateFile();
    check(fuzzing::readFile(path) == written, "the file on disk differs from text()");
    check(f.text() == written, "UpdateFile changed the text of an unchanged file");

    const platform::IniFile again(path);
    check(again.ReadString(section, key, "fallback") == expected,
          "the value written does not read back");
    std::string asWritten = value;
    std::replace_if(
        asWritten.begin(), asWritten.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    checkOnlyTheKeyLineChanged(original, written, asWritten,
                               {"", "[" + section + "]", key + "=" + asWritten});

    // Blanks before a value merge with those after "=", so only a value
    // without them writes the same file twice.
    if (asWritten.empty() || !blank(asWritten.front())) {
        platform::IniFile twice(path);
        twice.WriteString(section, key, value);
        check(twice.text() == written, "writing the same value twice changed the file again");
    }
}

// Names the reader can find again: on one line, no blanks around them, no
// "]" in a section name, no "=" in a key and nothing that makes a key line
// a comment or a section.
bool findable(const std::string& section, const std::string& key)
{
    return oneLine(section) && oneLine(key) && trimmed(section) && trimmed(key) &&
           section.find(']') == std::string::npos && key.find('=') == std::string::npos &&
           !key.starts_with(';') && !key.starts_with('#') && !key.starts_with('[');
}

std::string expectedRead(std::string value)
{
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const auto first = std::find_if_not(value.begin(), value.end(), blank);
    const auto last = std::find_if_not(value.rbegin(), value.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find(std::string_view("\0\0", 2));
    const std::string original = input.substr(0, split);
    const auto path = fuzzing::scratchFolder() / "vorlanta.ini";

    checkWrite(path, original, "Tessaly - Notes", "Skin", "7", "7");

    if (split != std::string::npos) {
        std::vector<std::string> parts;
        std::size_t start = split + 2;
        for (int i = 0; i < 2; ++i) {
            const auto end = input.find('\0', start);
            if (end == std::string::npos)
                break;
            parts.push_back(input.substr(start, end - start));
            start = end + 1;
        }
        if (parts.size() == 2 && findable(parts[0], parts[1])) {
            const std::string value = input.substr(start);
            checkWrite(path, original, parts[0], parts[1], value, expectedRead(value));
        }
    }
    return 0;
}
