# Writes golden_crossover.inc: eight AB/BA subjects with treatments R and T
# (the first one in the order T, R) and, for each reading of them, the
# statistics of every crossover set (as a negative number) computed here from the definitions
# (treatment A is R, the first in formatted order; sequence 1 is (R, T)), and
# R's tests of the analyses: the pooled and Welch tests of the treatment and
# period comparisons (or their TOST), the folded F of the treatment comparison, or, under
# IGNOREPERIOD, the test (or TOST) of the treatment differences.
# Run from this folder: Rscript crossover.R
alpha <- 0.05
t1 <- c("T", "R", "R", "T", "R", "T", "T", "T")
t2 <- c("R", "T", "T", "R", "T", "R", "R", "R")
y1 <- c(11, 10, 8, 13, 9, 12, 15, 0)
y2 <- c(9, 12, 11, 10, 14, 12, 11, 5)

# testkind (0 difference, 1 lognormal, 2 normal ratio, +3 TOST), IGNOREPERIOD,
# SIDES (0 two-sided, 1 lower, 2 upper), H0, TOST bounds.
configs <- list(
  list(kind = 0, ip = 0, sides = 0, h0 = 0, lo = 0, hi = 0),
  list(kind = 0, ip = 0, sides = 1, h0 = 0, lo = 0, hi = 0),
  list(kind = 1, ip = 0, sides = 0, h0 = 1, lo = 0, hi = 0),
  list(kind = 1, ip = 0, sides = 2, h0 = 1, lo = 0, hi = 0),
  list(kind = 2, ip = 1, sides = 0, h0 = 0.9, lo = 0, hi = 0),
  list(kind = 5, ip = 1, sides = 0, h0 = 1, lo = 0.8, hi = 1.25),
  list(kind = 0, ip = 1, sides = 2, h0 = 0, lo = 0, hi = 0),
  list(kind = 3, ip = 0, sides = 0, h0 = 0, lo = -1, hi = 1)
)

fmt <- function(x) {
  ifelse(is.na(x), "kNa", ifelse(is.infinite(x), ifelse(x < 0, "-kOpen", "kOpen"),
                                 trimws(formatC(x, digits = 17, format = "g"))))
}

# One record: values v (logarithms when `logs`), their range on the
# untransformed scale, mean limits with `sides` (two-sided unless set 7).
record <- function(v, shown, sides, lognormal, limits, cv4) {
  n <- length(v)
  m <- mean(v)
  s <- sd(v)
  se <- s / sqrt(n)
  lcl <- NA; ucl <- NA
  if (limits) {
    q <- qt(if (sides == 0) 1 - alpha / 2 else 1 - alpha, n - 1)
    lcl <- if (sides == 1) -Inf else m - q * se
    ucl <- if (sides == 2) Inf else m + q * se
  }
  gl <- NA; gu <- NA; gm <- NA; cv <- NA; c4 <- NA
  if (lognormal) {
    gm <- exp(m)
    cv <- sqrt(exp(s^2) - 1)
    if (cv4) c4 <- sqrt(exp(4 * s^2) - 1)
    if (limits) {
      gl <- if (sides == 1) 0 else exp(lcl)
      gu <- if (sides == 2) Inf else exp(ucl)
    }
  }
  c(n, m, s, min(shown), max(shown), lcl, ucl, gm, gl, gu, cv, c4)
}

rows <- character()
cfgrows <- character()
alt <- c("two.sided", "less", "greater")
test <- function(ci, which, r) {
  v <- c(unname(r$statistic), unname(r$parameter), r$p.value)
  rows <<- c(rows, sprintf("    {%d, %d, {%s}},", ci - 1, which, paste(fmt(v), collapse = ", ")))
}
for (ci in seq_along(configs)) {
  cf <- configs[[ci]]
  lognormal <- cf$kind %% 3 == 1
  ratio <- cf$kind %% 3 == 2 && cf$ip == 1
  tost <- cf$kind >= 3
  seq1 <- t1 == "R"
  ya <- ifelse(seq1, y1, y2)
  yb <- ifelse(seq1, y2, y1)
  keep <- if (lognormal) y1 > 1e-13 & y2 > 1e-13 else if (ratio) abs(yb) > 1e-13 else rep(TRUE, 8)
  note <- if (lognormal) 116 else if (ratio) 117 else 0
  cfgrows <- c(cfgrows, sprintf("    {%d, %d, %d, %s, %s, %s, %d, %d, %d, %d},", cf$kind, cf$ip,
                                cf$sides, fmt(cf$h0), fmt(cf$lo), fmt(cf$hi), note, sum(!keep),
                                sum(keep & seq1), sum(keep & !seq1)))
  tr <- function(y) if (lognormal) log(y) else y
  d <- tr(ya) - tr(yb)
  hp <- (tr(y1) - tr(y2)) / 2
  show <- function(v) if (lognormal) exp(v) else v
  lim <- !ratio
  sets <- list(
    list(3, tr(y1[keep & seq1]), y1[keep & seq1]),
    list(4, tr(y2[keep & !seq1]), y2[keep & !seq1]),
    list(5, tr(y1[keep & !seq1]), y1[keep & !seq1]),
    list(6, tr(y2[keep & seq1]), y2[keep & seq1]),
    list(7, d[keep], show(d[keep])),
    list(8, hp[keep & seq1], show(hp[keep & seq1])),
    list(9, hp[keep & !seq1], show(hp[keep & !seq1])),
    list(11, d[keep & seq1] / 2, show(d[keep & seq1] / 2)),
    list(12, d[keep & !seq1] / 2, show(d[keep & !seq1] / 2)))
  if (ratio) {
    a <- ya[keep]; b <- yb[keep]
    if (tost) {
      sets <- c(sets, list(list(17, a - cf$hi * b, a - cf$hi * b), list(18, a - cf$lo * b, a - cf$lo * b)))
    } else {
      sets <- c(sets, list(list(16, a - cf$h0 * b, a - cf$h0 * b)))
    }
  }
  for (s in sets) {
    no <- s[[1]]
    r <- record(s[[2]], s[[3]], if (no == 7) cf$sides else 0, lognormal, lim, no %in% c(11, 12))
    rows <- c(rows, sprintf("    {%d, -%d, {%s}},", ci - 1, no, paste(fmt(r), collapse = ", ")))
  }
  a <- alt[cf$sides + 1]
  h <- if (lognormal) log(cf$h0) else cf$h0
  if (cf$ip == 0) {
    sq <- seq1[keep]
    pair <- list(list(hp[keep][sq], hp[keep][!sq]), list(d[keep][sq] / 2, d[keep][!sq] / 2))
    for (w in 1:2) {
      x <- pair[[w]]
      for (pooled in c(TRUE, FALSE)) {
        if (tost) {
          at <- 6 + 2 * w + 4 * !pooled
          test(ci, at, t.test(x[[1]], x[[2]], mu = cf$lo, alternative = "greater", var.equal = pooled))
          test(ci, at + 1, t.test(x[[1]], x[[2]], mu = cf$hi, alternative = "less", var.equal = pooled))
        } else {
          test(ci, w - 1 + 2 * !pooled, t.test(x[[1]], x[[2]], mu = h, alternative = a, var.equal = pooled))
        }
      }
    }
    v1 <- var(pair[[1]][[1]]); v2 <- var(pair[[1]][[2]])
    n1 <- length(pair[[1]][[1]]) - 1; n2 <- length(pair[[1]][[2]]) - 1
    big <- if (v2 > v1) c(v2 / v1, n2, n1) else c(v1 / v2, n1, n2)
    p <- min(1, 2 * pf(big[1], big[2], big[3], lower.tail = FALSE))
    test(ci, 4, list(statistic = big[1], parameter = big[2], p.value = p))
  } else if (!ratio) {
    test(ci, 5, t.test(d[keep], mu = h, alternative = a))
  } else if (!tost) {
    test(ci, 5, t.test(ya[keep] - cf$h0 * yb[keep], alternative = a))
  } else {
    test(ci, 6, t.test(ya[keep] - cf$lo * yb[keep], alternative = "greater"))
    test(ci, 7, t.test(ya[keep] - cf$hi * yb[keep], alternative = "less"))
  }
  if (ratio) {
    q <- ya[keep] / yb[keep]
    r <- c(length(q), NA, NA, min(q), max(q), rep(NA, 7))
    rows <- c(rows, sprintf("    {%d, -19, {%s}},", ci - 1, paste(fmt(r), collapse = ", ")))
  }
}

out <- c("// Generated by crossover.R; do not edit.",
         sprintf("const XoSubject kXoSubjects[] = {%s};",
                 paste(sprintf("{\"%s\", \"%s\", %s, %s}", t1, t2, fmt(y1), fmt(y2)), collapse = ", ")),
         "const XoConfig kXoConfigs[] = {", cfgrows, "};",
         "const XoGolden kXoGoldens[] = {", rows, "};")
writeLines(out, "golden_crossover.inc")
