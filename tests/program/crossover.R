# Writes crossover_golden.inc, the tables that whole AB/BA crossover programs
# must emit (names and row counts in order) and their cells, and the data
# sets they read (data/inhaler.csv, data/xo.csv, data/xoby.csv, data/xoab.csv, data/xohuge.csv).
#
# Published data: the inhaler trial of Ezzet, F. & Whitehead, J. (1991), "A
# random effects model for ordinal responses from a crossover trial",
# Statistics in Medicine 10(6), 901-907, as shipped in the data set `inhaler`
# of the Debian package r-cran-brms (286 patients, two inhaler devices,
# clarity of instructions rated 1 to 4). The device with contrast +0.5 is
# called A, the other B; the period with contrast +0.5 is taken as the first.
# Synthetic data: made here with known treatment and period effects.
#
# Run from this folder: Rscript crossover.R [brms package folder]
# (without the argument the installed brms package is used; the package's
# data can also be unpacked from its .deb with dpkg-deb -x).
eps <- 2^-53
args <- commandArgs(trailingOnly = TRUE)
brms <- if (length(args) > 0) args[1] else find.package("brms")
e <- new.env()
lazyLoad(file.path(brms, "data", "Rdata"), envir = e)
inh <- e$inhaler
p1 <- inh[inh$period == 0.5, ]
p2 <- inh[inh$period == -0.5, ]
p2 <- p2[match(p1$subject, p2$subject), ]
stopifnot(all(p1$subject == p2$subject), all(p1$treat == -p2$treat))
device <- function(treat) ifelse(treat > 0, "A", "B")
inhaler <- data.frame(subject = p1$subject, d1 = device(p1$treat), d2 = device(p2$treat),
                      r1 = p1$rating, r2 = p2$rating)
write.csv(inhaler, "data/inhaler.csv", row.names = FALSE, quote = FALSE)

# Synthetic: subject effect, treatment T above R by 1.5, period 2 above
# period 1 by 0.8. The first subject has the sequence TR, so the treatments
# are put in order (R first) after reading.
set.seed(20261206)
synth <- function(n1, n2, tau, pi, shift) {
  seq <- c(2, rep(1, n1), rep(2, n2 - 1))
  n <- length(seq)
  subj <- rnorm(n, shift, 1)
  y1 <- subj + tau * (seq == 2) + rnorm(n, 0, 0.5)
  y2 <- subj + tau * (seq == 1) + pi + rnorm(n, 0, 0.5)
  data.frame(t1 = ifelse(seq == 1, "R", "T"), t2 = ifelse(seq == 1, "T", "R"),
             y1 = round(y1, 2), y2 = round(y2, 2))
}
xo <- synth(12, 10, 1.5, 0.8, 10)
write.csv(xo, "data/xo.csv", row.names = FALSE, quote = FALSE)
xoby <- rbind(cbind(site = 1, synth(6, 5, 1, -0.5, 20)), cbind(site = 2, synth(5, 7, 2, 0.5, 30)))
xoby$z1 <- round(xoby$y1 * 1.1 + rnorm(nrow(xoby), 0, 0.3), 2)
xoby$z2 <- round(xoby$y2 * 1.1 + rnorm(nrow(xoby), 0, 0.3), 2)
write.csv(xoby, "data/xoby.csv", row.names = FALSE, quote = FALSE)
# Edge cases: only the sequence AB, and a sequence whose ratios are so large
# that the upper limit of their geometric mean overflows when squared.
xoab <- data.frame(t1 = "A", t2 = "B", y1 = c(3, 4, 6, 5), y2 = c(1, 3, 2, 4))
write.csv(xoab, "data/xoab.csv", row.names = FALSE, quote = FALSE)
xohuge <- data.frame(t1 = c("A", "B", "A", "B"), t2 = c("B", "A", "B", "A"),
                     y1 = c(1e300, 2.5e-8, 1e300, 4e-8), y2 = c(3e-8, 1e300, 2e-8, 1e300))
write.csv(xohuge, "data/xohuge.csv", row.names = FALSE, quote = FALSE)

# UMPU pair for a variance: F(c2) - F(c1) = 1 - alpha, nu ln c1 - c1 = nu ln c2 - c2.
umpu <- function(nu, alpha) {
  partner <- function(c1) {
    g <- nu * log(c1) - c1
    uniroot(function(c2) nu * log(c2) - c2 - g, c(nu, 50 * nu + 100), tol = 1e-15)$root
  }
  cover <- function(c1) pchisq(partner(c1), nu) - pchisq(c1, nu) - (1 - alpha)
  c1 <- uniroot(cover, c(1e-6, nu * 0.999), tol = 1e-15)$root
  c(c1, partner(c1))
}
# Mean, standard deviation and their limits from n, mean, CSS on df; `ln`
# gives the lognormal twins (the values are logarithms, min and max are
# shown as they are).
summ <- function(m, css, df, se, alpha, ln, n, min, max, halfwidth = qt(1 - alpha / 2, df) * se) {
  s <- sqrt(css / df)
  ct <- c(qchisq(1 - alpha / 2, df), qchisq(alpha / 2, df))
  cu <- rev(umpu(df, alpha))
  if (ln) {
    return(list(N = n, GeomMean = exp(m), LowerCLGeomMean = exp(m - halfwidth),
                UpperCLGeomMean = exp(m + halfwidth), CV = sqrt(exp(s^2) - 1),
                LowerCLCV = sqrt(exp(css / ct[1]) - 1), UpperCLCV = sqrt(exp(css / ct[2]) - 1),
                UMPULowerCLCV = sqrt(exp(css / cu[1]) - 1), UMPUUpperCLCV = sqrt(exp(css / cu[2]) - 1),
                Minimum = min, Maximum = max))
  }
  list(N = n, Mean = m, LowerCLMean = m - halfwidth, UpperCLMean = m + halfwidth, StdDev = s,
       LowerCLStdDev = sqrt(css / ct[1]), UpperCLStdDev = sqrt(css / ct[2]),
       UMPULowerCLStdDev = sqrt(css / cu[1]), UMPUUpperCLStdDev = sqrt(css / cu[2]), StdErr = se,
       Minimum = min, Maximum = max)
}
# One sample of values x (logarithms when ln), shown with the extremes of `raw`.
one <- function(x, raw, ln, alpha = 0.05) {
  n <- length(x)
  summ(mean(x), sum((x - mean(x))^2), n - 1, sd(x) / sqrt(n), alpha, ln, n, min(raw), max(raw))
}
# Two sequences' values u (sequence 1) and v: the pooled comparison (a
# difference record: no N, minimum or maximum) and the tests.
two <- function(u, v, ln, alpha = 0.05) {
  pooled <- t.test(u, v, var.equal = TRUE, conf.level = 1 - alpha)
  welch <- t.test(u, v, var.equal = FALSE, conf.level = 1 - alpha)
  df <- length(u) + length(v) - 2
  css <- sum((u - mean(u))^2) + sum((v - mean(v))^2)
  d <- mean(u) - mean(v)
  list(stats = summ(d, css, df, pooled$stderr, alpha, ln, "._", "._", "._"),
       welch = (welch$conf.int[2] - welch$conf.int[1]) / 2, pooled = pooled, welch_t = welch,
       d = d, df = df, se = pooled$stderr)
}

runs <- character(); cells <- character()
num <- function(x) formatC(x, digits = 17, format = "g")
cellLine <- function(run, table, n, row, column, x) {
  if (is.character(x) && x %in% c(".", "._", ".I", ".M")) {
    kind <- if (x == ".") "." else substr(x, 2, 2)
    sprintf('{"%s", "%s", %d, %d, "%s", \'%s\', 0, ""},', run, table, n, row, column, kind)
  } else if (is.character(x)) {
    sprintf('{"%s", "%s", %d, %d, "%s", \'$\', 0, "%s"},', run, table, n, row, column, x)
  } else {
    sprintf('{"%s", "%s", %d, %d, "%s", \'#\', %s, ""},', run, table, n, row, column, num(x))
  }
}
# A table: a list of rows, each a named list of cells.
tab <- function(name, rows) list(name = name, rows = rows)
# Stacks the rows of the same tables of several analyses (NOBYVAR).
stack <- function(...) {
  parts <- list(...)
  lapply(seq_along(parts[[1]]), function(i) {
    tab(parts[[1]][[i]]$name, do.call(c, lapply(parts, function(p) p[[i]]$rows)))
  })
}
run <- function(id, program, tables, full = TRUE) {
  counts <- vapply(tables, function(t) sprintf("%s:%d", t$name, length(t$rows)), "")
  runs <<- c(runs, sprintf('{"%s", "%s", "%s", %s},', id, program, paste(counts, collapse = " "),
                           if (full) "true" else "false"))
  seen <- list()
  for (t in tables) {
    n <- if (is.null(seen[[t$name]])) 0 else seen[[t$name]]
    seen[[t$name]] <- n + 1
    for (r in seq_along(t$rows)) {
      for (column in names(t$rows[[r]])) {
        cells <<- c(cells, cellLine(id, t$name, n, r - 1, column, t$rows[[r]][[column]]))
      }
    }
  }
}

# The tables of one response pair (y1, y2) with period treatments (t1, t2).
# `a` is the first treatment in order; sequence 1 starts with it.
crossover <- function(y1, y2, t1, t2, names, trts, a, ln = FALSE, ignore = FALSE, tost = NULL,
                      ratio_h0 = NULL, alpha = 0.05) {
  s1 <- t1 == a
  ya <- ifelse(s1, y1, y2); yb <- ifelse(s1, y2, y1)
  f <- if (ln) log else identity
  diff <- if (ln) "Ratio (1/2)" else "Diff (1-2)"
  pair <- paste(names[1], names[2])
  id <- function(row) c(list(ResponseVariables = pair), row)
  trt <- function(k) sort(unique(c(t1, t2)))[k]
  info <- tab("CrossoverVarInfo",
              list(id(list(Period = "1", Response = names[1], Treatment = trts[1])),
                   id(list(Period = "2", Response = names[2], Treatment = trts[2]))))
  cellset <- list(list("1", trt(1), "1", y1[s1]), list("2", trt(1), "2", y2[!s1]),
                  list("2", trt(2), "1", y1[!s1]), list("1", trt(2), "2", y2[s1]))
  label <- function(seqn, tr, pr) {
    if (ignore) list(Treatment = tr, Period = pr) else list(Sequence = seqn, Treatment = tr, Period = pr)
  }
  stat <- lapply(cellset, function(c) c(label(c[[1]], c[[2]], c[[3]]), one(f(c[[4]]), c[[4]], ln, alpha)))
  conf <- function(st) st[!names(st) %in% c("N", "StdErr", "Minimum", "Maximum")]
  method <- function(m, v) list(Method = m, Variances = v)
  if (ln) method <- function(m, v) list(Method = m, CVs = v)
  if (ignore) {
    d <- f(ya) - f(yb)
    if (!is.null(ratio_h0)) {
      r <- ya / yb
      stats <- lapply(stat, function(s) s[c("Treatment", "Period", "N", "Minimum", "Maximum")])
      stats[[5]] <- list(Treatment = "Ratio (1/2)", Period = "", N = length(r), Minimum = min(r),
                         Maximum = max(r))
      tt <- t.test(ya - ratio_h0 * yb)
      return(list(info, tab("Statistics", lapply(stats, id)),
                  tab("Kravos", list(id(list(Treatment = "Ratio (1/2)", tValue = unname(tt$statistic),
                                                DF = unname(tt$parameter), Probt = tt$p.value))))))
    }
    total <- c(label("", diff, ""), one(d, if (ln) ya / yb else d, ln, alpha))
    stats <- c(stat, list(total))
    tt <- t.test(f(ya), f(yb), paired = TRUE)
    return(list(info, tab("Statistics", lapply(stats, id)), tab("ConfLimits", lapply(lapply(stats, conf), id)),
                tab("Kravos", list(id(list(Treatment = diff, tValue = unname(tt$statistic),
                                           DF = unname(tt$parameter), Probt = tt$p.value))))))
  }
  # Each sequence's treatment difference, whole: doubled halves on the
  # normal scale, squared on the lognormal.
  whole <- lapply(list(s1, !s1), function(s) {
    d <- f(ya[s]) - f(yb[s])
    one(d, if (ln) ya[s] / yb[s] else d, ln, alpha)
  })
  trtcmp <- two((f(y1) - f(y2))[s1] / 2, (f(y1) - f(y2))[!s1] / 2, ln, alpha)
  prdcmp <- two((f(ya) - f(yb))[s1] / 2, (f(ya) - f(yb))[!s1] / 2, ln, alpha)
  stats <- c(stat, list(c(label("1", diff, ""), whole[[1]]), c(label("2", diff, ""), whole[[2]]),
                        c(label("Both", diff, ""), trtcmp$stats), c(label("Both", "", diff), prdcmp$stats)))
  cmps <- list(list(trtcmp, list(Treatment = diff, Period = "")), list(prdcmp, list(Treatment = "", Period = diff)))
  confrows <- c(lapply(stats[1:6], function(s) c(conf(s)[1:3], method("", ""), conf(s)[-(1:3)])))
  for (k in 1:2) {
    s <- conf(stats[[6 + k]])
    welch <- s
    hw <- cmps[[k]][[1]]$welch
    m <- cmps[[k]][[1]]$d
    lims <- if (ln) exp(m + c(-1, 1) * hw) else m + c(-1, 1) * hw
    welch[5:6] <- as.list(lims)
    welch[7:11] <- "._"
    confrows <- c(confrows, list(c(s[1:3], method("Pooled", "Equal"), s[-(1:3)]),
                                 c(s[1:3], method("Satterthwaite", "Unequal"), welch[-(1:3)])))
  }
  vt <- var.test(f(y1[s1]) - f(y2[s1]), f(y1[!s1]) - f(y2[!s1]))
  big <- if (vt$statistic >= 1) 1 else 2
  dfs <- unname(vt$parameter)
  equality <- tab("Equality", list(id(list(Method = "Folded F", NumDF = dfs[big], DenDF = dfs[3 - big],
                                           FValue = unname(max(vt$statistic, 1 / vt$statistic)),
                                           ProbF = vt$p.value))))
  out <- list(info, tab("Statistics", lapply(stats, id)), tab("ConfLimits", lapply(confrows, id)))
  if (is.null(tost)) {
    krows <- list()
    for (k in 1:2) {
      for (w in list(list(cmps[[k]][[1]]$pooled, "Pooled", "Equal"),
                     list(cmps[[k]][[1]]$welch_t, "Satterthwaite", "Unequal"))) {
        krows <- c(krows, list(id(c(cmps[[k]][[2]], method(w[[2]], w[[3]]),
                                    list(tValue = unname(w[[1]]$statistic), DF = unname(w[[1]]$parameter),
                                         Probt = w[[1]]$p.value)))))
      }
    }
    return(c(out, list(tab("Kravos", krows), equality)))
  }
  lo <- tost[1]; hi <- tost[2]
  g <- if (ln) exp else identity
  lrows <- list(); trows <- list()
  for (k in 1:2) {
    c2 <- cmps[[k]][[1]]
    u <- c2$welch_t
    wse <- unname(u$stderr); wdf <- unname(u$parameter)
    for (w in list(list(c2$se, c2$df, "Pooled", "Equal"), list(wse, wdf, "Satterthwaite", "Unequal"))) {
      cl <- c2$d + c(-1, 1) * qt(1 - alpha, w[[2]]) * w[[1]]
      inside <- c(cl[1] >= f(lo), cl[2] <= f(hi))
      mean <- if (ln) list(GeomMean = exp(c2$d)) else list(Mean = c2$d)
      lims <- if (ln) list(LowerCLGeomMean = g(cl[1]), UpperCLGeomMean = g(cl[2]))
              else list(LowerCLMean = cl[1], UpperCLMean = cl[2])
      base <- c(cmps[[k]][[2]], method(w[[3]], w[[4]]))
      lrows <- c(lrows, list(id(c(base, mean, list(LowerBound = lo, LowerComparator = if (inside[1]) "<" else ">"),
                                  lims, list(UpperComparator = if (inside[2]) "<" else ">", UpperBound = hi,
                                             Assessment = if (all(inside)) "Equivalent" else "Not equivalent")))))
      tl <- (c2$d - f(lo)) / w[[1]]; tu <- (c2$d - f(hi)) / w[[1]]
      p <- c(pt(tl, w[[2]], lower.tail = FALSE), pt(tu, w[[2]]))
      trows <- c(trows, list(id(c(base, list(Test = "Lower", Null = lo, tValue = tl, DF = w[[2]], Probt = p[1]))),
                             id(c(base, list(Test = "Upper", Null = hi, tValue = tu, DF = w[[2]], Probt = p[2]))),
                             id(c(base, list(Test = "Overall", Null = "._", tValue = "._", DF = "._",
                                             Probt = max(p))))))
    }
  }
  c(out, list(tab("EquivLimits", lrows), tab("EquivTests", trows), equality))
}

# The R models agree with the two-sample tests on the period differences:
# the treatment estimate and its t of lm(y ~ sequence + period + treatment +
# subject) are those of the pooled comparison.
check_lm <- function(y1, y2, t1, a) {
  n <- length(y1)
  long <- data.frame(y = c(y1, y2), subject = factor(rep(seq_len(n), 2)),
                     sequence = factor(rep(ifelse(t1 == a, 1, 2), 2)), period = factor(rep(1:2, each = n)),
                     treatment = factor(c(t1 == a, t1 != a), levels = c(FALSE, TRUE)))
  fit <- summary(lm(y ~ sequence + period + treatment + subject, data = long))$coefficients
  h <- (y1 - y2) / 2
  pooled <- t.test(h[t1 == a], h[t1 != a], var.equal = TRUE)
  stopifnot(abs(fit["treatmentTRUE", "Estimate"] - diff(rev(pooled$estimate))) < 1e-9,
            abs(abs(fit["treatmentTRUE", "t value"]) - abs(pooled$statistic)) < 1e-9)
}
check_lm(xo$y1, xo$y2, xo$t1, "R")
check_lm(inhaler$r1, inhaler$r2, inhaler$d1, "A")

xop <- "var y1 y2 / crossover=(t1 t2)"
X <- function(...) crossover(xo$y1, xo$y2, xo$t1, xo$t2, c("y1", "y2"), c("t1", "t2"), "R", ...)
run("xo", sprintf("proc kravo data=xo; %s; run;", xop), X())
run("xo-log-tost", sprintf("proc kravo data=xo dist=lognormal tost(0.8, 1.25); %s; run;", xop),
    X(ln = TRUE, tost = c(0.8, 1.25)))
run("xo-tost", sprintf("proc kravo data=xo alpha=0.1 tost(-2, 2); %s; run;", xop),
    X(tost = c(-2, 2), alpha = 0.1))
run("xo-ignore", sprintf("proc kravo data=xo; %s ignoreperiod; run;", xop), X(ignore = TRUE))
run("xo-ignore-log", sprintf("proc kravo data=xo dist=lognormal; %s ignoreperiod; run;", xop),
    X(ignore = TRUE, ln = TRUE))
run("xo-ignore-ratio", sprintf("proc kravo data=xo test=ratio dist=normal h0=1.1; %s ignoreperiod; run;", xop),
    X(ignore = TRUE, ratio_h0 = 1.1))
run("inhaler", "proc kravo data=inhaler; var r1 r2 / crossover=(d1 d2); run;",
    crossover(inhaler$r1, inhaler$r2, inhaler$d1, inhaler$d2, c("r1", "r2"), c("d1", "d2"), "A"))

# BY groups with two response pairs, one output per analysis or (NOBYVAR)
# one per table and group.
site <- function(s, y1, y2, names) {
  d <- xoby[xoby$site == s, ]
  crossover(d[[y1]], d[[y2]], d$t1, d$t2, names, c("t1", "t2"), "R")
}
byp <- "by site; var y1 y2 z1 z2 / crossover=(t1 t2)"
run("xoby", sprintf("proc kravo data=xoby; %s; run;", byp),
    c(site(1, "y1", "y2", c("y1", "y2")), site(1, "z1", "z2", c("z1", "z2")),
      site(2, "y1", "y2", c("y1", "y2")), site(2, "z1", "z2", c("z1", "z2"))))
run("xoby-nobyvar", sprintf("proc kravo data=xoby nobyvar; %s; run;", byp),
    c(stack(site(1, "y1", "y2", c("y1", "y2")), site(1, "z1", "z2", c("z1", "z2"))),
      stack(site(2, "y1", "y2", c("y1", "y2")), site(2, "z1", "z2", c("z1", "z2")))))

# Edge cases, checked in their row counts and the cells listed.
counts <- function(...) lapply(list(...), function(x) tab(x[[1]], vector("list", x[[2]])))
run("ab", "proc kravo data=xoab; var y1 y2 / crossover=(t1 t2); run;",
    counts(list("CrossoverVarInfo", 2), list("Statistics", 8), list("ConfLimits", 10),
           list("Kravos", 4), list("Equality", 1)), full = FALSE)
run("ignore-tost", sprintf("proc kravo data=xo tost(-2, 2); %s ignoreperiod; run;", xop),
    counts(list("CrossoverVarInfo", 2), list("Statistics", 5), list("ConfLimits", 5),
           list("EquivLimits", 1), list("EquivTests", 3)), full = FALSE)
run("ratio-tost", sprintf("proc kravo data=xo test=ratio dist=normal tost(0.8, 1.25); %s ignoreperiod; run;", xop),
    counts(list("CrossoverVarInfo", 2), list("Statistics", 5), list("EquivTests", 3)), full = FALSE)
hs <- xohuge$t1 == "A"
lr <- log(xohuge$y1[hs]) - log(xohuge$y2[hs])
hw <- qt(0.975, 1) * sd(lr) / sqrt(2)
run("huge", "proc kravo data=xohuge dist=lognormal; var y1 y2 / crossover=(t1 t2); run;",
    list(tab("CrossoverVarInfo", vector("list", 2)),
         tab("Statistics", c(vector("list", 4),
                             list(list(GeomMean = exp(mean(lr)), LowerCLGeomMean = exp(mean(lr) - hw),
                                       UpperCLGeomMean = "._", Maximum = max(exp(lr)))),
                             vector("list", 3))),
         tab("ConfLimits", vector("list", 10)), tab("Kravos", vector("list", 4)),
         tab("Equality", vector("list", 1))), full = FALSE)

# Attributes of tables (column "") and columns; "print" is a column's print
# flag, -1 an attribute that is absent.
level <- function(alpha) 100 * (1 - alpha) + 1000 * eps
attr <- function(run, table, column, name, x) {
  sprintf('{"%s", "%s", "%s", "%s", %s},', run, table, column, name, trimws(num(x)))
}
attrs <- c(attr("xo", "ConfLimits", "", "confmean", level(0.05)),
           attr("xo", "ConfLimits", "", "confstd", level(0.05)),
           attr("xo", "ConfLimits", "", "reqspace", -1),
           attr("xo", "Statistics", "ResponseVariables", "print", 0),
           attr("xo", "Statistics", "ResponseVariables", "MinimumWidth", nchar("y1 y2")),
           attr("xo", "Statistics", "Sequence", "MaximumWidth", nchar("Both")),
           attr("xo", "Statistics", "Treatment", "MinimumWidth", nchar("Diff (1-2)")),
           attr("xo", "CrossoverVarInfo", "Treatment", "MinimumWidth", nchar("t1")),
           attr("xo", "CrossoverVarInfo", "Period", "MaximumWidth", 1),
           attr("xoby-nobyvar", "Kravos", "ResponseVariables", "print", 1),
           attr("xo-log-tost", "ConfLimits", "", "confcv", level(0.05)),
           attr("xo-log-tost", "EquivLimits", "", "confequiv", 90),
           attr("xo-log-tost", "EquivTests", "Period", "MinimumWidth", nchar("Ratio (1/2)")))

out <- file("crossover_golden.inc", "w")
writeLines(c("// Generated by crossover.R from R's t tests on the period differences; do not edit.",
             "constexpr XoRun kXoRuns[] = {", runs, "};", "constexpr XoCell kXoCells[] = {", cells, "};",
             "constexpr XoAttr kXoAttrs[] = {", attrs, "};"),
           out)
close(out)
