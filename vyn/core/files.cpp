#include "vyn/core/files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vyn {

bool writeFileAtomically(const std::string &path, std::string_view content, std::string *error) {
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  std::FILE *f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  const int saved = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    *error = std::strerror(written ? errno : saved);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool readWholeFile(const std::string &path, std::string *content, std::string *error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = "read error";
    return false;
  }
  *content = text.str();
  return true;
}

}  // namespace vyn
