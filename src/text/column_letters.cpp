#include "text/column_letters.h"

namespace ddt::text {

void AppendColumnLetters(std::string& out, long col) {
  // Bijective base 26: every digit is 1..26 ("A".."Z"), there is no zero digit.
  char letters[16];
  int n = 0;
  for (; col > 0 && n < 16; col = (col - 1) / 26) letters[n++] = static_cast<char>('A' + (col - 1) % 26);
  while (n > 0) out.push_back(letters[--n]);
}

std::string ColumnLetters(long col) {
  std::string letters;
  AppendColumnLetters(letters, col);
  return letters;
}

int ColumnFromLetters(std::string_view letters) {
  constexpr size_t kMaxLetters = 3;
  if (letters.empty() || letters.size() > kMaxLetters) return 0;
  int col = 0;
  for (char c : letters) {
    const char lower = static_cast<char>(c | 0x20);
    if (lower < 'a' || lower > 'z') return 0;
    col = col * 26 + (lower - 'a' + 1);
  }
  return col;
}

}  // namespace ddt::text
