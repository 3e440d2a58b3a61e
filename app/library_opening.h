#pragma once
// The library as the windows open it: whatever the file holds, reading goes
// on, and the user is told once what became of a file that could not be used.

#include <QString>
#include <memory>
#include <string>

namespace novel {

class Library;

struct OpenedLibrary {
    std::unique_ptr<Library> library;  // null: read without one
    QString notice;                    // for a message box; empty when all is well
};

[[nodiscard]] OpenedLibrary open_library_for_windows(const std::string& path);

}  // namespace novel
