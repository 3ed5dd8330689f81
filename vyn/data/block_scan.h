// The block scan of the inference pass: 64 bytes of CSV at a time become bit
// masks (one bit per byte) of delimiters, line ends, quotes, and the
// "suspect" bytes that keep a field from being a plain number.
//
// A field without suspect bytes (counting the separator that ends it) is a
// number in the form sign? digits* ('.' digits*)? with at least one digit,
// or "." or empty: a value parseNumericCell reads as a number or the
// standard missing value. Everything else (exponents, blanks, letters, a
// second point or sign, a sign without digits) is suspect and goes to
// parseNumericCell. Quotes and lone carriage returns are left to the
// field-by-field scanner of csv.h.
//
// Each delimiter or line end is marked when the field it closes holds a
// suspect byte, and when it holds a byte above 127 (the only bytes whose
// UTF-8 needs a look), so the fields of a block are sorted without looking
// at their bytes again.
//
// The classification uses AVX2 when the processor has it and SSE2 otherwise
// (a plain loop on processors without SSE2).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyn::data::scan {

struct BlockBits {
  uint64_t delim;        // the delimiter and '\n'
  uint64_t lf;           // '\n'
  uint64_t quote;        // '"'
  uint64_t suspectEnds;  // the delimiters that close a field with a suspect byte (see above)
  uint64_t highEnds;     // the delimiters that close a field with a byte above 127
};

// What a block passes to the next: bit 0 of the next block starts a field,
// follows a sign, follows a sign and a point, or lies in the digits after a
// point; the field open at the block's end holds a suspect byte, or a byte
// above 127.
struct Carry {
  uint64_t start = 1, sign = 0, signDot = 0, dot = 0, suspect = 0, high = 0;
};

// Classifies the n full blocks [p, p + 64 n) of a text whose fields are
// separated by `delimiter`; `end` is the end of the text (the byte after a
// block is read to see a CR-LF across blocks).
void scanBlocks(const char *p, size_t n, const char *end, BlockBits *out, Carry &carry,
                char delimiter);

// Classifies the last block of the text, of n < 64 bytes; bits past n are 0.
BlockBits scanTail(const char *p, size_t n, Carry &carry, char delimiter);

// For tests: the widest instruction set the processor has (the default), or
// the baseline one (SSE2 on x86-64), so both can be checked on one machine.
bool useWidestScan(bool widest);

}  // namespace vyn::data::scan
