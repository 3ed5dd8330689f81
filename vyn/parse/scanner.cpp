// The token routine: reads one token of a statement's text. Words are
// matched against the descriptor's keywords without case; where the parser
// cannot take the keyword but can take a name, the word is a name, so
// variables may be called DATA, TYPE or L.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "vyn/core/chars.h"
#include "vyn/parse/engine.h"

namespace vyn {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

char at(std::string_view text, size_t i) {
  return i < text.size() ? text[i] : '\0';
}

size_t skipName(std::string_view text, size_t i) {
  while (isNameChar(at(text, i))) ++i;
  return i;
}

size_t skipDigits(std::string_view text, size_t i) {
  while (isDigit(at(text, i))) ++i;
  return i;
}

// ---------------------------------------------------------------------------
// Date, time and datetime literals

int monthNumber(std::string_view name) {
  static const char *const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const std::string u = upper(name);
  for (int m = 0; m < 12; ++m) {
    if (u == kMonths[m]) return m + 1;
  }
  return 0;
}

bool leapYear(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int monthDays(int64_t y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

// Days from 1 January 1960 to the given date (proleptic Gregorian calendar).
int64_t daysSince1960(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  constexpr int64_t kEpoch1960 = -3653;  // 1960-01-01 counted from 1970-01-01
  return era * 146097 + doe - 719468 - kEpoch1960;
}

int parseNumber(std::string_view s, size_t &i, size_t maxDigits) {
  const size_t start = i;
  i = skipDigits(s, i);
  if (i == start || i - start > maxDigits) return -1;
  int value = 0;
  std::from_chars(s.data() + start, s.data() + i, value);
  return value;
}

// "01jan2024": the day count, or NaN when it is not a date.
double parseDate(std::string_view s, size_t &i) {
  const int day = parseNumber(s, i, 2);
  if (day < 1 || i + 3 > s.size()) return NAN;
  const int month = monthNumber(s.substr(i, 3));
  i += 3;
  const size_t yearStart = i;
  const int year = parseNumber(s, i, 4);
  if (month == 0 || i - yearStart != 4 || year < 1582 || day > monthDays(year, month)) return NAN;
  return static_cast<double>(daysSince1960(year, month, day));
}

// "10:30" or "10:30:15.5": seconds, or NaN.
double parseTime(std::string_view s, size_t &i) {
  const int hours = parseNumber(s, i, 2);
  if (hours < 0 || at(s, i) != ':') return NAN;
  ++i;
  const int minutes = parseNumber(s, i, 2);
  if (minutes < 0 || minutes > 59) return NAN;
  double seconds = 0;
  if (at(s, i) == ':') {
    ++i;
    const size_t start = i;
    i = skipDigits(s, i);
    if (at(s, i) == '.') i = skipDigits(s, i + 1);
    auto [end, ec] = std::from_chars(s.data() + start, s.data() + i, seconds);
    if (ec != std::errc() || end != s.data() + i || seconds >= 60) return NAN;
  }
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

double literalValue(int symbol, std::string_view s) {
  size_t i = 0;
  double value = NAN;
  if (symbol == kTokDate) {
    value = parseDate(s, i);
  } else if (symbol == kTokTime) {
    value = parseTime(s, i);
  } else {
    const double days = parseDate(s, i);
    if (at(s, i) != ':') return NAN;
    ++i;
    value = days * 86400.0 + parseTime(s, i);
  }
  return i == s.size() ? value : NAN;
}

// ---------------------------------------------------------------------------
// Tokens

class Scanner {
 public:
  Scanner(ParserRun &run, size_t offset, ScanToken &out)
      : run_(run), text_(run.text), i_(offset), out_(out) {}
  void scan(bool resolve);

 private:
  void skipSpace() {
    while (i_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[i_]))) ++i_;
  }
  void finish(int symbol) {
    out_.symbol = symbol;
    out_.end = i_;
    if (out_.text.empty()) out_.text = std::string(text_.substr(out_.start, i_ - out_.start));
  }
  void word(bool resolve);
  void number(size_t from);
  void quoted();
  void dot();
  void format();
  bool resolvesToNumber() const;
  bool dataSetOptions();

  ParserRun &run_;
  std::string_view text_;
  size_t i_;
  ScanToken &out_;
};

void Scanner::word(bool resolve) {
  i_ = skipName(text_, i_);
  if (at(text_, i_) == '.' && isNameStart(at(text_, i_ + 1))) {
    i_ = skipName(text_, i_ + 1);
    const bool third = at(text_, i_) == '.' && isNameStart(at(text_, i_ + 1));
    if (third) i_ = skipName(text_, i_ + 1);
    finish(third ? kTokCatalogName : kTokCompound);
    return;
  }
  if (at(text_, i_) == '.') {
    i_ = skipDigits(text_, i_ + 1);
    finish(kTokFormat);
    return;
  }
  const std::string_view written = text_.substr(out_.start, i_ - out_.start);
  auto kw = run_.keywords.find(upper(written));
  out_.keyword = kw == run_.keywords.end() ? 0 : kw->second;
  int symbol = out_.keyword == 0 ? kTokName : out_.keyword;
  if (resolve && out_.keyword != 0 && !run_.canShift(out_.keyword) && run_.canShift(kTokName)) {
    symbol = kTokName;
  }
  finish(symbol);
}

void Scanner::number(size_t from) {
  size_t j = skipDigits(text_, from);
  bool real = false;
  if (at(text_, j) == '.') {
    j = skipDigits(text_, j + 1);
    real = true;
  }
  if ((at(text_, j) == 'e' || at(text_, j) == 'E') &&
      (isDigit(at(text_, j + 1)) ||
       ((at(text_, j + 1) == '+' || at(text_, j + 1) == '-') && isDigit(at(text_, j + 2))))) {
    j = skipDigits(text_, j + 2);
    real = true;
  }
  i_ = j;
  const char *first = text_.data() + out_.start;
  if (*first == '+') ++first;
  auto [end, ec] = std::from_chars(first, text_.data() + i_, out_.value);
  out_.invalid = ec != std::errc() || end != text_.data() + i_ || !std::isfinite(out_.value);
  finish(real ? kTokNumber : kTokInteger);
}

void Scanner::quoted() {
  const char quote = text_[i_++];
  std::string contents;
  for (;;) {
    if (i_ >= text_.size()) {
      out_.unterminated = true;
      out_.text = std::string(1, quote);
      out_.symbol = kTokBad;
      out_.end = i_;
      return;
    }
    if (text_[i_] == quote) {
      if (at(text_, i_ + 1) != quote) break;
      ++i_;
    }
    contents += text_[i_++];
  }
  ++i_;
  const size_t suffix = i_;
  i_ = skipName(text_, i_);
  const std::string kind = upper(text_.substr(suffix, i_ - suffix));
  int symbol = kTokString;
  if (kind == "N") {
    symbol = kTokName;  // found by the header's own name where a variable name fits
    out_.nameLiteral = true;
  } else if (kind == "D") {
    symbol = kTokDate;
  } else if (kind == "T") {
    symbol = kTokTime;
  } else if (kind == "DT") {
    symbol = kTokDatetime;
  } else if (!kind.empty()) {
    i_ = suffix;  // the word after the string is a token of its own
  }
  if (symbol >= kTokDate && symbol <= kTokDatetime) {
    out_.value = literalValue(symbol, contents);
    out_.invalid = std::isnan(out_.value);
  }
  out_.text = std::move(contents);
  finish(symbol);
}

// "." alone, ".A" to ".Z" and "._" are missing values; ".5" is a number.
void Scanner::dot() {
  if (isDigit(at(text_, i_ + 1))) {
    number(i_);
    return;
  }
  const char next = at(text_, i_ + 1);
  if (isNameChar(next) && !isNameChar(at(text_, i_ + 2))) {
    i_ += 2;
    finish(kTokMissing);
    return;
  }
  ++i_;
  finish(isNameChar(next) ? kTokBad : kTokMissing);
}

// "$8." or "$char10.": a character format name.
void Scanner::format() {
  const size_t j = skipName(text_, i_ + 1);
  if (at(text_, j) != '.') {
    ++i_;
    finish(kTokBad);
    return;
  }
  i_ = skipDigits(text_, j + 1);
  finish(kTokFormat);
}

// A sign before digits belongs to the number when the parser cannot take the
// sign itself but can take a number.
bool Scanner::resolvesToNumber() const {
  const char next = at(text_, i_ + 1);
  const bool digits = isDigit(next) || (next == '.' && isDigit(at(text_, i_ + 2)));
  if (!digits) return false;
  const int sign = run_.punctuation[static_cast<unsigned char>(text_[i_])];
  if (sign != 0 && run_.canShift(sign)) return false;
  return run_.canShift(kTokInteger) || run_.canShift(kTokNumber);
}

// Right after "DATA=name (" everything up to the matching parenthesis is one
// quoted-string token: the data set options, which have a language of their
// own and are read when the data set is opened.
bool Scanner::dataSetOptions() {
  const std::vector<ScanToken> &v = run_.values;
  const size_t n = v.size();
  if (n < 4 || v[n - 1].symbol != run_.punctuation[static_cast<unsigned char>('(')] ||
      v[n - 3].symbol != run_.punctuation[static_cast<unsigned char>('=')]) {
    return false;
  }
  const auto data = run_.keywords.find("DATA");
  if (data == run_.keywords.end() || v[n - 4].symbol != data->second) return false;
  int depth = 0;
  char quote = 0;
  for (size_t j = i_; j < text_.size(); ++j) {
    const char c = text_[j];
    if (quote != 0) {
      quote = c == quote ? 0 : quote;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && depth-- == 0) {
      if (j == i_) return false;
      out_.text = std::string(text_.substr(i_, j - i_));
      i_ = j;
      finish(kTokString);
      return true;
    }
  }
  return false;
}

void Scanner::scan(bool resolve) {
  skipSpace();
  out_ = ScanToken{};
  out_.start = i_;
  if (i_ >= text_.size()) {
    finish(kTokEndStatement);
    out_.end = text_.size() + 1;  // the end marker follows
    return;
  }
  if (resolve && dataSetOptions()) return;
  const char c = text_[i_];
  if (isNameStart(c)) {
    word(resolve);
  } else if (isDigit(c)) {
    number(i_);
  } else if ((c == '-' || c == '+') && resolve && resolvesToNumber()) {
    number(i_ + 1);
  } else if (c == '\'' || c == '"') {
    quoted();
  } else if (c == '.') {
    dot();
  } else if (c == '$') {
    format();
  } else {
    ++i_;
    const auto code = static_cast<unsigned char>(c);
    finish(code < 128 ? run_.punctuation[code] : kTokBad);
  }
}

}  // namespace

int32_t xttk(ParserRun *run, size_t offset, ScanToken *out, int32_t resolve) {
  if (offset > run->text.size()) {
    *out = ScanToken{};
    out->symbol = run->endMarker();
    out->start = out->end = run->text.size();
    return out->symbol;
  }
  Scanner(*run, offset, *out).scan(resolve != 0);
  return out->symbol;
}

}  // namespace vyn
