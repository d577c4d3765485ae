#include "engine/column_letters.h"

#include <algorithm>

namespace ddt::engine {

std::string ColumnLetters(int col) {
  std::string letters;
  // Bijective base 26: every digit is 1..26 ("A".."Z"), there is no zero digit.
  for (long n = col; n > 0; n = (n - 1) / 26) letters.push_back(static_cast<char>('A' + (n - 1) % 26));
  std::reverse(letters.begin(), letters.end());
  return letters;
}

}  // namespace ddt::engine
