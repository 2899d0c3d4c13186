// Forced ahead of every translation unit of the min/max check (-include),
// precompiled once for all of them.
//
// MSVC's standard library is immune to <windows.h>'s min and max macros (it
// writes (min)(...) throughout); libstdc++ is not, so all of it is parsed
// here, before any macro exists. <windows.h> itself is parsed here too, for
// speed: with NOMINMAX still set it defines no macro, and our <windows.h>
// applies them where the unit itself includes it.
//
// MinGW-w64's libstdc++ defines NOMINMAX for every C++ unit, which MSVC's
// does not: only a NOMINMAX that the build itself gives survives.
#ifdef NOMINMAX
#define VELORA_BUILD_DEFINES_NOMINMAX
#endif
#include <bits/stdc++.h>
#include <windows.h>
#ifndef VELORA_BUILD_DEFINES_NOMINMAX
#undef NOMINMAX
#endif
