#!/usr/bin/env python3
"""The two-sample step `class g; var y1-y4;` by vyn, by pandas + scipy and by R (data.table::fread
+ t.test), each in its own process on the same file: wall seconds and peak memory (the child's
maximum resident set) per tool, and every tool's means, t, df and p (pooled and Satterthwaite)
compared with vyn's to 1e-9 relative.  A tool that is not installed is reported and skipped.

usage: peers.py VYN CSV [WORKDIR]"""
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

PANDAS = r"""
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
    out[v] = {"mean_a": a.mean(), "mean_b": b.mean(),
              "t_pooled": pooled.statistic, "df_pooled": na + nb - 2, "p_pooled": pooled.pvalue,
              "t_satt": welch.statistic,
              "df_satt": (va + vb) ** 2 / (va * va / (na - 1) + vb * vb / (nb - 1)),
              "p_satt": welch.pvalue}
json.dump(out, open(sys.argv[2], "w"))
""" % (VARS,)

R = r"""
args <- commandArgs(trailingOnly = TRUE)
suppressMessages(library(data.table))
d <- fread(args[1], na.strings = c("", "."))
out <- list()
for (v in c("y1", "y2", "y3", "y4")) {
  a <- na.omit(d[g == "a"][[v]]); b <- na.omit(d[g == "b"][[v]])
  p <- t.test(a, b, var.equal = TRUE); w <- t.test(a, b, var.equal = FALSE)
  out[[v]] <- sprintf('"%s": {"mean_a": %.17g, "mean_b": %.17g, "t_pooled": %.17g, "df_pooled": %.17g, "p_pooled": %.17g, "t_satt": %.17g, "df_satt": %.17g, "p_satt": %.17g}',
    v, mean(a), mean(b), p$statistic, p$parameter, p$p.value, w$statistic, w$parameter, w$p.value)
}
writeLines(paste0("{", paste(unlist(out), collapse = ", "), "}"), args[2])
"""


def run(argv, env=None):
    """Runs one tool; wall seconds and peak resident set in MB of that child alone."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_maxrss / 1024.0, proc.returncode, err


def ours(vyn, csv, work):
    out = os.path.join(work, "vyn.json")
    data_dir, name = os.path.split(os.path.abspath(csv))
    step = "proc kravo data=%s; class g; var y1-y4; run;" % os.path.splitext(name)[0]
    wall, mem, rc, err = run([vyn, "--data-dir", data_dir, "--listing", os.path.join(work, "vyn.lst"),
                              "--log", os.path.join(work, "vyn.log"), "--json", out, "-e", step])
    if rc != 0:
        sys.exit("vyn failed (%d): %s" % (rc, err))
    items = json.load(open(out))["steps"][0]["output"]
    res = {v: {} for v in VARS}
    for item in items:
        for row in item.get("rows", []):
            v = row[0]
            if item["name"] == "Statistics" and row[1] in ("a", "b"):
                res[v]["mean_" + row[1]] = row[3]
            if item["name"] == "Kravos":
                key = "pooled" if row[1] == "Pooled" else "satt"
                res[v].update({"t_" + key: row[3], "df_" + key: row[4], "p_" + key: row[5]})
    return wall, mem, res


def worst(mine, theirs):
    err, where = 0.0, ""
    for v in VARS:
        for k, x in mine[v].items():
            y = theirs[v][k]
            e = abs(x - y) / max(abs(x), 1e-300) if x != y else 0.0
            if e > err:
                err, where = e, "%s %s" % (v, k)
    return err, where


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    vyn, csv = sys.argv[1], sys.argv[2]
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="vyn-peers-")
    wall, mem, mine = ours(vyn, csv, work)
    print("%-16s %9s %9s %9s  %s" % ("tool", "wall s", "/vyn", "peak MB", "worst relative difference"))
    print("%-16s %9.3f %9.2f %9.1f" % ("vyn", wall, 1.0, mem))
    ok = True
    tools = [("pandas+scipy", [PEER_PYTHON, "-c", PANDAS, csv]), ("R data.table", ["Rscript", "-e", R, csv])]
    for name, argv in tools:
        out = os.path.join(work, name.split()[0].replace("+", "_") + ".json")
        try:
            t, m, rc, err = run(argv + [out])
        except FileNotFoundError:
            print("%-16s not installed" % name)
            continue
        if rc != 0:
            print("%-16s not run: %s" % (name, err.strip().splitlines()[-1] if err.strip() else rc))
            continue
        e, where = worst(mine, json.load(open(out)))
        ok &= e <= TOL
        print("%-16s %9.3f %9.2f %9.1f  %.2e %s%s" % (name, t, t / wall, m, e, where,
                                                     "" if e <= TOL else "  ABOVE 1e-9"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
