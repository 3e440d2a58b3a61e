#include "app/window_operations.h"
