// The parser's host services: xsproc runs the engine for the module; vir2g
// resolves a service slot to the host routine behind it; xtanch hands out
// the anchor; wztxdotr and xsfixsym let the host adapt the symbol table.
#include "vyn/core/services.h"

#include "vyn/core/hostmsg.h"
#include "vyn/parse/engine.h"
#include "vyn/parse/parsemsg.h"
#include "vyn/parse/parser.h"

namespace vyn {
namespace {

using vynstmt::GrammarDescriptor;

int32_t hostXsproc(void *descriptor, void *processBlock, int32_t trace, int32_t, int32_t, int32_t) {
  StepContext &step = currentStep();
  vynconn::ParseHeader *header = parseHeaderOf(processBlock);
  auto *grammar = static_cast<const GrammarDescriptor *>(descriptor);
  if (header == nullptr || header->statement_block == nullptr || grammar == nullptr ||
      grammar->anchor != parserAnchor()) {
    logHostMessage(step.log, kMsgNotConnected);
    if (header != nullptr) header->status = kStatusSyntaxError;
    return kStatusSyntaxError;
  }
  return runParser(step, *grammar, *header, trace);
}

void *hostVir2g(void *, int32_t group, int32_t slot) {
  const ServiceEntry *entry =
      findService({static_cast<int16_t>(group), static_cast<int16_t>(slot)});
  return entry == nullptr ? nullptr : entry->fn;
}

void *hostXtanch() {
  return parserAnchor();
}

// The scanner reads the symbols' written forms directly from the table, so
// the host never asks to adapt them.
int32_t hostWztxdotr() {
  return 0;
}

// Checks that the counts describe the descriptor; the forms stay as they are.
void hostXsfixsym(int32_t nclasses, int32_t nsymbols, int32_t symbytes, void **descriptor) {
  const auto *g = descriptor == nullptr ? nullptr : static_cast<GrammarDescriptor *>(*descriptor);
  bool fits = g != nullptr && g->nclasses == nclasses && g->nterminals == nsymbols;
  if (fits) {
    const int last = g->tables.symndx[nsymbols - 1];
    fits = last + 1 + g->tables.symtbl[last] == symbytes;
  }
  if (!fits) logHostMessage(currentStep().log, kMsgSymbolTable);
}

}  // namespace

void registerParseServices() {
  registerService(vynsvc::kXsproc, &hostXsproc, "xsproc");
  registerService(vynsvc::kXttk, &xttk, "xttk");
  registerService(vynsvc::kXsem, &xsem, "xsem");
  registerService(vynsvc::kXtanch, &hostXtanch, "xtanch");
  registerService(vynsvc::kXsfixsym, &hostXsfixsym, "xsfixsym");
  registerService(vynsvc::kVir2g, &hostVir2g, "vir2g");
  registerService(vynsvc::kWztxdotr, &hostWztxdotr, "wztxdotr");
}

}  // namespace vyn
