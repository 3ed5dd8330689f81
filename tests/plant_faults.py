#!/usr/bin/env python3
"""Plants one-line faults in the sources, one at a time, and records which
tests of the whole suite fail for each (the fault is then reverted).

    tests/plant_faults.py BUILD_DIR [OUT_FILE] [FAULT_ID ...]

Each line of OUT_FILE: id, "caught" or "MISSED" (or "nobuild"), the number of
failing tests and their names. Run it from the top of the work tree with a
configured build folder; the tree is left as it was found.
"""
import pathlib
import re
import subprocess
import sys

# id, file, text as it is, text with the fault (each text occurs exactly once)
FAULTS = [
    ("t-tail-swap", "numerics/zlogtnc.cpp",
     "r.lo = x > 0 ? lower : upper;", "r.lo = x < 0 ? lower : upper;"),
    ("t-density-df", "numerics/zlogtnc.cpp",
     "- 0.5L * (df + 1) * std::log1p", "- 0.5L * (df - 1) * std::log1p"),
    ("t-nc-df-bound", "numerics/zlogtnc.cpp",
     "if (delta != 0 && !(df >= 0.5)) return 1;", "if (delta != 0 && !(df > 0.5)) return 1;"),
    ("t-q-p-limit", "numerics/zlogtnc.cpp",
     "!(p <= 1.0 - ZSQRTEPS)", "!(p < 1.0 - ZSQRTEPS)"),
    ("t-sd-moment", "numerics/zlogtnc.cpp",
     "r->wsd = std::sqrt(df / (df - 2));", "r->wsd = std::sqrt(df / (df - 1));"),
    ("f-density-sign", "numerics/zlogfnc.cpp",
     "r.lpf = b.lpf - std::log(x);", "r.lpf = b.lpf + std::log(x);"),
    ("f-x-zero", "numerics/zlogfnc.cpp",
     "if (!(r->x >= 0)) return 1;", "if (!(r->x > 0)) return 1;"),
    ("c-density-ln2", "numerics/zlogcnc.cpp",
     "- std::log(g) - LN2;", "- std::log(g) + LN2;"),
    ("q-newton-sign", "numerics/zquant.cpp",
     "(uselo ? 1 : -1) * std::exp(dn - lt)", "(uselo ? -1 : 1) * std::exp(dn - lt)"),
    ("umpu-alpha", "numerics/zcnf1c.cpp",
     "f1 + (1 - (zdi::ld)alpha);", "f1 + (1 - (zdi::ld)alpha / 2);"),
    ("umpu-nu3", "numerics/zcnf1c.cpp",
     "if (!(nu >= 3) ||", "if (!(nu > 3) ||"),
    ("nc-t-density-at-0", "numerics/znoncen.cpp",
     "*lndens = lnormdens(delta) + lgratio_half(z);", "*lndens = lnormdens(delta) - lgratio_half(z);"),
    ("nc-mixture-cut", "numerics/znoncen.cpp",
     "const ld cut = 55;", "const ld cut = 5;"),
    ("read-freq-one", "stat/src/krvread.cpp",
     "if (v < 1.0) return kDropFreq;", "if (v <= 1.0) return kDropFreq;"),
    ("read-weight-zero", "stat/src/krvread.cpp",
     "if (v <= kNotComputed) return kDropWeight;", "if (v < 0.0) return kDropWeight;"),
    ("read-note-number", "stat/src/krvread.cpp",
     "noteExcluded(opts, 116, st.excluded.lognormal);", "noteExcluded(opts, 118, st.excluded.lognormal);"),
    ("read-order-data", "stat/src/krvread.cpp",
     "    case kOrderData:\n      return false;", "    case kOrderData:\n      return formattedGreater(levels);"),
    ("read-ss-scale", "stat/src/krvread.cpp",
     "r->ss = std::ldexp(r->ss, 2 * drop);", "r->ss = std::ldexp(r->ss, drop);"),
    ("read-level-counter", "stat/src/krvread.cpp",
     "if (level > 0) ++opts->graphics.used[level];", "if (level > 1) ++opts->graphics.used[level];"),
    ("read-no-shift", "stat/src/krvread.cpp",
     "if (rec->n == 0.0) rec->shift = x;", "if (rec->n == 0.0) rec->shift = 0.0;"),
    ("xo-half-treatment-sign", "stat/src/krvxo.cpp",
     "k, s.d / 2.0, f, w, diff", "k, -s.d / 2.0, f, w, diff"),
    ("xo-ratio-denominator", "stat/src/krvxo.cpp",
     "s.yb = seq == 1 ? s.y2 : s.y1;", "s.yb = seq == 1 ? s.y1 : s.y2;"),
    ("xo-order-kept", "stat/src/krvxo.cpp",
     "  if (treatmentsExchange(opts)) {", "  if (!treatmentsExchange(opts)) {"),
    ("xo-other-pair-number", "stat/src/krvread.h",
     "kErrXoOtherPair = 67;", "kErrXoOtherPair = 68;"),
    ("xo-sequence-counter", "stat/src/krvread.cpp",
     "if (level > 0) ++opts->graphics.used[level];",
     "if (level > 0) ++opts->graphics.used[opts->kind == kKindCrossover ? 3 - level : level];"),
    ("stats-sides-alpha", "stat/src/krvstats.cpp",
     "sides != 0 ? 1.0 - alpha : 1.0 - alpha / 2.0", "sides == 0 ? 1.0 - alpha : 1.0 - alpha / 2.0"),
    ("stats-umpu-n3", "stat/src/krvstats.cpp",
     "  if (r->n <= 3.0) {", "  if (r->n < 3.0) {"),
    ("stats-se-weight", "stat/src/krvstats.cpp",
     "krvwide_div(variance, krvwide_of(r->w))", "krvwide_div(variance, krvwide_of(r->n))"),
    ("one-tost-tolerance", "xob/krvone.cpp",
     "const double tol = kKrvTiny * std::fmax", "const double tol = 0.0 * std::fmax"),
    ("one-tost-tail", "xob/krvone.cpp",
     "testPass(a, nullValue(opts, opts->tost_lower), kUpperTail)",
     "testPass(a, nullValue(opts, opts->tost_lower), kLowerTail)"),
    ("qual-umpu-df3", "xob/krvqual.cpp",
     "  if (m.df <= 3.0) {", "  if (m.df < 3.0) {"),
    ("qual-fieller-sign", "xob/krvqual.cpp",
     "const double a = m.g.m2 * m.g.m2 - spread / m.g.w2;",
     "const double a = m.g.m2 * m.g.m2 + spread / m.g.w2;"),
    ("uneq-satterthwaite", "xob/krvuneq.cpp",
     "sh.a2 * sh.a2 / (g.n2 - 1.0)", "sh.a2 * sh.a2 / g.n2"),
    ("uneq-cochran-limit", "xob/krvuneq.cpp",
     "constexpr double kCochranLowest = 0.0001;", "constexpr double kCochranLowest = 0.001;"),
    ("uneq-cochran-df", "xob/krvuneq.cpp",
     "return {m.g.n1 - 1.0, pValue(o.t, m.g.n1 - 1.0, kTwoSided)};",
     "return {m.g.n1, pValue(o.t, m.g.n1 - 1.0, kTwoSided)};"),
    ("uneq-cochran-weight", "xob/krvuneq.cpp",
     "opts->cochran && opts->weight_var < 0;", "opts->cochran && opts->weight_var < 1;"),
    ("qvar-fold", "xob/krvqvar.cpp",
     "return std::fmin(2.0 * upper, 1.0);", "return std::fmin(upper, 1.0);"),
    ("qvar-zero-den-p", "xob/krvqvar.cpp",
     "out->p = positive ? 0.0 : krvmissing('.');", "out->p = positive ? 1.0 : krvmissing('.');"),
    ("run-worse-than-warning", "vyn/cli/run.cpp",
     "return rc < 0 || rc > 4;", "return rc < 0 || rc > 5;"),
    ("run-input-status", "vyn/cli/run.cpp",
     "if (overwritesInput(outputs, inputs, problems)) return kExitRefused;",
     "if (overwritesInput(outputs, inputs, problems)) return kExitError;"),
    ("run-warned", "vyn/cli/run.cpp",
     "warned = warned || step.rc > 0 ||", "warned = warned || step.rc > 4 ||"),
    ("run-same-stream", "vyn/cli/run.cpp",
     "if (a.place != Place::kFile) return true;", "if (a.place != Place::kFile) return false;"),
    ("files-fifo-replaced", "vyn/core/files.cpp",
     "if (!S_ISREG(st.st_mode)) return writeThrough(path, content, error);",
     "if (S_ISCHR(st.st_mode)) return writeThrough(path, content, error);"),
    ("files-link-replaced", "vyn/core/files.cpp",
     "return replaceFile(realPath(path), &st, content, error);",
     "return replaceFile(path, &st, content, error);"),
    ("files-no-folder", "vyn/core/files.cpp",
     'return "the folder " + folder + " does not exist";', 'return {};'),
    ("out-output-attributes", "vyn/output/objects.cpp",
     "for (const auto &[name, value] : output.attributes) t.attributes[name] = value;",
     "for (const auto &[name, value] : output.attributes) t.attributes[name + \"_\"] = value;"),
    ("out-minus-infinity", "vyn/output/objects.cpp",
     "return Missing{'M'};", "return Missing{'I'};"),
    ("out-print-flag", "vyn/output/objects.cpp",
     "column.print = std::get<bool>(value);", "column.print = true;"),
    ("out-missing-letter", "vyn/output/objects.cpp",
     "if (v != v) return Missing{vyn::data::missingLetter(v)};", "if (v != v) return Missing{'.'};"),
    ("csv-crlf-plain", "vyn/data/csv.cpp",
     "if (s < end && *s == '\\n' && e > p && e[-1] == '\\r') --e;",
     "if (s < end && *s == '\\n' && e > p + 1 && e[-1] == '\\r') --e;"),
    ("csv-doubled-quote", "vyn/data/csv.cpp",
     "if (q + 1 < f.end && q[1] == '\"') {", "if (q + 2 < f.end && q[1] == '\"') {"),
    ("cursor-utf8-cut", "vyn/data/cursor.cpp",
     "(static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;",
     "(static_cast<unsigned char>(s[n]) & 0xC0) == 0xC0) --n;"),
    ("cursor-char-missing", "vyn/data/cursor.cpp",
     "if (len == 1 && *b == '.') return {};", "if (len == 1 && *b == ',') return {};"),
    ("cursor-seek-row", "vyn/data/cursor.cpp",
     "at.row > 0 ? at.row - 1 : 0", "at.row > 0 ? at.row : 0"),
    ("format-round-half", "vyn/data/format.cpp",
     "bool up = x.d[keep] >= '5';", "bool up = x.d[keep] > '5';"),
    ("format-sign-width", "vyn/data/format.cpp",
     "return (showsSign(x) ? 1 : 0) + intDigits", "return (showsSign(x) ? 0 : 0) + intDigits"),
    ("missing-blank-class", "vyn/data/missing.cpp",
     "(c >= '\\t' && c <= '\\r')", "(c >= '\\t' && c < '\\r')"),
    ("dataset-bom", "vyn/data/dataset.cpp",
     "std::memcmp(p, \"\\xEF\\xBB\\xBF\", 3) == 0) p += 3;",
     "std::memcmp(p, \"\\xEF\\xBB\\xBF\", 3) == 0) p += 2;"),
    ("dataset-quote-cut", "vyn/data/dataset.cpp",
     "text = cutUtf8(std::move(text), 40)", "text = cutUtf8(std::move(text), 30)"),
    ("dataset-name-case", "vyn/data/dataset.cpp",
     "if (c >= 'A' && c <= 'Z') c =", "if (c >= 'A' && c < 'Z') c ="),
    ("scan-leap-year", "vyn/parse/scanner.cpp",
     "return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;", "return y % 4 == 0;"),
    ("scan-minutes", "vyn/parse/scanner.cpp",
     "if (minutes < 0 || minutes > 59) return NAN;", "if (minutes < 0 || minutes > 60) return NAN;"),
    ("engine-error-limit", "vyn/parse/engine.cpp",
     "if (++errors_ <= kMaxErrorsPerStatement) return false;",
     "if (++errors_ < kMaxErrorsPerStatement) return false;"),
    ("engine-delete-cost", "vyn/parse/engine.cpp",
     "return symbol >= 1 && symbol <= run_.endMarker() ?", "return symbol > 1 && symbol <= run_.endMarker() ?"),
    ("varlist-padded", "vyn/parse/varlist.cpp",
     "const bool padded = a.digits.size() > 1 &&", "const bool padded = a.digits.size() > 2 &&"),
    ("varlist-reversed", "vyn/parse/varlist.cpp",
     "if (a > b) return ItemError{kMsgReversedRange", "if (a > b + 1) return ItemError{kMsgReversedRange"),
    ("semantic-list-default", "vyn/parse/semantic.cpp",
     "list(a0, nargs > 1 ? args[1] : 3);", "list(a0, nargs > 1 ? args[1] : 2);"),
    ("lalr-nullable-first", "tools/lalr.cpp",
     "if (!nullable_[r[i]]) return out;", "if (nullable_[r[i]]) return out;"),
    ("lalr-default-delete", "tools/lalr.cpp",
     "std::max(defaultDel_, 0)", "std::max(defaultDel_, 1)"),
    ("lalr-conflict-shift", "tools/lalr.cpp",
     "const bool shift = it->second < 32768 || act < 32768;",
     "const bool shift = it->second < 32768 && act < 32768;"),
    ("listing-centre", "vyn/output/listing.cpp",
     "kGap * (widths.size() - 1));", "kGap * widths.size());"),
    ("html-escape-lt", "vyn/output/html.cpp",
     'out += "&lt;";', 'out += "<";'),
    ("html-anchor", "vyn/output/html.cpp",
     'return "s" + std::to_string(step + 1)', 'return "s" + std::to_string(step)'),
    ("json-array-break", "vyn/output/json.cpp",
     'out += flat ? ", " : ",\\n";', 'out += flat ? ", " : ",";'),
    ("layout-control-char", "vyn/output/layout.cpp",
     "} else if (c < 0x20 || c == 0x7F) {", "} else if (c < 0x1F || c == 0x7F) {"),
    ("layout-span-run", "vyn/output/layout.cpp",
     "!= first + static_cast<long>(k)) return false;", "!= first + static_cast<long>(k) + 1) return false;"),
    ("outfmt-p-default", "vyn/output/format.cpp",
     "if (decimals < 1) decimals = 4;", "if (decimals < 1) decimals = 3;"),
    ("tab-confidence-level", "xob/krvtab.cpp",
     "return 100.0 * (1.0 - a) + 1000.0 * kEps;", "return 100.0 * a + 1000.0 * kEps;"),
    ("program-quoted-name", "vyn/core/program.cpp",
     ": close - j - 1);", ": close - j);"),
    ("pools-limit", "vyn/core/pools.cpp",
     "|| size > self->limit_) {", "|| size >= self->limit_) {"),
    ("kravo-warning-rc", "xob/kravo.cpp",
     "if (r > 0) raiseRc(opts, 4);", "if (r > 0) raiseRc(opts, 0);"),
    ("kravo-last-analysis", "xob/kravo.cpp",
     "j == opts->nanalyses - 1);", "j == opts->nanalyses);"),
    ("graph-json-dropped", "vyn/output/json.cpp",
     "output.push_back(itemJson(item, graphs.fileOf(s, i)));",
     "if (!std::holds_alternative<Graph>(item.content)) "
     "output.push_back(itemJson(item, graphs.fileOf(s, i)));"),
    ("usage-reason-swapped", "stat/src/krvread.cpp",
     "++st->dropped[drop];", "++st->dropped[kDropWeight];"),
    ("usage-note-number", "stat/src/krvusage.cpp",
     "constexpr int32_t kNoteFreq = 904;", "constexpr int32_t kNoteFreq = 905;"),
    ("usage-by-without-by", "vyn/core/svc_log.cpp",
     "std::string phrase;", "std::string phrase = by.empty() ? \" in this BY group\" : \"\";"),
    ("usage-heading-dropped", "vyn/output/json.cpp",
     "for (const auto *titles : {&p.above, &p.below})", "for (const auto *titles : {&p.below})"),
    ("graph-folder-unchecked", "vyn/cli/run.cpp",
     "const std::string problem = outputFolderProblem(options.graphsDir);",
     "const std::string problem;"),
    ("graph-visit-kind", "vyn/output/listing.cpp",
     "[&](const Graph &graph) {\n"
     "                   writeGraphLine(out, graph, graphPlace(graphs.fileOf(s, i), graphs.html));\n"
     "                 },", ""),
    ("render-template", "xob/krvgrend.cpp",
     '"Graphics.QQ1", {1, -1, -1}', '"Graphics.QQ2", {1, -1, -1}'),
    ("render-confidence-pad", "xob/krvgrend.cpp", '"%-8g"', '"%-7g"'),
    ("render-title", "vyn/output/graphobj.cpp",
     'graph.dynamics.emplace_back("_TITLE", graph.title);', ""),
    ("render-k1", "xob/krvgrend.cpp", '"%d", k + 1);', '"%d", k);'),
    ("render-no-memory-msg", "xob/krvgrend.cpp", "krvwarn(opts, 832);", "krvwarn(opts, 833);"),
    ("render-band-side", "xob/krvgrend.cpp",
     "} else if (c.opts->sides == 2) {", "} else if (c.opts->sides == 1) {"),
    ("render-short-label", "xob/krvgrend.cpp", "v.labellen <= v.namelen", "v.labellen < v.namelen"),
    ("render-xo-family", "xob/krvgrend.cpp", '{"CITrtTest"}}', '{"CITrtPooled"}}'),
    ("render-group-restore", "vyn/output/objects.cpp",
     "enclosing != nullptr && !enclosing->released", "enclosing != nullptr && enclosing->released"),
    ("graph-file-count", "vyn/output/graphfiles.cpp",
     "std::to_string(++counts[stem])", "std::to_string(counts[stem]++)"),
    ("graph-file-taken", "vyn/output/graphfiles.cpp",
     "} while (!taken.insert(file).second);", "} while (!taken.insert(file).second && false);"),
    ("graph-file-stem", "vyn/output/graphfiles.cpp",
     "c == '_' || c == '-';", "c == '_' || c == '-' || c == '.' || c == '/';"),
    ("graph-json-file", "vyn/output/json.cpp",
     "if (!file.empty()) out[\"file\"] = file;", "out[\"file\"] = file;"),
    ("graph-html-inline", "vyn/output/html.cpp",
     "svg.substr(start)", "svg.substr(start + 1)"),
    ("graph-input-kept", "vyn/cli/run.cpp",
     "refused = overwritesInput(graphs, inputs, problems) || refused;", ""),
    ("graph-folder-clash", "vyn/cli/run.cpp",
     "places.push_back(", "if (false) places.push_back("),
]


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def failing(build):
    out = run(["ctest", "--test-dir", build, "-j2", "--timeout", "60"]).stdout
    return sorted(set(re.findall(r"^\s*\d+ - (\S+).*\((?:Failed|Timeout|SEGFAULT|Subprocess|Exception)",
                                 out, re.M)))


def main():
    build = sys.argv[1]
    out = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else "faults.txt")
    only = set(sys.argv[3:])
    with out.open("w") as log:
        for fid, name, good, bad in FAULTS:
            if only and fid not in only:
                continue
            path = pathlib.Path(name)
            text = path.read_text()
            assert text.count(good) == 1, f"{fid}: the text is not found exactly once in {name}"
            path.write_text(text.replace(good, bad))
            try:
                built = run(["cmake", "--build", build, "-j2"]).returncode == 0
                names = failing(build) if built else []
            finally:
                path.write_text(text)
            verdict = "nobuild" if not built else ("caught" if names else "MISSED")
            log.write(f"{fid} {verdict} {len(names)} {' '.join(names)}\n")
            log.flush()
            print(fid, verdict, len(names), flush=True)
    run(["cmake", "--build", build, "-j2"])


if __name__ == "__main__":
    main()
