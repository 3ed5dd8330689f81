// Writing output files so that a failed run never leaves a half file: the
// text goes to a temporary name beside the target, which is then renamed.
#pragma once

#include <string>
#include <string_view>

namespace vyn {

// Writes `content` to `path` atomically; false with a reason on failure.
bool writeFileAtomically(const std::string &path, std::string_view content, std::string *error);

// Reads a whole file; false with a reason on failure.
bool readWholeFile(const std::string &path, std::string *content, std::string *error);

}  // namespace vyn
