// Host services of the log, the exit, memory and step set-up.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/core/catalog.h"
#include "vyn/core/host.h"
#include "vyn/core/hostmsg.h"
#include "vyn/core/services.h"
#include "vyn/output/session.h"

namespace vyn {

namespace {

void missingService(int32_t group, int32_t slot) {
  logHostMessage(currentStep().log, kHostMissingService,
                 {std::to_string(group) + "/" + std::to_string(slot)});
  throw StepExit{1012};
}

void hostExit(int32_t code, int32_t) {
  throw StepExit{code};
}

// Where a message names its BY group, written over `phrase`: " in the BY
// group a=1 b=x", or nothing without a BY statement.
void byGroupPhrase(std::string &phrase) {
  phrase.clear();
  for (const output::ByValue &b : output::currentByGroup()) {
    phrase += phrase.empty() ? " in the BY group " : " ";
    phrase += b.name;
    phrase += '=';
    phrase += b.formatted;
  }
}

// The phrase of the BY group now being processed, built once for all the
// messages of the group.
std::string_view currentByPhrase() {
  thread_local std::string phrase;
  thread_local uint64_t builtFor = 0;
  const uint64_t serial = output::byGroupSerial();
  if (builtFor != serial) {
    byGroupPhrase(phrase);
    builtFor = serial;
  }
  return phrase;
}

// The entry of a message, in one record kept from call to call so that its
// text keeps its room; the log copies it only when it keeps its entries.
LogEntry &messageEntry(LogLevel level, int32_t group, int32_t number) {
  thread_local LogEntry entry;
  entry.level = level;
  entry.group = group;
  entry.number = number;
  entry.text.clear();
  return entry;
}

// The message as an entry: for a log that keeps its entries or hands them
// on, and for a text longer than the room of a line written straight.
void logMessageEntry(Log &log, const CatalogEntry &message, int32_t group, int32_t number,
                     int32_t count, const xins *inserts, std::string_view phrase) {
  LogEntry &entry = messageEntry(message.level, group, number);
  appendCatalogEntry(entry.text, message, count, inserts, phrase);
  log.addLent(entry);
}

// A message the catalogue does not have, logged as an error that names it.
void logUnknownMessage(Log &log, int32_t group, int32_t number, int32_t count,
                       const xins *inserts) {
  LogEntry &entry = messageEntry(LogLevel::kError, group, number);
  entry.text = catalogMessage(group, number, catalogInserts(count, inserts));
  log.addLent(entry);
}

// The message written straight into the log's lines when it takes them, else
// made an entry. The BY group is looked up only for a message that names it.
void messageLog(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  Log &log = currentStep().log;
  const CatalogEntry *message = catalogEntry(group, number);
  if (message == nullptr) return logUnknownMessage(log, group, number, count, inserts);
  const std::string_view phrase = message->namesByGroup ? currentByPhrase() : std::string_view();
  const bool written = log.writeLine(message->level, [&](char *at, char *end) {
    return writeCatalogEntry(at, end, *message, count, inserts, phrase);
  });
  if (!written) logMessageEntry(log, *message, group, number, count, inserts, phrase);
}

void hostErrorLog(int32_t, int32_t status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
  logHostMessage(currentStep().log, kHostHostStatus, {hex});
}

// Copies the text of a message into a buffer without padding; the result is
// the full length of the text, so callers can measure it. The call takes no
// inserts: their places (%1, %2, ...) stay in the text for the caller to fill.
int32_t messageText(char *buffer, int32_t length, int32_t group, int32_t number) {
  const char *raw = catalogText(group, number);
  const std::string missing = raw != nullptr ? std::string() : catalogMessage(group, number);
  const std::string_view text = raw != nullptr ? std::string_view(raw) : std::string_view(missing);
  if (buffer != nullptr && length > 0) {
    std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), static_cast<size_t>(length)));
  }
  return static_cast<int32_t>(text.size());
}

int32_t formatText(char *buffer, int32_t length, const char *format, va_list args) {
  if (buffer == nullptr || length <= 0) return 0;
  const int n = std::vsnprintf(buffer, static_cast<size_t>(length), format, args);
  return n < 0 ? 0 : std::min(n, length - 1);
}

std::string vformat(const char *format, va_list args) {
  char line[1024];
  std::vsnprintf(line, sizeof line, format, args);
  return line;
}

void textLog(const char *format, va_list args) {
  currentStep().log.text(LogLevel::kNote, vformat(format, args));
}

void debugLog(const char *format, va_list args) {
  currentStep().log.text(LogLevel::kError, "internal: " + vformat(format, args));
}

int32_t allocationFailed() {
  Connection &c = Host::current().connection();
  return c.stepPool().failedSinceReset() || c.workPool().failedSinceReset() ? 1 : 0;
}

void memoryMessage(int32_t) {
  logHostMessage(currentStep().log, kHostOutOfMemory);
}

int32_t streamReady() {
  return 0;
}

int32_t optionText(const char *option, char *out, int32_t capacity) {
  if (out == nullptr || capacity <= 0) return 0;
  const std::string value = std::strcmp(option, "DEBUG") == 0 ? currentStep().debug : "";
  const size_t n = std::min(value.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<int32_t>(n);
}

}  // namespace

void registerCoreServices() {
  registerService({0, 0}, &missingService, "missing-service trap");
  registerService(vynsvc::kXexit, &hostExit, "xexit");
  registerService(vynsvc::kXpmlog, &messageLog, "xpmlog");
  registerService(vynsvc::kXprrlog, &hostErrorLog, "xprrlog");
  registerService(vynsvc::kXpmstr, &messageText, "xpmstr");
  registerService(vynsvc::kXpsstr, &formatText, "xpsstr");
  registerService(vynsvc::kXpslog, &textLog, "xpslog");
  registerService(vynsvc::kXebug, &debugLog, "xebug");
  registerService(vynsvc::kXmemdef, &allocationFailed, "xmemdef");
  registerService(vynsvc::kXmemmsg, &memoryMessage, "xmemmsg");
  registerService(vynsvc::kXpopen, &streamReady, "xpopen");
  registerService(vynsvc::kXpoutl, &streamReady, "xpoutl");
  registerService(vynsvc::kXpprnl, &streamReady, "xpprnl");
  registerService(vynsvc::kXplogl, &streamReady, "xplogl");
  registerService(vynsvc::kXpmsgl, &streamReady, "xpmsgl");
  registerService(vynsvc::kXpselec, &streamReady, "xpselec");
  registerService(vynsvc::kXoptcgt, &optionText, "xoptcgt");
}

}  // namespace vyn
