#include "vyn/data/csv.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "vyn/data/error.h"
#include "vyn/data/input_file.h"
#include "vyn/data/missing.h"

namespace vyn::data {

// ---------------------------------------------------------------- MappedFile

MappedFile::MappedFile(MappedFile &&other) noexcept {
  *this = std::move(other);
}

MappedFile &MappedFile::operator=(MappedFile &&other) noexcept {
  if (this != &other) {
    release();
    mapped_ = other.mapped_;
    owned_ = std::move(other.owned_);
    data_ = mapped_ ? other.data_ : owned_.data();
    size_ = other.size_;
    fd_ = other.fd_;
    status_ = other.status_;
    shownName_ = std::move(other.shownName_);
    watch_ = std::move(other.watch_);
    other.data_ = nullptr;
    other.size_ = 0;
    other.mapped_ = false;
    other.fd_ = -1;
  }
  return *this;
}

MappedFile::~MappedFile() {
  release();
}

void MappedFile::release() {
  watch_.unwatch();
  if (mapped_ && data_ != nullptr) ::munmap(const_cast<char *>(data_), size_);
  if (fd_ >= 0) ::close(fd_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
  fd_ = -1;
  owned_.clear();
}

void MappedFile::adopt(std::string text, const std::string &shownName) {
  if (text.empty()) throw DataError(kMsgEmptyFile, {shownName}, shownName);
  release();
  owned_ = std::move(text);
  data_ = owned_.data();
  size_ = owned_.size();
  shownName_ = shownName;
}

void MappedFile::open(const std::string &path, const std::string &shownName) {
  struct stat st {};
  ReadFailure failure;
  const int fd = openRegularFile(path, &st, &failure);
  if (fd < 0) {
    if (failure.err == ENOENT || failure.err == ENOTDIR)
      throw DataError(kMsgFileNotFound, {shownName}, shownName);
    throw DataError(kMsgUnreadable, {shownName, failure.reason}, shownName);
  }
  if (st.st_size == 0) {
    ::close(fd);
    throw DataError(kMsgEmptyFile, {shownName}, shownName);
  }
  size_t size = static_cast<size_t>(st.st_size);
  void *map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (map == MAP_FAILED) {
    int err = errno;
    ::close(fd);
    throw DataError(kMsgUnreadable, {shownName, std::strerror(err)}, shownName);
  }
  ::madvise(map, size, MADV_SEQUENTIAL);
  release();
  data_ = static_cast<const char *>(map);
  size_ = size;
  mapped_ = true;
  fd_ = fd;
  status_ = st;
  shownName_ = shownName;
  watch_.watch(map, size);
}

void MappedFile::checkUnchanged() const {
  std::string change;
  struct stat st {};
  if (watch_.damaged()) {
    change = "it was cut short";
  } else if (fd_ < 0) {
    return;
  } else if (::fstat(fd_, &st) != 0) {
    change = std::strerror(errno);
  } else if (st.st_nlink == 0) {
    change = "it was removed";
  } else if (static_cast<size_t>(st.st_size) != size_) {
    change = "its size went from " + std::to_string(size_) + " to " + std::to_string(st.st_size) +
             " bytes";
  } else {
    return;
  }
  throw DataError(kMsgFileChanged, {shownName_, change}, shownName_);
}

// ---------------------------------------------------------------- fields

namespace {

size_t countNewlines(const char *p, const char *end) {
  size_t n = 0;
  while ((p = static_cast<const char *>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
    ++n;
    ++p;
  }
  return n;
}

// Finds the separator or line end of an unquoted stretch; returns its
// position (end when none).
const char *findSeparator(const char *p, const char *end, char delimiter) {
  while (p < end && *p != delimiter && *p != '\n') ++p;
  return p;
}

}  // namespace

FieldScan scanField(const char *p, const char *end, char delimiter) {
  FieldScan f{p, p, p};
  const char *s;  // the separator, line end or end of file
  if (p < end && *p == '"') {
    f.quoted = true;
    const char *q = p + 1;
    size_t len = 0;
    for (;;) {
      const char *r = static_cast<const char *>(std::memchr(q, '"', static_cast<size_t>(end - q)));
      if (r == nullptr) {
        f.unterminated = true;
        f.newlines += countNewlines(q, end);
        f.end = f.next = end;
        f.rowEnd = true;
        f.contentLength = len + static_cast<size_t>(end - q);
        return f;
      }
      f.newlines += countNewlines(q, r);
      len += static_cast<size_t>(r - q);
      if (r + 1 < end && r[1] == '"') {  // "" stands for one quote
        f.escaped = true;
        len += 1;
        q = r + 2;
        continue;
      }
      q = r + 1;  // after the closing quote
      break;
    }
    s = findSeparator(q, end, delimiter);
    const char *e = s;
    if (s < end && *s == '\n' && e > q && e[-1] == '\r') --e;
    if (e > q) {  // text after the closing quote belongs to the value
      f.escaped = true;
      len += static_cast<size_t>(e - q);
    }
    f.contentLength = len;
    f.end = e;
  } else {
    s = findSeparator(p, end, delimiter);
    const char *e = s;
    if (s < end && *s == '\n' && e > p && e[-1] == '\r') --e;
    f.end = e;
    f.contentLength = static_cast<size_t>(e - p);
  }
  if (s == end) {
    f.rowEnd = true;
    f.next = end;
  } else {
    f.rowEnd = *s == '\n';
    f.next = s + 1;
  }
  return f;
}

std::optional<char> delimiterFrom(std::string_view written) {
  if (written == "tab" || written == "\\t") return '\t';
  if (written.size() != 1) return std::nullopt;
  const char c = written[0];
  const uint16_t cls = characterClassTable()[static_cast<unsigned char>(c)];
  const bool control = static_cast<unsigned char>(c) < 0x20 && c != '\t';
  if (control || static_cast<unsigned char>(c) >= 0x7F || (cls & kClassNameChar) || c == '"' ||
      c == '.' || c == '+' || c == '-')
    return std::nullopt;
  return c;
}

size_t unescapeField(const FieldScan &f, char *out, size_t cap) {
  size_t n = 0;
  auto put = [&](char c) {
    if (n < cap) out[n] = c;
    ++n;
  };
  const char *q = f.begin + 1;
  while (q < f.end) {
    if (*q == '"') {
      if (q + 1 < f.end && q[1] == '"') {
        put('"');
        q += 2;
        continue;
      }
      ++q;  // the closing quote
      break;
    }
    put(*q++);
  }
  while (q < f.end) put(*q++);
  return n < cap ? n : cap;
}

// ---------------------------------------------------------------- cells

namespace {

// The words other programs write for a missing number. Only a cell that does
// not read as a number is compared with them, so numbers pay nothing.
bool isMissingWord(std::string_view w, const std::vector<std::string> *words) {
  static constexpr std::string_view kWords[] = {"NA", "NaN", "nan", "N/A", "NULL", "null"};
  if (words != nullptr) return std::find(words->begin(), words->end(), w) != words->end();
  return std::find(std::begin(kWords), std::end(kWords), w) != std::end(kWords);
}

// "inf" and "Inf" with an optional sign.
int infiniteSign(std::string_view w) {
  const int sign = !w.empty() && w[0] == '-' ? -1 : 1;
  if (!w.empty() && (w[0] == '-' || w[0] == '+')) w.remove_prefix(1);
  return w == "inf" || w == "Inf" ? sign : 0;
}

NumericCell notNumber(std::string_view w, const std::vector<std::string> *words) {
  if (isMissingWord(w, words)) return {CellKind::kMissing, missingValue('.')};
  if (int sign = infiniteSign(w)) return {CellKind::kInfinite, sign * HUGE_VAL};
  return {CellKind::kNotNumber, 0};
}

}  // namespace

NumericCell parseNumericCell(std::string_view text, const std::vector<std::string> *words,
                             char decimal) {
  constexpr double kStandard = missingValue('.');
  const uint16_t *cls = characterClassTable();
  const char *b = text.data(), *e = b + text.size();
  while (b < e && (cls[static_cast<unsigned char>(*b)] & kClassBlank)) ++b;
  while (e > b && (cls[static_cast<unsigned char>(e[-1])] & kClassBlank)) --e;
  size_t n = static_cast<size_t>(e - b);
  if (n == 0) return {CellKind::kMissing, kStandard};
  if (b[0] == '.') {
    if (n == 1) return {CellKind::kMissing, kStandard};
    if (n == 2) {
      char c = b[1];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c == '_' || (c >= 'A' && c <= 'Z')) return {CellKind::kMissing, missingValue(c)};
    }
  }
  const std::string_view trimmed(b, n);
  char pointed[64];  // a decimal comma made a point, for std::from_chars
  if (decimal != '.') {
    if (n > sizeof pointed || trimmed.find('.') != std::string_view::npos)
      return notNumber(trimmed, words);
    std::replace_copy(b, e, pointed, decimal, '.');
    b = pointed;
    e = pointed + n;
  }
  if (*b == '+') ++b;
  // the first character after the sign must be a digit or the point: this
  // keeps out inf, nan and a second sign
  const char *d = (b < e && *b == '-') ? b + 1 : b;
  if (d == e || !((*d >= '0' && *d <= '9') || *d == '.')) return notNumber(trimmed, words);
  double v = 0;
  auto r = std::from_chars(b, e, v);
  if (r.ec != std::errc() || r.ptr != e) return notNumber(trimmed, words);
  return {CellKind::kNumber, v};
}

bool isValidName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  const uint16_t *cls = characterClassTable();
  if (cls[static_cast<unsigned char>(name[0])] & kClassDigit) return false;
  for (char c : name)
    if (!(cls[static_cast<unsigned char>(c)] & kClassNameChar)) return false;
  return true;
}

std::string validNameFor(std::string_view header, int64_t column) {
  if (header.empty()) return column == 1 ? "_row_" : "_col" + std::to_string(column);
  const uint16_t *cls = characterClassTable();
  std::string name = (cls[static_cast<unsigned char>(header[0])] & kClassDigit) ? "_" : "";
  for (char c : header) name += (cls[static_cast<unsigned char>(c)] & kClassNameChar) ? c : '_';
  name.resize(std::min<size_t>(name.size(), 32));
  return name;
}

std::string upperCase(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string lowerCase(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace vyn::data
