// What the check must reject without NOMINMAX and accept with it: the
// standard library's min and max after <windows.h>.
#include <windows.h>

#include <algorithm>
#include <limits>

int Smaller(int a, int b) {
  return std::min(a, b);
}
int Largest() {
  return std::numeric_limits<int>::max();
}
