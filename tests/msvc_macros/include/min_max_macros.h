/* The min and max macros of the Windows SDK's <minwindef.h>, which MSVC
   builds meet in C++ as in C unless NOMINMAX is defined. No include guard:
   every inclusion of <windows.h> or <minwindef.h> applies them again, as
   the SDK's header would have on its first. */
#ifndef NOMINMAX
#ifndef max
#define max(a, b) (((a) > (b)) ? (a) : (b))
#endif
#ifndef min
#define min(a, b) (((a) < (b)) ? (a) : (b))
#endif
#endif
