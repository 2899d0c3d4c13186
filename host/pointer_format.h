// Pointers in logs and reports: 16 upper-case hexadecimal digits, zero
// padded, no prefix, whatever the C runtime's own "%p" would print.
#ifndef VELORA_HOST_POINTER_FORMAT_H_
#define VELORA_HOST_POINTER_FORMAT_H_

#include <cstdint>

namespace velora {

constexpr int kPointerTextLength = 16;

// Writes exactly 16 digits and a terminator into `out`.
inline void FormatPointer(uint64_t value, char (&out)[kPointerTextLength + 1]) {
  for (int i = kPointerTextLength - 1; i >= 0; --i) {
    const int digit = static_cast<int>(value & 0xF);
    out[i] = static_cast<char>(digit < 10 ? '0' + digit : 'A' + (digit - 10));
    value >>= 4;
  }
  out[kPointerTextLength] = '\0';
}

inline void FormatPointer(const void* pointer, char (&out)[kPointerTextLength + 1]) {
  FormatPointer(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer)), out);
}

}  // namespace velora

#endif  // VELORA_HOST_POINTER_FORMAT_H_
