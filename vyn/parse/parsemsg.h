// The parser's own messages (group 210, numbers 270 to 299, and 343).
#pragma once

namespace vyn {

enum ParseMessage : int {
  kMsgSyntax = 270,         // a token that does not fit the statement
  kMsgNoVariable = 271,     // a variable the data set does not have
  kMsgWrongType = 272,      // a variable of the wrong type for its list
  kMsgBadNumbered = 273,    // x1-x5 without a common prefix and ascending numbers
  kMsgReversedRange = 274,  // a--d with d before a
  kMsgNoPrefix = 275,       // abc: matching no variable
  kMsgUnknownAction = 276,  // the tables use an action kind this host lacks
  kMsgUnterminated = 278,   // a quoted string without its closing quote
  kMsgBadCharacter = 279,   // a character no token begins with
  kMsgBadLiteral = 280,     // a date, time or datetime literal that is not valid
  kMsgNumberRange = 281,    // a number too large for a double
  kMsgPlainNumber = 282,    // a date or time literal where a plain number is needed
  kMsgTooManyErrors = 283,  // error repair gave up on a statement
  kMsgNotConnected = 284,   // a descriptor not prepared by xsparse
  kMsgSymbolTable = 285,    // xsfixsym given counts that do not match the descriptor
  kMsgSecondStmt = 290,     // a second BY, CLASS, FREQ, WEIGHT or CROSSOVER=
  kMsgSecondOption = 291,   // a second DATA=, H0=, ALPHA=, SIDES=number or TOST
  kMsgCharacterCell = 343,  // a character variable in a numeric list, with the cell that made it so
};

}  // namespace vyn
