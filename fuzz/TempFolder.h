#pragma once

// What the fuzz targets share: a scratch folder per process, files in and
// out, and stopping on a broken invariant.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>

namespace fuzzing {

// Created on first use, removed at exit.
class ScratchFolder {
public:
    ScratchFolder()
    {
        // Writes are flushed to the disk; in memory that costs nothing.
        std::error_code error;
        const auto base = std::filesystem::is_directory("/dev/shm", error)
                              ? std::filesystem::path("/dev/shm")
                              : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tessaly-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline const std::filesystem::path& scratchFolder()
{
    static const ScratchFolder folder;
    return folder.path();
}

inline void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::perror("writing the fuzz input");
        std::abort();
    }
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Stops the run with the input that broke an invariant.
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

} // namespace fuzzing
