// The procedure driver: one step from the statements to the exit service.
#include "xob/kravo.h"

#include <bit>
#include <cstdint>

#include "core/src/xinit.h"
#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"
#include "xob/krvgraf.h"
#include "xob/krvout.h"
#include "xob/krvprocs.h"
#include "xob/krvtab.h"

namespace {

// Releases the template of every selected table: a new definition replaces
// them, and the end of the step lets the last ones go.
void releaseTables(krvopts *opts) {
  for (int t = 0; t < kKrvTables; ++t) {
    if (krvt_selected(opts, t)) krv_release_object(opts->table_tmpl[t]);
    opts->table_tmpl[t] = nullptr;
  }
}

int32_t defineTables(krvopts *opts) {
  releaseTables(opts);
  switch (opts->kind) {
    case kKindOneSample:
      return krvo10(opts);
    case kKindTwoSample:
      return krvo20(opts);
    case kKindPaired:
      return krvop0(opts);
    default:
      return krvoc0(opts);
  }
}

// The tables of the step's analysis kind.
krvt_kind tablesOfKind(const krvopts *opts) {
  switch (opts->kind) {
    case kKindOneSample:
      return krvo_tables1(0);
    case kKindTwoSample:
      return krvo_tables2();
    case kKindPaired:
      return krvo_tables1(1);
    default:
      return krvo_tablesc();
  }
}

void raiseRc(krvopts *opts, int32_t code) {
  if (opts->rc < code) opts->rc = code;
}

// Width of the level texts the tables show; a BY group whose levels are
// wider or narrower than those the tables were defined for defines them anew,
// so that no level is cut and none is padded beyond its group's own.
int32_t levelWidth(const krvopts *opts) {
  if (opts->kind == kKindTwoSample) return opts->level_trimw;
  if (opts->kind == kKindCrossover) return opts->trt_trimw;
  return 0;
}

// Per-variable mode: one output group per analysis, each released when the
// next one replaces it, even across BY groups; tables defined at the
// first analysis that succeeds, and again for a BY group of other level
// widths. `defined` is the level width of the tables, -1 before any.
void runGroupPerVariable(krvopts *opts, int32_t *defined) {
  for (int32_t i = 0; i < opts->nanalyses; ++i) {
    opts->cur = i;
    const int32_t r = krvproc(opts);
    if (r < 0) {
      raiseRc(opts, 112);
      return;
    }
    if (r > 0) {
      raiseRc(opts, 4);
      return;
    }
    krv_release_group(opts);
    krv_open_group(opts);
    krv_out_fw(opts);
    if (i == 0 && *defined != levelWidth(opts)) {
      defineTables(opts);
      *defined = levelWidth(opts);
    }
    for (uint8_t tables = krvt_selection(opts); tables != 0; tables &= tables - 1) {
      krv_out(opts, std::countr_zero(tables), 1, 1);
    }
    if (opts->graphics.produce) krvRenderGraphs(opts);
  }
}

// One-output mode: every table of the BY group holds the rows of all analyses.
// A group that could not be read raises the return code as in per-variable
// mode, so that a run with a failed group never reports success.
void runGroupOneOutput(krvopts *opts) {
  opts->cur = 0;
  const int32_t r = krvproc(opts);
  if (r < 0) raiseRc(opts, 112);
  if (r > 0) raiseRc(opts, 4);
  if (r != 0) return;
  defineTables(opts);
  krv_out_fw(opts);
  for (int t = 0; t < kKrvTables; ++t) {
    if (!krvt_selected(opts, t)) continue;
    for (int32_t j = 0; j < opts->nanalyses; ++j) {
      opts->cur = j;
      krv_out(opts, t, j == 0, j == opts->nanalyses - 1);
    }
  }
  if (!opts->graphics.produce) return;
  for (int32_t j = 0; j < opts->nanalyses; ++j) {
    opts->cur = j;
    krvRenderGraphs(opts);
  }
}

void releaseObjects(krvopts *opts) {
  releaseTables(opts);
  if (!opts->nobyvar) krv_release_object(opts->group_obj);
  krv_release_object(opts->outmgr);
}

// Frees every work area through the pool it came from, then the record.
void releaseWorkAreas(krvopts *opts) {
  for (int n = 0; n < kKrvSets; ++n) mcn_work_free(krvset(opts, n));
  mcn_work_free(opts->results);
  mcn_step_free(opts->usage);
  mcn_step_free(opts->note_names);
  mcn_step_free(opts->group_text);
  krvt_release_plans(opts);
  for (char *buffer : opts->label) mcn_work_free(buffer);
  mcn_step_free(opts->values);
  mcn_step_free(opts->varnums);
  mcn_step_free(opts->pairing);
  mcn_step_free(opts->class_name);
  mcn_step_free(opts->class_fmt);
  mcn_work_free(opts->class_char);
  for (int k = 0; k < 2; ++k) {
    mcn_step_free(opts->level_fmt[k]);
    mcn_work_free(opts->level_char[k]);
    mcn_step_free(opts->level_trim[k]);
    mcn_step_free(opts->xo_name[k]);
    mcn_step_free(opts->trt_fmt[k]);
    mcn_work_free(opts->trt_char[k]);
    mcn_step_free(opts->xo_fmt[k]);
    mcn_work_free(opts->xo_char[k]);
    mcn_step_free(opts->trt_trim[k]);
  }
  krvGraphicsRelease(opts);
  mcn_step_free(opts);
}

}  // namespace

void vynkravo() {
  xstepblk step{};
  xinit(&step);
  auto *opts = static_cast<krvopts *>(mcn_step_alloc(sizeof(krvopts)));
  if (opts == nullptr) {
    xmemmsg(0);
    xexit(1016, 0);
  }
  opts->failed = 0;
  opts->rc = 0;
  krvparse(opts);
  krvalloc(opts);
  krvinit(opts);
  krvinito(opts);
  krvt_step_texts(opts, tablesOfKind(opts));
  krv_group_texts(opts);
  krvGraphicsParseAlloc(opts);

  int32_t defined = -1;
  while (opts->data != nullptr && xbynext(opts->data) > 0) {
    if (opts->nobyvar) {
      runGroupOneOutput(opts);
    } else if (opts->nanalyses >= 1) {
      runGroupPerVariable(opts, &defined);
    }
  }
  if (opts->reader != nullptr) xvgett(opts->reader);
  releaseObjects(opts);
  const int32_t rc = opts->rc;
  releaseWorkAreas(opts);
  xexit(rc, 0);
}
