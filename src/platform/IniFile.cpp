#include "platform/IniFile.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <system_error>

namespace platform {

namespace {

constexpr std::string_view Blanks = " \t";
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s)
{
    const auto first = s.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(Blanks);
    return s.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// The line as the parser sees it: a byte-order mark on the first line is not
// part of its text.
std::string_view content(const std::string& text, bool first)
{
    std::string_view s = text;
    if (first && s.starts_with(Utf8Mark))
        s.remove_prefix(Utf8Mark.size());
    return s;
}

// The name of a "[Section]" line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (!line.starts_with('['))
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

bool isComment(std::string_view line)
{
    line = trim(line);
    return line.starts_with(';') || line.starts_with('#');
}

// The key of a "Key=Value" line.
std::optional<std::string_view> keyName(std::string_view line)
{
    if (isComment(line) || sectionName(line))
        return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(0, eq));
}

std::string oneLine(std::string_view value)
{
    std::string s(value);
    std::replace_if(
        s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return s;
}

} // namespace

IniFile::IniFile(std::filesystem::path path)
    : path_(std::move(path))
{
    readable_ = readLines(path_, lines_);
}

bool IniFile::readLines(const std::filesystem::path& path, std::vector<Line>& lines)
{
    lines.clear();
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return true;
    if (error || !std::filesystem::is_regular_file(status))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return false;

    std::size_t start = 0;
    while (start < text.size()) {
        const auto brk = text.find_first_of("\r\n", start);
        if (brk == std::string::npos) {
            lines.push_back({text.substr(start), ""});
            break;
        }
        const std::size_t width =
            text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1;
        lines.push_back({text.substr(start, brk - start), text.substr(brk, width)});
        start = brk + width;
    }
    return true;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const
{
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view line = content(lines_[i].text, i == 0);
        if (const auto name = sectionName(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (const auto k = keyName(line); k && sameName(*k, key))
            return std::string(trim(line.substr(line.find('=') + 1)));
    }
    return std::string(fallback);
}

void IniFile::apply(std::vector<Line>& lines, const Write& write)
{
    // The line break this file uses, for lines we add.
    std::string newline = "\n";
    for (const Line& l : lines)
        if (!l.ending.empty()) {
            newline = l.ending;
            break;
        }

    std::optional<std::size_t> sectionAt;
    std::size_t lastEntry = 0; // the section line or its last non-blank line
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = content(lines[i].text, i == 0);
        if (const auto name = sectionName(line)) {
            if (sectionAt)
                break; // past our section
            if (sameName(*name, write.section)) {
                sectionAt = i;
                lastEntry = i;
            }
            continue;
        }
        if (!sectionAt)
            continue;
        if (const auto k = keyName(line); k && sameName(*k, write.key)) {
            // Keep everything up to the value: the key's spelling, the blanks
            // around "=" and a byte-order mark.
            std::string& text = lines[i].text;
            std::size_t valueAt = text.find('=') + 1;
            while (valueAt < text.size() && Blanks.find(text[valueAt]) != std::string_view::npos)
                ++valueAt;
            text = text.substr(0, valueAt) + write.value;
            return;
        }
        if (!trim(line).empty())
            lastEntry = i;
    }

    if (sectionAt) {
        Line added{write.key + "=" + write.value, newline};
        if (lines[lastEntry].ending.empty()) {
            // The section's last entry ends the file without a line break.
            lines[lastEntry].ending = newline;
            added.ending.clear();
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), added);
        return;
    }
    if (!lines.empty()) {
        if (lines.back().ending.empty())
            lines.back().ending = newline;
        if (!trim(lines.back().text).empty())
            lines.push_back({"", newline});
    }
    lines.push_back({"[" + write.section + "]", newline});
    lines.push_back({write.key + "=" + write.value, newline});
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Write write{std::string(section), std::string(key), oneLine(value)};
    apply(lines_, write);
    writes_.push_back(std::move(write));
}

std::string IniFile::text() const
{
    std::string out;
    for (const Line& l : lines_)
        out += l.text + l.ending;
    return out;
}

void IniFile::UpdateFile()
{
    std::vector<Line> current;
    if (!readLines(path_, current)) {
        readable_ = false;
        return;
    }
    // Replacing the file would go past a read-only mark that the user set
    // (renaming over a file needs no write permission on it).
    std::error_code error;
    const auto perms = std::filesystem::status(path_, error).permissions();
    if (!error && std::filesystem::exists(path_, error) &&
        (perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
        throw EFCreateError(path_, "the file is read-only");
    for (const Write& w : writes_)
        apply(current, w);
    lines_ = std::move(current);
    const std::string out = text();
    replaceFile(path_, std::span<const std::uint8_t>(
                           reinterpret_cast<const std::uint8_t*>(out.data()), out.size()));
    readable_ = true;
}

} // namespace platform
