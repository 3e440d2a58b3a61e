#pragma once
// Where a download's file goes: beside the program when its folder can be
// written to (a build folder, a portable copy), else in the user's own folders.

#include <optional>
#include <string>
#include <vector>

namespace novel {

struct OutputFolder {
    std::string path;
    bool beside_program = false;
};

// The program's folder when it is given and can be written to, else the
// first of the fallbacks (the user's download folder, the home folder) that
// can; nullopt when none can.
[[nodiscard]] std::optional<OutputFolder> choose_output_folder(
    const std::optional<std::string>& program_folder, const std::vector<std::string>& fallbacks);

}  // namespace novel
