// Display formats of the host: w.d (fixed decimals), BESTw. (the most
// precise form that fits) and $w. (characters).
//
// A formatted value is always exactly `width` characters:
// - numbers are right-aligned; a missing value shows as its letter ("." for
//   the standard one, "A" for .A, "I" for .I), the special missing value ._
//   as blanks; +/-infinity show as "I" / "M" (the infinite upper and lower
//   values);
// - BESTw. shows up to 15 significant digits: plain decimal notation when it
//   shows the value at least as precisely as E notation (1.2346E+11,
//   1.23E-10) would in w characters, E notation otherwise; the "0" before
//   the point is dropped only when "0." would leave no digit of the value
//   (0.25 in BEST3. is ".25"); asterisks when neither fits;
// - w.d shows d decimals (rounded half away from zero); when the value does
//   not fit it falls back to BESTw. (so 1E20 in 8.2 shows "   1E+20"), and
//   to asterisks only when even that fails;
// - characters are left-aligned, padded with blanks or cut to w bytes (never
//   in the middle of a UTF-8 sequence).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vyn::data {

struct Format {
  enum class Kind : unsigned char { kBest, kFixed, kChar };
  Kind kind = Kind::kBest;
  int width = 12;    // 1..32 for numbers, 1..32767 for characters; 0 for "$." (the length)
  int decimals = 0;  // w.d only: 0..31 and below the width

  bool numeric() const { return kind != Kind::kChar; }
  friend bool operator==(const Format &, const Format &) = default;
};

inline constexpr int kMaxNumericWidth = 32;
inline constexpr int kMaxCharLength = 32767;
inline constexpr Format kBest12{Format::Kind::kBest, 12, 0};

// Parses a format name, case-insensitively: "8.2", "5.", "F8.2", "BEST12.",
// "BEST." (BEST12.), "$10.", "$." (width of the variable). The point is
// required, as in the host language. Returns nothing for anything else, or
// for widths and decimals out of range.
std::optional<Format> parseFormat(std::string_view text);

// The name of a format as the host writes it: "8.2", "BEST12.", "$10.".
std::string formatName(const Format &format);

// Writes the formatted number into out[0..width) (no terminating NUL).
void formatNumber(double value, const Format &format, char *out);
std::string formatNumber(double value, const Format &format);

// Writes the characters left-aligned into out[0..width): padded with blanks
// or cut, never inside a UTF-8 sequence.
void formatChars(std::string_view value, int width, char *out);
std::string formatChars(std::string_view value, int width);

// The text without leading and trailing blanks (for titles such as site=A).
std::string_view trimBlanks(std::string_view text);

}  // namespace vyn::data
