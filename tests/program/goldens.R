# Writes golden_cells.inc, every cell of the tables that whole one-sample,
# paired and two-sample programs must emit, and the data sets they read (data/women.csv,
# data/sleep.csv), from R's women and sleep data and the textbook definitions
# of the statistics. Run from this folder: Rscript goldens.R
eps <- 2^-53

write.csv(women[, c("height", "weight")], "data/women.csv", row.names = FALSE, quote = FALSE)
wide <- reshape(sleep, idvar = "ID", timevar = "group", direction = "wide")
write.csv(data.frame(drug1 = wide$extra.1, drug2 = wide$extra.2), "data/sleep.csv",
          row.names = FALSE, quote = FALSE)
a <- wide$extra.1
b <- wide$extra.2

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

# Descriptive statistics and limits of x: the mean limits for SIDES 2, L or U
# (TOST always two-sided), the standard-deviation limits always two-sided.
describe <- function(x, alpha, sides = "2") {
  n <- length(x); df <- n - 1; m <- mean(x); s <- sd(x); se <- s / sqrt(n)
  css <- s^2 * df
  q <- qt(1 - if (sides == "2") alpha / 2 else alpha, df)
  clm <- switch(sides, "2" = list(m - q * se, m + q * se), L = list(".M", m + q * se),
                U = list(m - q * se, ".I"))
  ct <- c(qchisq(1 - alpha / 2, df), qchisq(alpha / 2, df))
  cu <- rev(umpu(df, alpha))
  list(n = n, df = df, mean = m, sd = s, se = se, clm = clm, css = css,
       clsd = sqrt(css / ct), umpusd = sqrt(css / cu),
       clcv = sqrt(exp(css / ct) - 1), umpucv = sqrt(exp(css / cu) - 1),
       eqcl = m + c(-1, 1) * qt(1 - alpha, df) * se)
}
pvalue <- function(t, df, sides) {
  switch(sides, "2" = 2 * pt(-abs(t), df), L = pt(t, df), U = pt(t, df, lower.tail = FALSE))
}
header <- c("2" = "Pr > |t|", L = "Pr < t", U = "Pr > t")
level <- function(alpha) 100 * (1 - alpha) + 1000 * eps

# The value columns of the tables; `ln` shows the lognormal twins.
statistics <- function(d, ln, min, max) {
  if (ln) {
    list(N = d$n, GeomMean = exp(d$mean), LowerCLGeomMean = lnlimit(d$clm[[1]], "M"),
         UpperCLGeomMean = lnlimit(d$clm[[2]], "I"), CV = sqrt(exp(d$sd^2) - 1),
         LowerCLCV = d$clcv[1], UpperCLCV = d$clcv[2], UMPULowerCLCV = d$umpucv[1],
         UMPUUpperCLCV = d$umpucv[2], Minimum = min, Maximum = max)
  } else {
    list(N = d$n, Mean = d$mean, LowerCLMean = d$clm[[1]], UpperCLMean = d$clm[[2]], StdDev = d$sd,
         LowerCLStdDev = d$clsd[1], UpperCLStdDev = d$clsd[2], UMPULowerCLStdDev = d$umpusd[1],
         UMPUUpperCLStdDev = d$umpusd[2], StdErr = d$se, Minimum = min, Maximum = max)
  }
}
# exp of a log-scale limit: SIDES=L gives a lower limit of 0, SIDES=U an infinite upper one.
lnlimit <- function(x, open) if (is.character(x)) (if (open == "M") 0 else ".I") else exp(x)
conflimits <- function(d, ln) statistics(d, ln, 0, 0)[2:9]
kravos <- function(d, h0, sides) {
  t <- (d$mean - h0) / d$se
  list(tValue = t, DF = d$df, Probt = pvalue(t, d$df, sides))
}
# Equivalence limits and tests of d against the bounds lo and hi (on the
# scale of d; `show` maps them to the scale of the table).
comparator <- function(inside) if (inside) "<" else ">"
equivlimits <- function(d, lo, hi, show, ln) {
  inside <- c(d$eqcl[1] >= lo, d$eqcl[2] <= hi)
  cells <- list(Mean = show(d$mean), LowerBound = show(lo), LowerComparator = comparator(inside[1]),
                LowerCLMean = show(d$eqcl[1]), UpperCLMean = show(d$eqcl[2]),
                UpperComparator = comparator(inside[2]), UpperBound = show(hi),
                Assessment = if (all(inside)) "Equivalent" else "Not equivalent")
  if (ln) names(cells)[c(1, 4, 5)] <- c("GeomMean", "LowerCLGeomMean", "UpperCLGeomMean")
  cells
}
equivtests <- function(tl, tu, df, lo, hi) {
  p <- c(pt(tl, df, lower.tail = FALSE), pt(tu, df))
  list(Test = list("Lower", "Upper", "Overall"), Null = list(lo, hi, "._"),
       tValue = list(tl, tu, "._"), DF = list(df, df, "._"), Probt = list(p[1], p[2], max(p)))
}

# Output: runs, then every cell and attribute.
runs <- character(); cells <- character(); attrs <- character()
num <- function(x) formatC(x, digits = 17, format = "g")
cellLine <- function(run, table, row, column, x) {
  if (is.character(x) && x %in% c(".", "._", ".I", ".M")) {
    kind <- if (x == ".") "." else substr(x, 2, 2)
    sprintf('{"%s", "%s", %d, "%s", \'%s\', 0, ""},', run, table, row, column, kind)
  } else if (is.character(x)) {
    sprintf('{"%s", "%s", %d, "%s", \'$\', 0, "%s"},', run, table, row, column, x)
  } else {
    sprintf('{"%s", "%s", %d, "%s", \'#\', %s, ""},', run, table, row, column, num(x))
  }
}
attrLine <- function(run, table, column, name, x) {
  if (is.logical(x)) {
    sprintf('{"%s", "%s", "%s", "%s", \'b\', %d, ""},', run, table, column, name, as.integer(x))
  } else if (is.character(x)) {
    sprintf('{"%s", "%s", "%s", "%s", \'$\', 0, "%s"},', run, table, column, name, x)
  } else {
    sprintf('{"%s", "%s", "%s", "%s", \'#\', %s, ""},', run, table, column, name, num(x))
  }
}
# A table: its identifier cells, value cells (a list of columns, each one
# value per row), table attributes and the columns that do not print.
table <- function(name, ids, values, attributes = list(), hidden = character()) {
  rows <- max(lengths(values))
  list(name = name, columns = c(lapply(ids, rep, rows), values), attributes = attributes,
       hidden = hidden)
}
run <- function(id, program, ...) {
  tables <- list(...)
  names <- vapply(tables, function(t) t$name, "")
  runs <<- c(runs, sprintf('{"%s", "%s", "%s"},', id, program, paste(names, collapse = " ")))
  for (t in tables) {
    for (column in names(t$columns)) {
      values <- t$columns[[column]]
      if (!is.list(values)) values <- as.list(values)
      for (r in seq_along(values)) {
        cells <<- c(cells, cellLine(id, t$name, r - 1, column, values[[r]]))
      }
      if (column %in% t$hidden) attrs <<- c(attrs, attrLine(id, t$name, column, "print", FALSE))
    }
    for (a in names(t$attributes)) attrs <<- c(attrs, attrLine(id, t$name, "", a, t$attributes[[a]]))
    if ("Probt" %in% names(t$columns)) {
      attrs <<- c(attrs, attrLine(id, t$name, "Probt", "ProbtHeader", t$probt))
    }
  }
}
# Column print flags: identifiers hide unless NOBYVAR; CI= picks the
# dispersion columns of ConfLimits.
hiddenBy <- function(ci, ln, ids) {
  sdcols <- if (ln) c("CV", "LowerCLCV", "UpperCLCV", "UMPULowerCLCV", "UMPUUpperCLCV")
            else c("StdDev", "LowerCLStdDev", "UpperCLStdDev", "UMPULowerCLStdDev",
                   "UMPUUpperCLStdDev")
  shown <- switch(ci, equal = c(TRUE, TRUE, TRUE, FALSE, FALSE), umpu = c(TRUE, FALSE, FALSE, TRUE, TRUE),
                  none = rep(FALSE, 5))
  c(ids, sdcols[!shown])
}
limitsTable <- function(ids, d, ln, alpha, ci, hide) {
  table("ConfLimits", ids, conflimits(d, ln),
        attributes = setNames(list(level(alpha), level(alpha), 3L),
                              c("confmean", if (ln) "confcv" else "confstd", "reqspace")),
        hidden = hiddenBy(ci, ln, hide))
}
withProbt <- function(t, sides) {
  t$probt <- if (t$name == "EquivTests") "P-Value" else header[[sides]]
  t
}
equivAttr <- function(alpha) list(confequiv = as.integer(trunc(level(2 * alpha))))

# One-sample: women$weight.
x <- women$weight
one <- list(Variable = "weight")
d <- describe(x, 0.05)
run("women", "proc kravo data=women h0=130; var weight; run;",
    table("Statistics", one, statistics(d, FALSE, min(x), max(x)), hidden = "Variable"),
    limitsTable(one, d, FALSE, 0.05, "equal", "Variable"),
    withProbt(table("Kravos", one, kravos(d, 130, "2"), hidden = "Variable"), "2"))

d <- describe(x, 0.1, "L")
run("women-lower", "proc kravo data=women h0=130 sides=l alpha=0.1 ci=umpu; var weight; run;",
    table("Statistics", one, statistics(d, FALSE, min(x), max(x)), hidden = "Variable"),
    limitsTable(one, d, FALSE, 0.1, "umpu", "Variable"),
    withProbt(table("Kravos", one, kravos(d, 130, "L"), hidden = "Variable"), "L"))

d <- describe(x, 0.05)
run("women-tost", "proc kravo data=women tost(125, 140); var weight; run;",
    table("Statistics", one, statistics(d, FALSE, min(x), max(x)), hidden = "Variable"),
    limitsTable(one, d, FALSE, 0.05, "equal", "Variable"),
    table("EquivLimits", one, equivlimits(d, 125, 140, identity, FALSE), equivAttr(0.05),
          hidden = "Variable"),
    withProbt(table("EquivTests", one,
                    equivtests((d$mean - 125) / d$se, (d$mean - 140) / d$se, d$df, 125, 140),
                    hidden = "Variable"), "2"))

# Lognormal one-sample: the logarithms of women$weight.
d <- describe(log(x), 0.05, "L")
run("women-log", "proc kravo data=women dist=lognormal h0=130 sides=l ci=none; var weight; run;",
    table("Statistics", one, statistics(d, TRUE, min(x), max(x)), hidden = "Variable"),
    limitsTable(one, d, TRUE, 0.05, "none", "Variable"),
    withProbt(table("Kravos", one, kravos(d, log(130), "L"), hidden = "Variable"), "L"))

d <- describe(log(x), 0.05)
run("women-log-tost", "proc kravo data=women dist=lognormal tost(130, 140); var weight; run;",
    table("Statistics", one, statistics(d, TRUE, min(x), max(x)), hidden = "Variable"),
    limitsTable(one, d, TRUE, 0.05, "equal", "Variable"),
    table("EquivLimits", one, equivlimits(d, log(130), log(140), exp, TRUE), equivAttr(0.05),
          hidden = "Variable"),
    withProbt(table("EquivTests", one,
                    equivtests((d$mean - log(130)) / d$se, (d$mean - log(140)) / d$se, d$df,
                               130, 140), hidden = "Variable"), "2"))

# Paired: sleep, drug 1 minus drug 2.
pair <- list(Variable1 = "drug1", Variable2 = "drug2", Difference = "drug1 - drug2")
d <- describe(a - b, 0.05, "U")
run("sleep", "proc kravo data=sleep sides=u; paired drug1*drug2; run;",
    table("Statistics", pair, statistics(d, FALSE, min(a - b), max(a - b)), hidden = "Difference"),
    limitsTable(pair, d, FALSE, 0.05, "equal", "Difference"),
    withProbt(table("Kravos", pair, kravos(d, 0, "U"), hidden = "Difference"), "U"))

d <- describe(a - b, 0.05)
run("sleep-tost", "proc kravo data=sleep nobyvar tost(-2, 0); paired drug1*drug2; run;",
    table("Statistics", pair, statistics(d, FALSE, min(a - b), max(a - b))),
    limitsTable(pair, d, FALSE, 0.05, "equal", character()),
    table("EquivLimits", pair, equivlimits(d, -2, 0, identity, FALSE), equivAttr(0.05)),
    withProbt(table("EquivTests", pair, equivtests((d$mean + 2) / d$se, d$mean / d$se, d$df, -2, 0)),
              "2"))

# Paired ratios of women: weight / height, lognormal (the logarithm of the
# ratio) and normal (the linear contrasts weight - c height).
w <- women$weight; h <- women$height
ratio <- list(Variable1 = "weight", Variable2 = "height", Ratio = "weight / height")
d <- describe(log(w / h), 0.1)
run("ratio-log", "proc kravo data=women test=ratio alpha=0.1 tost(2, 2.5); paired weight*height; run;",
    table("Statistics", ratio, statistics(d, TRUE, min(w / h), max(w / h)), hidden = "Ratio"),
    limitsTable(ratio, d, TRUE, 0.1, "equal", "Ratio"),
    table("EquivLimits", ratio, equivlimits(d, log(2), log(2.5), exp, TRUE), equivAttr(0.1),
          hidden = "Ratio"),
    withProbt(table("EquivTests", ratio,
                    equivtests((d$mean - log(2)) / d$se, (d$mean - log(2.5)) / d$se, d$df, 2, 2.5),
                    hidden = "Ratio"), "2"))

contrast <- function(c) describe(w - c * h, 0.05)
d <- contrast(2.2)
ratioStats <- list(N = length(w), Minimum = min(w / h), Maximum = max(w / h))
run("ratio-normal", "proc kravo data=women test=ratio dist=normal h0=2.2; paired weight*height; run;",
    table("Statistics", ratio, ratioStats, hidden = "Ratio"),
    withProbt(table("Kravos", ratio, kravos(d, 0, "2"), hidden = "Ratio"), "2"))

lo <- contrast(2); hi <- contrast(2.5)
run("ratio-normal-tost",
    "proc kravo data=women test=ratio dist=normal tost(2, 2.5); paired weight*height; run;",
    table("Statistics", ratio, ratioStats, hidden = "Ratio"),
    withProbt(table("EquivTests", ratio,
                    equivtests(lo$mean / lo$se, hi$mean / hi$se, lo$df, 2, 2.5), hidden = "Ratio"),
              "2"))

# Two-sample: PlantGrowth, ctrl against trt1 (data/plants.csv).
px <- PlantGrowth$weight[PlantGrowth$group == "ctrl"]
py <- PlantGrowth$weight[PlantGrowth$group == "trt1"]
# Pooled and Satterthwaite comparisons of x and y (on the scale given).
compare <- function(x, y, alpha) {
  n1 <- length(x); n2 <- length(y); df <- n1 + n2 - 2
  s2 <- ((n1 - 1) * var(x) + (n2 - 1) * var(y)) / df
  d <- mean(x) - mean(y); se <- sqrt(s2 / n1 + s2 / n2)
  l1 <- var(x) / n1; l2 <- var(y) / n2; sew <- sqrt(l1 + l2)
  dfw <- (l1 + l2)^2 / (l1^2 / (n1 - 1) + l2^2 / (n2 - 1))
  pooled <- list(n = ".", df = df, mean = d, sd = sqrt(s2), se = se,
                 clm = as.list(d + c(-1, 1) * qt(1 - alpha / 2, df) * se))
  ct <- c(qchisq(1 - alpha / 2, df), qchisq(alpha / 2, df)); cu <- rev(umpu(df, alpha))
  css <- df * s2
  pooled <- c(pooled, list(clsd = sqrt(css / ct), umpusd = sqrt(css / cu), clcv = sqrt(exp(css / ct) - 1),
                           umpucv = sqrt(exp(css / cu) - 1),
                           eqcl = d + c(-1, 1) * qt(1 - alpha, df) * se))
  welch <- list(df = dfw, mean = d, se = sew, clm = d + c(-1, 1) * qt(1 - alpha / 2, dfw) * sew,
                eqcl = d + c(-1, 1) * qt(1 - alpha, dfw) * sew)
  f <- max(var(x), var(y)) / min(var(x), var(y))
  big <- if (var(y) > var(x)) n2 - 1 else n1 - 1
  small <- if (var(y) > var(x)) n1 - 1 else n2 - 1
  list(pooled = pooled, welch = welch, l1 = l1, l2 = l2,
       equality = list(Method = "Folded F", NumDF = big, DenDF = small, FValue = f,
                       ProbF = min(1, 2 * pf(f, big, small, lower.tail = FALSE))))
}
# The three Statistics rows: the two levels and the difference (no N,
# minimum or maximum of its own).
rows3 <- function(a, b, c) lapply(seq_along(a), function(i) list(a[[i]], b[[i]], c[[i]]))
twoStatistics <- function(x, y, alpha, ln) {
  l1 <- describe(if (ln) log(x) else x, alpha); l2 <- describe(if (ln) log(y) else y, alpha)
  p <- compare(if (ln) log(x) else x, if (ln) log(y) else y, alpha)$pooled
  s <- rows3(statistics(l1, ln, min(x), max(x)), statistics(l2, ln, min(y), max(y)),
             statistics(p, ln, "._", "._"))
  s <- setNames(s, names(statistics(l1, ln, 0, 0)))
  s$N[[3]] <- "._"
  s
}
blank5 <- rep(list("._"), 5)
twoLimits <- function(x, y, alpha, ln) {
  s <- twoStatistics(x, y, alpha, ln)[2:9]
  w <- compare(if (ln) log(x) else x, if (ln) log(y) else y, alpha)$welch
  show <- if (ln) exp else identity
  c(list(Method = list("", "", "Pooled", "Satterthwaite"),
         Variances = list("", "", "Equal", "Unequal")),
    mapply(function(col, v) c(col, list(v)), s, c(list(show(w$mean)), as.list(show(w$clm)), blank5),
           SIMPLIFY = FALSE))
}
twoKravos <- function(c, cochran = FALSE) {
  tp <- c$pooled$mean / c$pooled$se; tw <- c$welch$mean / c$welch$se
  cols <- list(Method = list("Pooled", "Satterthwaite"), Variances = list("Equal", "Unequal"),
               tValue = list(tp, tw), DF = list(c$pooled$df, c$welch$df),
               Probt = list(pvalue(tp, c$pooled$df, "2"), pvalue(tw, c$welch$df, "2")))
  if (cochran) {
    n <- length(px) - 1
    cols <- mapply(function(col, v) c(col, list(v)), cols, list("Cochran", "Unequal", tw, n, pvalue(tw, n, "2")),
                   SIMPLIFY = FALSE)
  }
  cols
}
varianceName <- function(ln, cols) { if (ln) names(cols)[names(cols) == "Variances"] <- "CVs"; cols }
twoRun <- function(id, options, alpha, ln, cochran = FALSE, tost = NULL) {
  x <- px; y <- py
  c <- compare(if (ln) log(x) else x, if (ln) log(y) else y, alpha)
  class <- list(Variable = "weight", Class = if (ln) "Ratio (1/2)" else "Diff (1-2)")
  stats <- twoStatistics(x, y, alpha, ln)
  stats <- c(list(Class = list("ctrl", "trt1", class$Class)), stats)
  limits <- twoLimits(x, y, alpha, ln)
  limits <- varianceName(ln, c(list(Class = list("ctrl", "trt1", class$Class, class$Class)), limits))
  name <- list(Variable = "weight")
  tables <- list(
    table("Statistics", name, stats, hidden = "Variable"),
    table("ConfLimits", name, limits,
          attributes = setNames(list(level(alpha), level(alpha), 6L),
                                c("confmean", if (ln) "confcv" else "confstd", "reqspace")),
          hidden = hiddenBy("equal", ln, "Variable")))
  if (is.null(tost)) {
    tables <- c(tables, list(withProbt(table("Kravos", name, varianceName(ln, twoKravos(c, cochran)),
                                             hidden = "Variable"), "2")))
  } else {
    show <- if (ln) exp else identity
    lo <- tost[1]; hi <- tost[2]
    bounds <- if (ln) log(tost) else tost
    eq <- function(r) equivlimits(r, bounds[1], bounds[2], show, ln)
    el <- mapply(function(a, b) list(a, b),
                 c(list(Class = class$Class, Method = "Pooled", Variances = "Equal"), eq(c$pooled)),
                 c(list(Class = class$Class, Method = "Satterthwaite", Variances = "Unequal"), eq(c$welch)),
                 SIMPLIFY = FALSE)
    et <- function(r) equivtests((r$mean - bounds[1]) / r$se, (r$mean - bounds[2]) / r$se, r$df, lo, hi)
    tp <- et(c$pooled); tw <- et(c$welch)
    tests <- c(list(Method = rep(list("Pooled", "Satterthwaite"), each = 3),
                    Variances = rep(list("Equal", "Unequal"), each = 3)),
               mapply(c, tp, tw, SIMPLIFY = FALSE))
    tables <- c(tables, list(
      table("EquivLimits", name, varianceName(ln, el), equivAttr(alpha), hidden = "Variable"),
      withProbt(table("EquivTests", name, varianceName(ln, tests), hidden = "Variable"), "2")))
  }
  tables <- c(tables, list(table("Equality", name, c$equality, hidden = "Variable")))
  do.call(run, c(list(id, sprintf("proc kravo data=plants%s; class group; var weight; run;", options)),
                 tables))
}
twoRun("plants", "", 0.05, FALSE)
twoRun("plants-cochran", " cochran alpha=0.1", 0.1, FALSE, cochran = TRUE)
twoRun("plants-tost", " tost(-0.1, 1)", 0.05, FALSE, tost = c(-0.1, 1))
twoRun("plants-log", " dist=lognormal", 0.05, TRUE)
twoRun("plants-log-tost", " dist=lognormal tost(0.95, 1.25)", 0.05, TRUE, tost = c(0.95, 1.25))


# The ratio of the two means under the normal model: Fieller's limits, pooled
# and (with the ratio in the weights of the degrees of freedom) unequal.
fieller <- function(x, y, q, vx, vy) {
  a <- mean(y)^2 - q^2 * vy; b <- mean(x) * mean(y); cc <- mean(x)^2 - q^2 * vx
  (b + c(-1, 1) * sqrt(b^2 - a * cc)) / a
}
local({
  c <- compare(px, py, 0.05); n1 <- length(px); n2 <- length(py)
  rho <- mean(px) / mean(py)
  w1 <- var(px) / n1; w2 <- rho^2 * var(py) / n2
  dfu <- (w1 + w2)^2 / (w1^2 / (n1 - 1) + w2^2 / (n2 - 1))
  pooledCl <- fieller(px, py, qt(0.975, c$pooled$df), c$pooled$sd^2 / n1, c$pooled$sd^2 / n2)
  welchCl <- fieller(px, py, qt(0.975, dfu), var(px) / n1, var(py) / n2)
  stats <- twoStatistics(px, py, 0.05, FALSE)
  stats$Mean[[3]] <- rho
  stats$LowerCLMean[[3]] <- pooledCl[1]; stats$UpperCLMean[[3]] <- pooledCl[2]
  for (k in c("StdDev", "LowerCLStdDev", "UpperCLStdDev", "UMPULowerCLStdDev", "UMPUUpperCLStdDev",
              "StdErr")) stats[[k]][[3]] <- "._"
  limits <- twoLimits(px, py, 0.05, FALSE)
  limits$Mean[3:4] <- list(rho, rho)
  limits$LowerCLMean[3:4] <- list(pooledCl[1], welchCl[1])
  limits$UpperCLMean[3:4] <- list(pooledCl[2], welchCl[2])
  for (k in names(limits)[6:10]) limits[[k]][[3]] <- "._"
  classes <- list(Class = list("ctrl", "trt1", "Ratio (1/2)", "Ratio (1/2)"))
  name <- list(Variable = "weight")
  run("plants-ratio", "proc kravo data=plants test=ratio dist=normal; class group; var weight; run;",
      table("Statistics", name, c(list(Class = classes$Class[1:3]), stats), hidden = "Variable"),
      table("ConfLimits", name, c(classes, limits),
            attributes = list(confmean = level(0.05), confstd = level(0.05), reqspace = 6L),
            hidden = hiddenBy("none", FALSE, "Variable")),
      withProbt(table("Kravos", name, twoKravos(c), hidden = "Variable"), "2"),
      table("Equality", name, c$equality, hidden = "Variable"))
})

writeLines(c("// Generated by goldens.R from R's women and sleep data; do not edit.",
             "constexpr GoldenRun kRuns[] = {", runs, "};",
             "constexpr GoldenCell kCells[] = {", cells, "};",
             "constexpr GoldenAttr kAttrs[] = {", attrs, "};"),
           "golden_cells.inc")
