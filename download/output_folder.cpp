#include "download/output_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace novel {
namespace {

// A read-only mount counts as not writable, for root too.
bool writable_folder(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           ::access(path.c_str(), W_OK) == 0;
}

bool owned_by_user(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && status.st_uid == ::geteuid();
}

// Path text with repeated and trailing slashes dropped, so "/usr//lib/" is "/usr/lib".
std::string tidy(std::string_view path) {
    std::string tidied;
    for (const char c : path) {
        if (c == '/' && !tidied.empty() && tidied.back() == '/') continue;
        tidied += c;
    }
    while (tidied.size() > 1 && tidied.back() == '/') tidied.pop_back();
    return tidied;
}

}  // namespace

bool is_system_folder(const std::string& path) {
    static constexpr std::array<std::string_view, 13> kSystemFolders = {
        "/usr",    "/opt", "/bin", "/sbin", "/lib", "/lib32", "/lib64",
        "/libx32", "/etc", "/var", "/boot", "/srv", "/snap"};
    const std::string tidied = tidy(path);
    if (tidied == "/") return true;
    for (const std::string_view folder : kSystemFolders) {
        if (tidied == folder) return true;
        if (tidied.size() > folder.size() && tidied.starts_with(folder) &&
            tidied[folder.size()] == '/') {
            return true;
        }
    }
    return false;
}

std::optional<OutputFolder> choose_output_folder(const std::optional<std::string>& program_folder,
                                                 const std::vector<std::string>& fallbacks) {
    if (program_folder && !is_system_folder(*program_folder) && owned_by_user(*program_folder) &&
        writable_folder(*program_folder)) {
        return OutputFolder{.path = *program_folder, .beside_program = true};
    }
    for (const std::string& folder : fallbacks) {
        if (writable_folder(folder)) return OutputFolder{.path = folder};
    }
    return std::nullopt;
}

}  // namespace novel
