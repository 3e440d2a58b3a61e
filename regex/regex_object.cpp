#include "regex/regex_object.h"
