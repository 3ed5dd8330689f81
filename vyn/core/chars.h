// The character classes of names and numbers in program text, shared by the
// statement scanner and the WHERE= condition parser.
#pragma once

#include <cctype>

namespace vyn {

// A name starts with a letter or an underscore and goes on with letters,
// digits and underscores.
inline bool isNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
inline bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
inline bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace vyn
