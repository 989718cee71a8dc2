#pragma once

// Writing whole files so that a crash or a full disk never leaves a short
// one behind.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace platform {

// A file that could not be written. what() is the short text the program
// shows ("Cannot create file <path>", "Stream write error"); path() and
// reason() (the system's explanation, may be empty) give the detail.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& text, std::filesystem::path path, std::string reason)
        : std::runtime_error(text),
          path_(std::move(path)),
          reason_(std::move(reason))
    {
    }
    const std::filesystem::path& path() const { return path_; }
    const std::string& reason() const { return reason_; }

private:
    std::filesystem::path path_;
    std::string reason_;
};

// The file could not be created: "Cannot create file <path>".
class EFCreateError : public FileError {
public:
    EFCreateError(const std::filesystem::path& path, std::string reason);
};

// Writing, flushing or renaming failed: "Stream write error".
class EWriteError : public FileError {
public:
    EWriteError(const std::filesystem::path& path, std::string reason);
};

// The temporary file replaceFile writes before renaming it over `path`.
std::filesystem::path temporaryFor(const std::filesystem::path& path);

// Replaces the file at `path` with `bytes`: writes them to temporaryFor(path)
// in the same folder, flushes that to the disk, then renames it over `path`.
// Until the rename the previous file stays as it was; if anything fails, the
// temporary file is removed and the previous file is untouched. Throws
// EFCreateError or EWriteError. `beforeRename` runs between the flush and the
// rename (tests use it to stand in for a crash at that moment).
void replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                 const std::function<void()>& beforeRename = {});

} // namespace platform
