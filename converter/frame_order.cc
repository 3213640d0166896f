#include "converter/frame_order.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool FrameNameLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t a_end = i;
      size_t b_end = j;
      while (a_end < a.size() && IsDigit(a[a_end])) ++a_end;
      while (b_end < b.size() && IsDigit(b[b_end])) ++b_end;
      size_t a_start = i;
      size_t b_start = j;
      while (a_start + 1 < a_end && a[a_start] == '0') ++a_start;
      while (b_start + 1 < b_end && b[b_start] == '0') ++b_start;
      const size_t a_digits = a_end - a_start;
      const size_t b_digits = b_end - b_start;
      if (a_digits != b_digits) return a_digits < b_digits;
      const int order = a.compare(a_start, a_digits, b, b_start, b_digits);
      if (order != 0) return order < 0;
      i = a_end;
      j = b_end;
      continue;
    }
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[j]);
    if (x != y) return x < y;
    ++i;
    ++j;
  }
  if ((i < a.size()) != (j < b.size())) return j < b.size();
  return a < b;
}
