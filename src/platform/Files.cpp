#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#if defined(_WIN32)
#include <fstream>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

EFCreateError::EFCreateError(const std::filesystem::path& path, std::string reason)
    : FileError("Cannot create file " + path.string(), path, std::move(reason))
{
}

EWriteError::EWriteError(const std::filesystem::path& path, std::string reason)
    : FileError("Stream write error", path, std::move(reason))
{
}

std::filesystem::path temporaryFor(const std::filesystem::path& path)
{
    std::filesystem::path temp = path;
    temp += ".tmp";
    return temp;
}

namespace {

// Removes the temporary file, once created, unless the rename took it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::filesystem::path path)
        : path_(std::move(path))
    {
    }
    ~TemporaryFile()
    {
        if (created_) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::filesystem::path& path() const { return path_; }
    void created() { created_ = true; }
    void renamed() { created_ = false; }

private:
    std::filesystem::path path_;
    bool created_ = false;
};

#if defined(_WIN32)

void writeAndFlush(TemporaryFile& temp, const std::filesystem::path& target,
                   std::span<const std::uint8_t> bytes)
{
    std::ofstream out(temp.path(), std::ios::binary | std::ios::trunc);
    if (!out)
        throw EFCreateError(target, "");
    temp.created();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out)
        throw EWriteError(target, "");
}

#else

std::string errnoText(int error) { return std::strerror(error); }

// Closes the descriptor on every path out.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

void writeAndFlush(TemporaryFile& temp, const std::filesystem::path& target,
                   std::span<const std::uint8_t> bytes)
{
    Descriptor fd(::open(temp.path().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        throw EFCreateError(target, errnoText(errno));
    temp.created();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EWriteError(target, errnoText(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        throw EWriteError(target, errnoText(errno));
    if (::close(fd.release()) != 0)
        throw EWriteError(target, errnoText(errno));
}

// Makes the rename itself durable.
void syncFolder(const std::filesystem::path& folder)
{
    const Descriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

#endif

} // namespace

void replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                 const std::function<void()>& beforeRename)
{
    TemporaryFile temp(temporaryFor(path));
    writeAndFlush(temp, path, bytes);
    if (beforeRename)
        beforeRename();
    std::error_code error;
    std::filesystem::rename(temp.path(), path, error);
    if (error)
        throw EWriteError(path, error.message());
    temp.renamed();
#if !defined(_WIN32)
    syncFolder(path.parent_path());
#endif
}

} // namespace platform
