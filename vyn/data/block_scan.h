// The block scan of the inference pass: 64 bytes of CSV at a time become bit
// masks (one bit per byte) of delimiters, line ends, quotes, and the
// "suspect" bytes that keep a field from being a plain number; the masks of
// a run of blocks then become the list of its field ends.
//
// A field without suspect bytes (counting the separator that ends it) is a
// number in the form sign? digits* ('.' digits*)? with at least one digit,
// or "." or empty: a value parseNumericCell reads as a number or the
// standard missing value. Everything else (exponents, blanks, letters, a
// second point or sign, a sign without digits) is suspect and goes to
// parseNumericCell. Quotes and lone carriage returns are left to the
// field-by-field scanner of csv.h.
//
// Each field end (a delimiter or line end) is marked when the field it
// closes holds a suspect byte, and when it holds a byte above 127 (the only
// bytes whose UTF-8 needs a look), so the fields of a run are sorted without
// looking at their bytes again.
//
// The classification uses AVX2 when the processor has it and SSE2 otherwise
// (a plain loop on processors without SSE2).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyn::data::scan {

// What a block passes to the next: bit 0 of the next block starts a field,
// follows a sign, follows a sign and a point, or lies in the digits after a
// point; the field open at the block's end holds a suspect byte, or a byte
// above 127.
struct Carry {
  uint64_t start = 1, sign = 0, signDot = 0, dot = 0, suspect = 0, high = 0;
};

// The marks of a field end: it closes a field with a suspect byte, or with a
// byte above 127; it is a line end; it is none, but the place after the last.
constexpr uint8_t kSuspectEnd = 1, kHighEnd = 2, kLineEnd = 4, kPastEnd = 8;

// The place of a byte in a run of blocks.
using Place = int16_t;

// The field ends of a run of up to kBlocks blocks, in order: the place of
// each delimiter and line end counted from the run's first byte, and its
// marks. A run stops at the first quote: the ends after it are left to the
// field scanner.
struct Ends {
  static constexpr size_t kBlocks = 64;
  static constexpr size_t kMost = kBlocks * 64;
  // Room past the last end: places are written, and rows read, eight at a time.
  static constexpr size_t kSlack = 64;

  // The places, from 0; at()[-1] is -1, the end before the run.
  Place *at() { return slots + 1; }
  const Place *at() const { return slots + 1; }

  Place slots[1 + kMost + kSlack] = {-1};
  uint8_t marks[kMost + kSlack] = {};  // per end: kSuspectEnd, kHighEnd, kLineEnd; then kPastEnd
  size_t count = 0;                    // ends
  size_t blocks = 0;                   // blocks scanned
  bool quote = false;                  // the run stopped at a quote
};

// Lists the ends of the full blocks [p, p + 64 n), n at most Ends::kBlocks,
// of a text whose fields are separated by `delimiter`; `end` is the end of
// the text (the byte after a block is read to see a CR-LF across blocks).
// Stops after the first block with a quote.
void scanEnds(const char *p, size_t n, const char *end, Carry &carry, char delimiter, Ends &out);

// The same for the last block of the text, of n < 64 bytes.
void scanTailEnds(const char *p, size_t n, Carry &carry, char delimiter, Ends &out);

// For tests: the widest instruction set the processor has (the default), or
// the baseline one (SSE2 on x86-64), so both can be checked on one machine.
bool useWidestScan(bool widest);
// False after useWidestScan(false): the row parser then keeps to the baseline too.
bool widestScanInUse();

}  // namespace vyn::data::scan
