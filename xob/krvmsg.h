// Messages of the procedure (group 181): errors end the step, warnings raise
// the return code to at least 4.
#pragma once

#include <cstdint>

#include "host/vynsvc.h"
#include "xob/kravo.h"

inline constexpr int32_t kKrvGroup = 181;
// Return code of a step that a host object or the parser connection failed.
inline constexpr int32_t kCodeHostObject = 1012;

// Writes error `number`, sets `failed`, raises `rc` to at least `code` and
// ends the step.
[[noreturn]] void krverror(krvopts *opts, int32_t number, int32_t code, int32_t count = 0,
                           const xins *inserts = nullptr);
// Logs the host's out-of-memory message and ends the step with code 1016.
[[noreturn]] void krvnomem(krvopts *opts);
// Writes warning `number` and raises `rc` to at least 4.
void krvwarn(krvopts *opts, int32_t number);
// A text insert of `len` bytes (-1: NUL-terminated).
inline xins krvins_text(const char *text, int32_t len = -1) {
  return xins{0, len, text, 0.0};
}
// A number insert.
inline xins krvins_num(double value) {
  return xins{1, 0, nullptr, value};
}
