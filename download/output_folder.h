#pragma once
// Where a download's file goes: beside the program when it runs from a
// folder of the user's own (a build folder, a portable copy), else in the
// user's own folders.

#include <optional>
#include <string>
#include <vector>

namespace novel {

struct OutputFolder {
    std::string path;
    bool beside_program = false;
};

// A folder the system's packages own: /usr, /opt, /bin, /lib, /etc, ... or
// one inside them. Installed programs live there, and a file written beside
// them (by root, say) would be left behind among the system's files.
[[nodiscard]] bool is_system_folder(const std::string& path);

// The program's folder when it is given, is not a system folder, belongs to
// the user running the program and can be written to; else the first of the
// fallbacks (the user's download folder, the home folder) that can be
// written to; nullopt when none can.
[[nodiscard]] std::optional<OutputFolder> choose_output_folder(
    const std::optional<std::string>& program_folder, const std::vector<std::string>& fallbacks);

}  // namespace novel
