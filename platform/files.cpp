#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/content_hash.h"

namespace novel {
namespace {

std::string system_reason(int error) { return std::generic_category().message(error); }

// Owns one file descriptor; closes it on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~FileDescriptor() { reset(); }

    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    [[nodiscard]] int get() const { return fd_; }

    // Closes now and reports the error a deferred write may only show here.
    [[nodiscard]] int close() {
        if (fd_ < 0) return 0;
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? 0 : errno;
    }

private:
    void reset() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }

    int fd_ = -1;
};

FileDescriptor open_file(const std::string& path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

// Opened without blocking (a FIFO without a reader would hold the open
// forever), then checked to be a regular file.
struct RegularFile {
    FileDescriptor file;
    FileResult result;
};
RegularFile open_regular(const std::string& path, int flags, Links links) {
    if (links == Links::refuse) flags |= O_NOFOLLOW;
    RegularFile opened{open_file(path, flags | O_NONBLOCK), {}};
    if (!opened.file.valid()) {
        const int error = errno;
        // ENXIO: a FIFO nobody reads. ELOOP: the link that was refused.
        opened.result = {
            .ok = false,
            .reason = error == ENXIO ? std::string(NOT_A_REGULAR_FILE) : system_reason(error)};
        return opened;
    }
    struct stat status {};
    if (::fstat(opened.file.get(), &status) != 0) {
        opened.result = {.ok = false, .reason = system_reason(errno)};
    } else if (S_ISDIR(status.st_mode)) {
        opened.result = {.ok = false, .reason = system_reason(EISDIR)};
    } else if (!S_ISREG(status.st_mode)) {
        opened.result = {.ok = false, .reason = std::string(NOT_A_REGULAR_FILE)};
    } else {
        // Regular files never block; reads and writes go on as usual.
        ::fcntl(opened.file.get(), F_SETFL, ::fcntl(opened.file.get(), F_GETFL) & ~O_NONBLOCK);
    }
    return opened;
}

// Writes every byte or returns the errno of the failure.
int write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

FileResult failure(int error) { return {.ok = false, .reason = system_reason(error)}; }

FileResult finish(FileDescriptor& file, int write_error) {
    const int close_error = file.close();
    if (write_error != 0) return failure(write_error);
    if (close_error != 0) return failure(close_error);
    return {};
}

}  // namespace

ProgramDirectory program_directory() {
    std::string target(256, '\0');
    while (true) {
        const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0) return {.ok = false, .reason = system_reason(errno)};
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    const std::size_t slash = target.find_last_of('/');
    if (slash == std::string::npos) return {.ok = false, .reason = "no directory in " + target};
    target.resize(slash == 0 ? 1 : slash);
    return {.path = std::move(target)};
}

FileResult write_file(const std::string& path, std::string_view bytes) {
    RegularFile opened = open_regular(path, O_WRONLY | O_CREAT, Links::follow);
    if (!opened.result.ok) return opened.result;
    FileDescriptor& file = opened.file;
    if (::ftruncate(file.get(), 0) != 0) return failure(errno);
    return finish(file, write_all(file.get(), bytes));
}

FileResult append_file(const std::string& path, std::string_view bytes, Links links) {
    RegularFile opened = open_regular(path, O_WRONLY | O_APPEND, links);
    if (!opened.result.ok) return opened.result;
    FileDescriptor& file = opened.file;
    struct stat before {};
    if (::fstat(file.get(), &before) != 0) return failure(errno);
    const int write_error = write_all(file.get(), bytes);
    // A half-written piece would leave the file holding something nobody
    // asked for; take it back so the file still ends where it did.
    if (write_error != 0) {
        [[maybe_unused]] const int cut_back = ::ftruncate(file.get(), before.st_size);
    }
    return finish(file, write_error);
}

FileResult open_for_writing(const std::string& path, Links links) {
    RegularFile opened = open_regular(path, O_WRONLY | O_CREAT, links);
    if (!opened.result.ok) return opened.result;
    return finish(opened.file, 0);
}

FileResult truncate_file(const std::string& path, std::uint64_t length, Links links) {
    RegularFile opened = open_regular(path, O_WRONLY, links);
    if (!opened.result.ok) return opened.result;
    if (::ftruncate(opened.file.get(), static_cast<off_t>(length)) != 0) return failure(errno);
    return finish(opened.file, 0);
}

FileResult sync_file(const std::string& path) {
    FileDescriptor file = open_file(path, O_RDONLY);
    if (!file.valid()) return failure(errno);
    if (::fdatasync(file.get()) != 0) return failure(errno);
    return finish(file, 0);
}

FileResult replace_file_atomically(const std::string& path, std::string_view bytes) {
    std::string temporary = path + ".tmp.XXXXXX";
    {
        FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!file.valid()) return failure(errno);
        int error = write_all(file.get(), bytes);
        if (error == 0 && ::fsync(file.get()) != 0) error = errno;
        if (FileResult closed = finish(file, error); !closed.ok) {
            ::unlink(temporary.c_str());
            return closed;
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return failure(error);
    }
    // The rename itself lives in the directory, which is synced as well.
    const std::size_t slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    FileDescriptor folder = open_file(directory, O_RDONLY | O_DIRECTORY);
    if (folder.valid()) ::fsync(folder.get());
    return {};
}

std::optional<std::uint64_t> hash_file_prefix(const std::string& path, std::uint64_t length) {
    RegularFile opened = open_regular(path, O_RDONLY, Links::follow);
    if (!opened.result.ok) return std::nullopt;
    ContentHash hash;
    char buffer[65536];
    while (length > 0) {
        const ssize_t got =
            ::read(opened.file.get(), buffer,
                   static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof buffer)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        hash.add(std::string_view(buffer, static_cast<std::size_t>(got)));
        length -= static_cast<std::uint64_t>(got);
    }
    return hash.value();
}

std::optional<std::uint64_t> file_size(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

FileContent read_file(const std::string& path, Links links) {
    RegularFile opened = open_regular(path, O_RDONLY, links);
    if (!opened.result.ok) return {.ok = false, .reason = std::move(opened.result.reason)};
    FileDescriptor& file = opened.file;
    std::string bytes;
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && status.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return {.ok = false, .reason = system_reason(errno)};
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return {.bytes = std::move(bytes)};
}

}  // namespace novel
