#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

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
    FileDescriptor file = open_file(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (!file.valid()) return failure(errno);
    return finish(file, write_all(file.get(), bytes));
}

FileResult append_file(const std::string& path, std::string_view bytes) {
    FileDescriptor file = open_file(path, O_WRONLY | O_APPEND);
    if (!file.valid()) return failure(errno);
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

FileResult open_for_writing(const std::string& path) {
    FileDescriptor file = open_file(path, O_WRONLY | O_CREAT);
    if (!file.valid()) return failure(errno);
    return finish(file, 0);
}

FileResult truncate_file(const std::string& path, std::uint64_t length) {
    FileDescriptor file = open_file(path, O_WRONLY);
    if (!file.valid()) return failure(errno);
    if (::ftruncate(file.get(), static_cast<off_t>(length)) != 0) return failure(errno);
    return finish(file, 0);
}

FileResult sync_file(const std::string& path) {
    FileDescriptor file = open_file(path, O_RDONLY);
    if (!file.valid()) return failure(errno);
    if (::fdatasync(file.get()) != 0) return failure(errno);
    return finish(file, 0);
}

FileResult replace_file_atomically(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".tmp";
    {
        FileDescriptor file = open_file(temporary, O_WRONLY | O_CREAT | O_TRUNC);
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

std::optional<std::uint64_t> file_size(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

FileContent read_file(const std::string& path) {
    FileDescriptor file = open_file(path, O_RDONLY);
    if (!file.valid()) return {.ok = false, .reason = system_reason(errno)};
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
