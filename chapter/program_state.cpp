#include "chapter/program_state.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace novel {
namespace {
std::unique_ptr<ProgramState>& state_slot() {
    static std::unique_ptr<ProgramState> state;
    return state;
}
}  // namespace

void create_globals() {
    // Releasing first keeps one instance of each regex object alive at a time.
    state_slot().reset();
    state_slot() = std::make_unique<ProgramState>();
}

void release_globals() { state_slot().reset(); }

ProgramState& globals() {
    ProgramState* state = state_slot().get();
    if (state == nullptr) {
        // Reading state that was never made (or already released) is a bug in
        // the caller; stop loudly instead of running on a dangling object.
        std::fputs("novel: program state used outside create_globals/release_globals\n", stderr);
        std::abort();
    }
    return *state;
}

}  // namespace novel
