/* Found ahead of MinGW-w64's <windows.h>: that header, then what MSVC's
   adds to it. */
#include_next <windows.h>
#include "min_max_macros.h"
