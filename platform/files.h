#pragma once
// The few file operations the program needs: where the program lives, and
// writing, appending and reading whole files. Paths are file-system names
// (UTF-8 on Linux); contents are bytes as they are. Every failure comes back
// with the system's reason instead of being dropped.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace novel {

// The outcome of a file operation; reason is the system's own wording
// (UTF-8) when ok is false.
struct FileResult {
    bool ok = true;
    std::string reason;
};

// A file's whole content, or why it could not be read.
struct FileContent {
    bool ok = true;
    std::string bytes;
    std::string reason;
};

// The directory holding the running program file (symbolic links resolved),
// without a trailing slash; in path, or the reason it could not be found.
struct ProgramDirectory {
    bool ok = true;
    std::string path;
    std::string reason;
};

[[nodiscard]] ProgramDirectory program_directory();

// Whether a symbolic link at the path itself is followed. Files of the
// program's own beside a user's file (journals) refuse links, so that a link
// planted there is never written through; the user's own file follows them,
// as a shell redirect does.
enum class Links { follow, refuse };

// Every operation here takes regular files only: a FIFO, socket or device is
// refused at once with this reason instead of blocking or writing elsewhere.
inline constexpr std::string_view NOT_A_REGULAR_FILE = "不是普通文件";

// Creates the file or replaces its whole content with exactly bytes.
[[nodiscard]] FileResult write_file(const std::string& path, std::string_view bytes);

// Appends bytes to an existing file. A file that has gone missing is an error,
// not a new file: the caller relies on what the file already holds. When the
// write fails part way the file is cut back to its old length.
[[nodiscard]] FileResult append_file(const std::string& path, std::string_view bytes,
                                     Links links = Links::follow);

[[nodiscard]] FileContent read_file(const std::string& path, Links links = Links::follow);

// Creates the file when it is missing and leaves an existing one as it is:
// tells whether it can be written without touching its content.
[[nodiscard]] FileResult open_for_writing(const std::string& path, Links links = Links::follow);

// Cuts the file (which must exist) back to length bytes.
[[nodiscard]] FileResult truncate_file(const std::string& path, std::uint64_t length,
                                       Links links = Links::follow);

// Writes what is still in the system's cache for the file to the disk.
[[nodiscard]] FileResult sync_file(const std::string& path);

// Replaces the file's content so that a reader, or a crash at any moment,
// sees either the old content or the new one: a temporary file beside it is
// written, synced and renamed over it. The temporary file gets a name of its
// own, made exclusively, so nothing planted beside the path is written through.
[[nodiscard]] FileResult replace_file_atomically(const std::string& path, std::string_view bytes);

// ContentHash of the file's first length bytes, read a piece at a time;
// nullopt when it cannot be read or is shorter.
[[nodiscard]] std::optional<std::uint64_t> hash_file_prefix(const std::string& path,
                                                            std::uint64_t length);

// The file's size in bytes, or nullopt when it cannot be looked at.
[[nodiscard]] std::optional<std::uint64_t> file_size(const std::string& path);

}  // namespace novel
