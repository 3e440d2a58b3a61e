#include "chapter/program_state.h"
