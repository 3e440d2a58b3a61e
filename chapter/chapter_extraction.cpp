#include "chapter/chapter_extraction.h"
