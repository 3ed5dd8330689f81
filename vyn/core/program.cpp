#include "vyn/core/program.h"

#include <algorithm>
#include <cctype>

#include "vyn/core/hostmsg.h"

namespace vyn {
namespace {

bool isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool isEmptyStatement(std::string_view text) {
  return std::all_of(text.begin(), text.end(), isBlank);
}

// The first word of a statement, upper case.
std::string firstWord(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  size_t j = i;
  while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) {
    ++j;
  }
  return upper(text.substr(i, j - i));
}

// The word after the first one, upper case.
std::string secondWord(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  while (i < text.size() && !isBlank(text[i])) ++i;
  return firstWord(text.substr(i));
}

// Splits a program text while tracking line and column.
class Splitter {
 public:
  Splitter(std::string_view text, Log &log) : text_(text), log_(log) {}

  std::vector<SourceStatement> run(bool *failed) {
    while (pos_ < text_.size()) {
      if (!startStatement()) break;
      readStatement();
      if (failed_) break;
    }
    *failed = failed_;
    return statements_;
  }

 private:
  void advance() {
    if (text_[pos_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++pos_;
  }

  // Skips blanks and block comments before a statement; false at the end.
  bool startStatement() {
    while (pos_ < text_.size()) {
      if (isBlank(text_[pos_])) {
        advance();
      } else if (text_.substr(pos_, 2) == "/*") {
        skipBlockComment(nullptr);
      } else {
        return !failed_;
      }
      if (failed_) return false;
    }
    return false;
  }

  // A block comment; blanked into `out` when given (newlines kept).
  void skipBlockComment(std::string *out) {
    const int startLine = line_;
    const size_t end = text_.find("*/", pos_ + 2);
    const size_t stop = end == std::string_view::npos ? text_.size() : end + 2;
    while (pos_ < stop) {
      if (out != nullptr) out->push_back(text_[pos_] == '\n' ? '\n' : ' ');
      advance();
    }
    if (end == std::string_view::npos) {
      logHostMessage(log_, kHostUnclosedComment, {std::to_string(startLine)});
      failed_ = true;
    }
  }

  // A statement up to its semicolon; "* ...;" statements are comments.
  void readStatement() {
    SourceStatement st;
    st.line = line_;
    st.column = column_;
    const bool comment = text_[pos_] == '*';
    char quote = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (quote != 0) {
        if (c == quote) quote = 0;  // a doubled quote reopens at once
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == ';') {
        advance();
        if (!comment) statements_.push_back(std::move(st));
        return;
      } else if (!comment && text_.substr(pos_, 2) == "/*") {
        skipBlockComment(&st.text);
        if (failed_) return;
        continue;
      }
      st.text.push_back(c);
      advance();
    }
    // The last statement has no semicolon: keep it, the parser reports it.
    if (!comment && st.text.find_first_not_of(" \t\r\n") != std::string::npos) {
      statements_.push_back(std::move(st));
    }
  }

  std::string_view text_;
  Log &log_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
  bool failed_ = false;
  std::vector<SourceStatement> statements_;
};

// DEBUG=value in an OPTIONS statement, or empty.
std::string debugOption(std::string_view text) {
  const std::string up = upper(text);
  const size_t at = up.find("DEBUG");
  if (at == std::string::npos) return {};
  size_t i = up.find('=', at);
  if (i == std::string::npos) return {};
  ++i;
  while (i < up.size() && isBlank(up[i])) ++i;
  size_t j = i;
  if (j < up.size() && (up[j] == '\'' || up[j] == '"')) {
    const char q = up[j];
    const size_t close = up.find(q, j + 1);
    return up.substr(j + 1, close == std::string::npos ? std::string::npos : close - j - 1);
  }
  while (j < up.size() && !isBlank(up[j])) ++j;
  return up.substr(i, j - i);
}

}  // namespace

std::vector<SourceStatement> splitStatements(std::string_view text, Log &log, bool *failed) {
  return Splitter(text, log).run(failed);
}

Program readProgram(std::string_view text) {
  Program program;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<SourceStatement> statements = splitStatements(text, program.log, &program.failed);
  if (program.failed) return program;
  std::string debug;
  ProgramStep *open = nullptr;
  for (SourceStatement &st : statements) {
    const std::string word = firstWord(st.text);
    if (word == "PROC") {
      program.steps.push_back({secondWord(st.text), {std::move(st)}, debug});
      open = &program.steps.back();
    } else if (word == "RUN" || word == "QUIT") {
      open = nullptr;
    } else if (word == "OPTIONS") {
      debug = debugOption(st.text);
    } else if (open != nullptr) {
      open->statements.push_back(std::move(st));
    } else if (isEmptyStatement(st.text)) {
      continue;  // a lone semicolon, or one after a comment, does nothing
    } else {
      std::string shown = st.text.substr(st.text.find_first_not_of(" \t\r\n\f\v"));
      if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
      logHostMessage(program.log, kHostStrayStatement, {shown});
      program.failed = true;
    }
  }
  if (open != nullptr) logHostMessage(program.log, kHostUnterminated, {open->proc});
  return program;
}

}  // namespace vyn
