#include "app/download_handlers.h"

#include "app/window_operations.h"

namespace novel {

void take_current_index(WindowOperations&) {}
void fill_current_index(WindowOperations&) {}
void download_range(WindowOperations&) {}

}  // namespace novel
