#!/usr/bin/env python3
"""Two jobs done by vyn, by pandas + scipy and by R (data.table::fread + t.test), each tool in its
own process on the same file: wall seconds and peak memory (the child's maximum resident set) per
tool, and every tool's numbers compared with vyn's to 1e-9 relative.  A tool that is not installed
is reported and skipped.
  class  `class g; var y1-y4;` on the 10-group file: means per level, t, df and p (pooled and
         Satterthwaite);
  by     `by by; var y1-y4;` on the 10,000-group file: per group mean, confidence limits of the
         mean, t, df and p.

usage: peers.py VYN CLASS_CSV BY_CSV [WORKDIR]"""
import json
import os
import subprocess
import sys
import tempfile
import time

TOL = 1e-9
# pandas and scipy come from Debian: their interpreter, when another python3 runs this script
PEER_PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
VARS = ["y1", "y2", "y3", "y4"]

PANDAS_CLASS = r"""
import json, sys
import pandas as pd
from scipy import stats
d = pd.read_csv(sys.argv[1])
out = {}
for v in %r:
    a = d.loc[d.g == "a", v].dropna().to_numpy()
    b = d.loc[d.g == "b", v].dropna().to_numpy()
    pooled = stats.ttest_ind(a, b, equal_var=True)
    welch = stats.ttest_ind(a, b, equal_var=False)
    na, nb = len(a), len(b)
    va, vb = a.var(ddof=1) / na, b.var(ddof=1) / nb
    out.update({v + "|mean_a": a.mean(), v + "|mean_b": b.mean(),
                v + "|t_pooled": pooled.statistic, v + "|df_pooled": na + nb - 2,
                v + "|p_pooled": pooled.pvalue, v + "|t_satt": welch.statistic,
                v + "|df_satt": (va + vb) ** 2 / (va * va / (na - 1) + vb * vb / (nb - 1)),
                v + "|p_satt": welch.pvalue})
json.dump(out, open(sys.argv[2], "w"))
""" % (VARS,)

PANDAS_BY = r"""
import json, sys
import pandas as pd
from scipy import stats
d = pd.read_csv(sys.argv[1])
out = {}
for key, grp in d.groupby("by", sort=False):
    for v in %r:
        x = grp[v].dropna().to_numpy()
        t = stats.ttest_1samp(x, 0.0)
        lo, hi = t.confidence_interval(0.95)
        k = "%%s|%%s|" %% (key, v)
        out.update({k + "mean": x.mean(), k + "lower": lo, k + "upper": hi,
                    k + "t": t.statistic, k + "df": len(x) - 1, k + "p": t.pvalue})
json.dump(out, open(sys.argv[2], "w"))
""" % (VARS,)

R_CLASS = r"""
args <- commandArgs(trailingOnly = TRUE)
suppressMessages(library(data.table))
d <- fread(args[1], na.strings = c("", "."))
out <- character()
for (v in c("y1", "y2", "y3", "y4")) {
  a <- na.omit(d[g == "a"][[v]]); b <- na.omit(d[g == "b"][[v]])
  p <- t.test(a, b, var.equal = TRUE); w <- t.test(a, b, var.equal = FALSE)
  out <- c(out, sprintf('"%s|%s": %.17g', v,
    c("mean_a", "mean_b", "t_pooled", "df_pooled", "p_pooled", "t_satt", "df_satt", "p_satt"),
    c(mean(a), mean(b), p$statistic, p$parameter, p$p.value, w$statistic, w$parameter, w$p.value)))
}
writeLines(paste0("{", paste(out, collapse = ", "), "}"), args[2])
"""

R_BY = r"""
args <- commandArgs(trailingOnly = TRUE)
suppressMessages(library(data.table))
d <- fread(args[1], na.strings = c("", "."))
out <- character()
for (grp in split(d, by = "by")) {
  for (v in c("y1", "y2", "y3", "y4")) {
    x <- na.omit(grp[[v]]); t <- t.test(x)
    out <- c(out, sprintf('"%s|%s|%s": %.17g', grp$by[1], v,
      c("mean", "lower", "upper", "t", "df", "p"),
      c(mean(x), t$conf.int[1], t$conf.int[2], t$statistic, t$parameter, t$p.value)))
  }
}
writeLines(paste0("{", paste(out, collapse = ", "), "}"), args[2])
"""


def peak_mb(pid, peak):
    """The larger of `peak` and the process's own high-water mark (VmHWM) in MB.  The child's
    rusage would also count the memory of this script, which the child held between fork and
    exec."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return max(peak, int(line.split()[1]) / 1024.0)
    except OSError:
        pass
    return peak


def run(argv):
    """Runs one tool; wall seconds and peak resident set in MB of that child alone."""
    start = time.monotonic()
    errors = tempfile.TemporaryFile()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=errors)
    peak = 0.0
    while True:
        peak = peak_mb(proc.pid, peak)
        pid, status = os.waitpid(proc.pid, os.WNOHANG)
        if pid != 0:
            break
        time.sleep(0.005)
    wall = time.monotonic() - start
    errors.seek(0)
    err = errors.read().decode(errors="replace")
    errors.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, peak, proc.returncode, err


def column(item, name):
    return [c["name"] for c in item["columns"]].index(name)


def class_results(items):
    res = {}
    for item in items:
        for row in item.get("rows", []):
            get = lambda name: row[column(item, name)]
            v = row[0]
            if item["name"] == "Statistics" and get("Class") in ("a", "b"):
                res[v + "|mean_" + get("Class")] = get("Mean")
            if item["name"] == "Kravos":
                key = "pooled" if get("Method") == "Pooled" else "satt"
                res.update({v + "|t_" + key: get("tValue"), v + "|df_" + key: get("DF"),
                            v + "|p_" + key: get("Probt")})
    return res


def by_results(items):
    res = {}
    names = {"Statistics": {"Mean": "mean", "LowerCLMean": "lower", "UpperCLMean": "upper"},
             "Kravos": {"tValue": "t", "DF": "df", "Probt": "p"}}
    for item in items:
        wanted = names.get(item.get("name"), {})
        for row in item.get("rows", []) if wanted else []:
            k = "%s|%s|" % (item["by"][0]["value"], row[0])
            res.update({k + short: row[column(item, name)] for name, short in wanted.items()})
    return res


def ours(vyn, job, csv, work):
    out = os.path.join(work, "vyn.json")
    data_dir, name = os.path.split(os.path.abspath(csv))
    step = "proc kravo data=%s; %s run;" % (os.path.splitext(name)[0], job["step"])
    wall, mem, rc, err = run([vyn, "--data-dir", data_dir, "--listing", os.path.join(work, "vyn.lst"),
                              "--log", os.path.join(work, "vyn.log"), "--json", out, "-e", step])
    if rc != 0:
        sys.exit("vyn failed (%d): %s" % (rc, err))
    return wall, mem, job["read"](json.load(open(out))["steps"][0]["output"])


def worst(mine, theirs):
    """The largest relative difference and where; a value one side lacks counts as infinite."""
    err, where = 0.0, ""
    for k in set(mine) | set(theirs):
        x, y = mine.get(k), theirs.get(k)
        e = float("inf") if x is None or y is None else abs(x - y) / max(abs(x), 1e-300)
        if e > err:
            err, where = e, k
    return err, where


JOBS = [{"name": "class", "step": "class g; var y1-y4;", "read": class_results,
         "pandas": PANDAS_CLASS, "r": R_CLASS},
        {"name": "by", "step": "by by; var y1-y4;", "read": by_results,
         "pandas": PANDAS_BY, "r": R_BY}]


def compare(vyn, job, csv, work):
    wall, mem, mine = ours(vyn, job, csv, work)
    print("%s: `%s` on %s" % (job["name"], job["step"], os.path.basename(csv)))
    print("  %-16s %9s %9s %9s  %s" % ("tool", "wall s", "/vyn", "peak MB",
                                       "worst relative difference"))
    print("  %-16s %9.3f %9.2f %9.1f" % ("vyn", wall, 1.0, mem))
    ok = True
    tools = [("pandas+scipy", [PEER_PYTHON, "-c", job["pandas"], csv]),
             ("R data.table", ["Rscript", "-e", job["r"], csv])]
    for name, argv in tools:
        out = os.path.join(work, "%s_%s.json" % (job["name"], name.split()[0].replace("+", "_")))
        try:
            t, m, rc, err = run(argv + [out])
        except FileNotFoundError:
            print("  %-16s not installed" % name)
            continue
        if rc != 0:
            print("  %-16s not run: %s" % (name, err.strip().splitlines()[-1] if err.strip() else rc))
            continue
        e, where = worst(mine, json.load(open(out)))
        ok &= e <= TOL
        print("  %-16s %9.3f %9.2f %9.1f  %.2e %s%s" % (name, t, t / wall, m, e, where,
                                                       "" if e <= TOL else "  ABOVE 1e-9"))
    return ok


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    vyn = sys.argv[1]
    work = sys.argv[4] if len(sys.argv) > 4 else tempfile.mkdtemp(prefix="vyn-peers-")
    ok = [compare(vyn, job, csv, work) for job, csv in zip(JOBS, sys.argv[2:4])]
    return 0 if all(ok) else 1


if __name__ == "__main__":
    sys.exit(main())
