#include "download/output_folder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace novel {
namespace {

// A read-only mount counts as not writable, for root too.
bool writable_folder(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

std::optional<OutputFolder> choose_output_folder(const std::optional<std::string>& program_folder,
                                                 const std::vector<std::string>& fallbacks) {
    if (program_folder && writable_folder(*program_folder)) {
        return OutputFolder{.path = *program_folder, .beside_program = true};
    }
    for (const std::string& folder : fallbacks) {
        if (writable_folder(folder)) return OutputFolder{.path = folder};
    }
    return std::nullopt;
}

}  // namespace novel
