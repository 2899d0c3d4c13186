/* Found ahead of MinGW-w64's <minwindef.h>: that header, then what MSVC's
   adds to it. */
#include_next <minwindef.h>
#include "min_max_macros.h"
