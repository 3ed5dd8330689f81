#include "vyn/data/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "vyn/data/missing.h"

namespace vyn::data {

namespace {

// A finite number as significant decimal digits: |value| = 0.d1d2...dn x 10^exp10.
// n == 0 means zero. At most 15 digits, without trailing zeros.
struct Decimal {
  char d[16];
  int n = 0;
  int exp10 = 0;
  bool neg = false;
};

Decimal decompose(double v) {
  Decimal x;
  x.neg = std::signbit(v);
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
  const char *p = buf;
  x.d[x.n++] = *p++;
  if (*p == '.') ++p;
  while (p < r.ptr && *p != 'e') x.d[x.n++] = *p++;
  int e = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), r.ptr, e);
  x.exp10 = e + 1;
  while (x.n > 0 && x.d[x.n - 1] == '0') --x.n;
  if (x.n == 0) x.exp10 = 0;
  return x;
}

// Rounds to `keep` significant digits, half away from zero; keep <= 0 keeps
// none (the result may still round up to one unit: 0.6 -> 1).
Decimal roundTo(Decimal x, int keep) {
  if (keep >= x.n) return x;
  if (keep < 0) {
    x.n = 0;
    x.exp10 = 0;
    return x;
  }
  bool up = x.d[keep] >= '5';
  x.n = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && x.d[i] == '9') --i;
    if (i < 0) {
      x.d[0] = '1';
      x.n = 1;
      x.exp10 += 1;
    } else {
      x.d[i] = static_cast<char>(x.d[i] + 1);
      x.n = i + 1;
    }
  }
  while (x.n > 0 && x.d[x.n - 1] == '0') --x.n;
  if (x.n == 0) x.exp10 = 0;
  return x;
}

bool showsSign(const Decimal &x) {
  return x.neg && x.n > 0;
}

// Width of x in plain notation with `dec` decimals.
int fixedWidth(const Decimal &x, int dec, bool leadingZero) {
  int intDigits = x.exp10 > 0 ? x.exp10 : ((leadingZero || dec == 0 || x.n == 0) ? 1 : 0);
  return (showsSign(x) ? 1 : 0) + intDigits + (dec > 0 ? dec + 1 : 0);
}

int renderFixed(const Decimal &x, int dec, bool leadingZero, char *out) {
  char *p = out;
  if (showsSign(x)) *p++ = '-';
  if (x.exp10 > 0) {
    for (int i = 0; i < x.exp10; ++i) *p++ = i < x.n ? x.d[i] : '0';
  } else if (leadingZero || dec == 0 || x.n == 0) {
    *p++ = '0';
  }
  if (dec > 0) {
    *p++ = '.';
    for (int i = 0; i < dec; ++i) {
      int j = x.exp10 + i;
      *p++ = (j >= 0 && j < x.n) ? x.d[j] : '0';
    }
  }
  return static_cast<int>(p - out);
}

int exponentDigits(int e) {
  e = e < 0 ? -e : e;
  return e >= 100 ? 3 : 2;
}

int eWidth(const Decimal &y) {
  return (showsSign(y) ? 1 : 0) + 1 + (y.n > 1 ? y.n : 0) + 2 + exponentDigits(y.exp10 - 1);
}

int renderE(const Decimal &y, char *out) {
  char *p = out;
  if (showsSign(y)) *p++ = '-';
  *p++ = y.d[0];
  if (y.n > 1) {
    *p++ = '.';
    for (int i = 1; i < y.n; ++i) *p++ = y.d[i];
  }
  int e = y.exp10 - 1;
  *p++ = 'E';
  *p++ = e < 0 ? '-' : '+';
  e = e < 0 ? -e : e;
  if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
  *p++ = static_cast<char>('0' + (e / 10) % 10);
  *p++ = static_cast<char>('0' + e % 10);
  return static_cast<int>(p - out);
}

void rightAlign(const char *text, int len, int width, char *out) {
  std::memset(out, ' ', static_cast<size_t>(width - len));
  std::memcpy(out + (width - len), text, static_cast<size_t>(len));
}

void asterisks(int width, char *out) {
  std::memset(out, '*', static_cast<size_t>(width));
}

// Precision of a shown form: the decimal exponent of its last digit (lower
// is more precise); a form that rounded the value to zero shows nothing of it.
constexpr int kShowsNothing = 1 << 20;
int lastDigitExponent(const Decimal &y, int dec) {
  return y.n == 0 ? kShowsNothing : -dec;
}

// Plain notation in `w` characters showing as many digits as fit; returns
// false when it does not fit.
bool bestFixed(const Decimal &x, int w, bool leadingZero, Decimal &y, int &dec) {
  int intDigits = x.exp10 > 0 ? x.exp10 : (leadingZero ? 1 : 0);
  int avail = w - (x.neg ? 1 : 0) - intDigits;
  if (avail < -1) return false;
  int d = avail >= 2 ? std::min(avail - 1, std::max(0, x.n - x.exp10)) : 0;
  for (;; --d) {
    y = roundTo(x, x.exp10 + d);
    dec = std::max(0, y.n - y.exp10);
    if (fixedWidth(y, dec, leadingZero) <= w) return true;
    if (d == 0) return false;
  }
}

void formatBest(const Decimal &x, int w, char *out) {
  char buf[64];
  Decimal fy, zy, ey;
  int fdec = 0, zdec = 0;
  bool fits = bestFixed(x, w, true, fy, fdec);
  bool leadingZero = true;
  if (x.exp10 <= 0 && x.n > 0 && (!fits || fy.n == 0 || fy.exp10 > 0) &&
      bestFixed(x, w, false, zy, zdec) &&
      (!fits || lastDigitExponent(zy, zdec) < lastDigitExponent(fy, fdec))) {
    // ".25" instead of "0.25" only when "0." leaves no digit of the value
    // (0.25 in BEST3. would be "0", and 0.5 in BEST2. "1")
    fits = true;
    fy = zy;
    fdec = zdec;
    leadingZero = false;
  }
  bool eFits = false;
  for (int k = x.n; k >= 1 && !eFits; --k) {
    ey = roundTo(x, k);
    eFits = eWidth(ey) <= w;
  }
  int len;
  if (fits && (!eFits || lastDigitExponent(fy, fdec) <= ey.exp10 - ey.n)) {
    len = renderFixed(fy, fdec, leadingZero, buf);
  } else if (eFits) {
    len = renderE(ey, buf);
  } else {
    asterisks(w, out);
    return;
  }
  rightAlign(buf, len, w, out);
}

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int toInt(std::string_view s) {
  if (s.size() > 6) return 1 << 30;
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

// A whole number of at most 15 digits, shown by BESTw. or w.d: its digits (and
// d zeros after the point), right-aligned. Its 15 significant digits are
// exact, so no rounding and no E form shows it more precisely; false when it
// is no such number or does not fit, and the general path decides.
bool formatWhole(double v, const Format &f, int w, char *out) {
  if (!(std::fabs(v) < 1e15)) return false;
  const auto whole = static_cast<int64_t>(v);
  if (static_cast<double>(whole) != v) return false;
  char digits[16];
  const int n = static_cast<int>(
      std::to_chars(digits, digits + sizeof digits, whole < 0 ? -whole : whole).ptr - digits);
  const int sign = whole < 0 ? 1 : 0;
  const int dec = f.kind == Format::Kind::kFixed ? f.decimals : 0;
  const int len = sign + n + (dec > 0 ? dec + 1 : 0);
  if (len > w) return false;
  char *p = out + (w - len);
  std::memset(out, ' ', static_cast<size_t>(w - len));
  if (sign != 0) *p++ = '-';
  std::memcpy(p, digits, static_cast<size_t>(n));
  if (dec == 0) return true;
  p[n] = '.';
  std::memset(p + n + 1, '0', static_cast<size_t>(dec));
  return true;
}

}  // namespace

std::optional<Format> parseFormat(std::string_view s) {
  size_t dot = s.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string_view head = s.substr(0, dot), tail = s.substr(dot + 1);
  if (head.starts_with('$')) {  // $w.
    head.remove_prefix(1);
    if (!tail.empty()) return std::nullopt;
    if (head.empty()) return Format{Format::Kind::kChar, 0, 0};
    if (!allDigits(head)) return std::nullopt;
    int w = toInt(head);
    if (w < 1 || w > kMaxCharLength) return std::nullopt;
    return Format{Format::Kind::kChar, w, 0};
  }
  if (startsWithNoCase(head, "BEST")) {  // BESTw.
    head.remove_prefix(4);
    if (!tail.empty()) return std::nullopt;
    if (head.empty()) return kBest12;
    if (!allDigits(head)) return std::nullopt;
    int w = toInt(head);
    if (w < 1 || w > kMaxNumericWidth) return std::nullopt;
    return Format{Format::Kind::kBest, w, 0};
  }
  if (startsWithNoCase(head, "F")) head.remove_prefix(1);  // w.d, Fw.d
  if (!allDigits(head) || (!tail.empty() && !allDigits(tail))) return std::nullopt;
  int w = toInt(head), d = tail.empty() ? 0 : toInt(tail);
  if (w < 1 || w > kMaxNumericWidth || d > 31 || d >= w) return std::nullopt;
  return Format{Format::Kind::kFixed, w, d};
}

std::string formatName(const Format &f) {
  switch (f.kind) {
    case Format::Kind::kBest:
      return "BEST" + std::to_string(f.width) + ".";
    case Format::Kind::kFixed:
      return std::to_string(f.width) + "." + (f.decimals > 0 ? std::to_string(f.decimals) : "");
    case Format::Kind::kChar:
      return "$" + (f.width > 0 ? std::to_string(f.width) : std::string()) + ".";
  }
  return {};
}

void formatNumber(double v, const Format &f, char *out) {
  int w = f.width > 0 ? f.width : 12;
  if (std::isnan(v) || std::isinf(v)) {
    char c = std::isinf(v) ? (v > 0 ? 'I' : 'M') : missingLetter(v);
    std::memset(out, ' ', static_cast<size_t>(w));
    if (c != '_') out[w - 1] = c;
    return;
  }
  if (formatWhole(v, f, w, out)) return;
  Decimal x = decompose(v);
  if (f.kind == Format::Kind::kFixed) {
    char buf[64];
    Decimal y = roundTo(x, x.exp10 + f.decimals);
    if (fixedWidth(y, f.decimals, true) <= w) {
      rightAlign(buf, renderFixed(y, f.decimals, true, buf), w, out);
      return;
    }
    if (fixedWidth(y, f.decimals, false) <= w) {
      rightAlign(buf, renderFixed(y, f.decimals, false, buf), w, out);
      return;
    }
  }
  formatBest(x, w, out);
}

std::string formatNumber(double v, const Format &f) {
  std::string s(static_cast<size_t>(f.width > 0 ? f.width : 12), ' ');
  formatNumber(v, f, s.data());
  return s;
}

void formatChars(std::string_view value, int width, char *out) {
  size_t w = static_cast<size_t>(width);
  size_t n = std::min(value.size(), w);
  if (n < value.size()) {
    // do not cut a UTF-8 sequence: back up over continuation bytes
    while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80) --n;
  }
  if (n > 0) std::memcpy(out, value.data(), n);
  std::memset(out + n, ' ', w - n);
}

std::string formatChars(std::string_view value, int width) {
  std::string s(static_cast<size_t>(width), ' ');
  formatChars(value, width, s.data());
  return s;
}

std::string_view trimBlanks(std::string_view s) {
  const uint16_t *cls = characterClassTable();
  while (!s.empty() && (cls[static_cast<unsigned char>(s.front())] & kClassBlank))
    s.remove_prefix(1);
  while (!s.empty() && (cls[static_cast<unsigned char>(s.back())] & kClassBlank))
    s.remove_suffix(1);
  return s;
}

}  // namespace vyn::data
