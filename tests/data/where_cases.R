# Expected rows of the WHERE= table in where_test.cpp. Each condition is
# written again in R over the cells of where.csv, numeric cells as (rank,
# value) pairs: ._ rank 0, . rank 1, .A to .Z ranks 2 to 27, numbers rank 28,
# so that the order of missing values is R's integer order and R's own NA
# plays no part. Run from tests/data: Rscript where_cases.R > where_cases.inc
invisible(Sys.setlocale("LC_COLLATE", "C"))
d <- read.csv("where.csv", colClasses = "character", na.strings = character(0))
n <- nrow(d)

num <- function(cell) {
  cell <- rep_len(cell, n)
  letter <- match(substr(cell, 2, 2), LETTERS)
  r <- ifelse(cell == "._", 0, ifelse(cell == ".", 1,
         ifelse(nchar(cell) == 2 & substr(cell, 1, 1) == "." & !is.na(letter), 1 + letter, 28)))
  list(r = r, v = ifelse(r == 28, suppressWarnings(as.numeric(cell)), 0))
}
x <- num(d$x)
y <- num(d$y)
s <- d$s
k <- function(v) num(as.character(v))  # a constant
dot <- list(r = rep(1, n), v = rep(0, n))
bool <- function(b) list(r = rep(28, n), v = as.numeric(b))
truth <- function(a) a$r == 28 & a$v != 0

cmp <- function(a, b) ifelse(a$r != b$r, sign(a$r - b$r), sign(a$v - b$v))
arith <- function(a, b, f) {
  v <- f(a$v, b$v)
  bad <- a$r < 28 | b$r < 28 | !is.finite(v)
  list(r = ifelse(bad, 1, 28), v = ifelse(bad, 0, v))
}
add <- function(a, b) arith(a, b, `+`)
mul <- function(a, b) arith(a, b, `*`)
quo <- function(a, b) arith(a, b, `/`)
sub <- function(a, b) arith(a, b, `-`)
neg <- function(a) list(r = ifelse(a$r < 28, 1, 28), v = ifelse(a$r < 28, 0, -a$v))
pad <- function(a, w) formatC(a, width = -w)
scmp <- function(a, b) {
  w <- max(nchar(c(a, b)))
  ifelse(pad(a, w) == pad(rep_len(b, n), w), 0, ifelse(pad(a, w) < pad(rep_len(b, n), w), -1, 1))
}
blank <- function(a) trimws(a, "right") == ""

cases <- list(
  c("x = .", "cmp(x, dot) == 0"),
  c("x is missing", "x$r < 28"),
  c("x is not missing", "x$r == 28"),
  c("x < .", "cmp(x, dot) < 0"),
  c("x <= .", "cmp(x, dot) <= 0"),
  c("x > .", "cmp(x, dot) > 0"),
  c("x < -1000", "cmp(x, k(-1000)) < 0"),
  c("x = ._", "cmp(x, k('._')) == 0"),
  c("x > .Z", "cmp(x, k('.Z')) > 0"),
  c("x ge .A and x le .Z", "cmp(x, k('.A')) >= 0 & cmp(x, k('.Z')) <= 0"),
  c("x < .a", "cmp(x, k('.A')) < 0"),
  c("x ne .", "cmp(x, dot) != 0"),
  c("x ^= 1", "cmp(x, k(1)) != 0"),
  c("x ~= 2", "cmp(x, k(2)) != 0"),
  c("x + 1 = .", "cmp(add(x, k(1)), dot) == 0"),
  c("x + y > 2", "cmp(add(x, y), k(2)) > 0"),
  c("-x > 0", "cmp(neg(x), k(0)) > 0"),
  c("x * 2 = y", "cmp(mul(x, k(2)), y) == 0"),
  c("y / x = 2", "cmp(quo(y, x), k(2)) == 0"),
  c("y / (x - 1) = .", "cmp(quo(y, sub(x, k(1))), dot) == 0"),
  c("x + y * 2 = 5", "cmp(add(x, mul(y, k(2))), k(5)) == 0"),
  c("(x + y) * 2 = 6", "cmp(mul(add(x, y), k(2)), k(6)) == 0"),
  c("x - 1 - 1 = 0", "cmp(sub(sub(x, k(1)), k(1)), k(0)) == 0"),
  c("y / 2 / 2 = 1", "cmp(quo(quo(y, k(2)), k(2)), k(1)) == 0"),
  c("x = 1 or x = 2 and y = 2", "cmp(x, k(1)) == 0 | (cmp(x, k(2)) == 0 & cmp(y, k(2)) == 0)"),
  c("(x = 1 or x = 2) and y = 0", "(cmp(x, k(1)) == 0 | cmp(x, k(2)) == 0) & cmp(y, k(0)) == 0"),
  c("not x = 1", "!(cmp(x, k(1)) == 0)"),
  c("not x = 1 and y = 2", "!(cmp(x, k(1)) == 0) & cmp(y, k(2)) == 0"),
  c("not (x = 1 or y = 2)", "!(cmp(x, k(1)) == 0 | cmp(y, k(2)) == 0)"),
  c("x in (1, 2)", "cmp(x, k(1)) == 0 | cmp(x, k(2)) == 0"),
  c("x in (1 2)", "cmp(x, k(1)) == 0 | cmp(x, k(2)) == 0"),
  c("x in (., .A)", "cmp(x, dot) == 0 | cmp(x, k('.A')) == 0"),
  c("x not in (1, ._, -1)", "!(cmp(x, k(1)) == 0 | cmp(x, k('._')) == 0 | cmp(x, k(-1)) == 0)"),
  c("s = 'a'", "scmp(s, 'a') == 0"),
  c("s = \"a  \"", "scmp(s, 'a  ') == 0"),
  c("s = ''", "scmp(s, '') == 0"),
  c("s = ' '", "scmp(s, ' ') == 0"),
  c("s is missing", "blank(s)"),
  c("s eq 'b'", "scmp(s, 'b') == 0"),
  c("s < 'a'", "scmp(s, 'a') < 0"),
  c("s > 'b'", "scmp(s, 'b') > 0"),
  c("s in ('a', 'c')", "scmp(s, 'a') == 0 | scmp(s, 'c') == 0"),
  c("s ne 'a' and s is not missing", "scmp(s, 'a') != 0 & !blank(s)"),
  c("1 <= x <= 2", "cmp(k(1), x) <= 0 & cmp(x, k(2)) <= 0"),
  c("0 < x < 1", "cmp(k(0), x) < 0 & cmp(x, k(1)) < 0"),
  c("x", "truth(x)"),
  c("y", "truth(y)"),
  c("not y", "!truth(y)"),
  c("x eq 1 or x gt 1.5", "cmp(x, k(1)) == 0 | cmp(x, k(1.5)) > 0"),
  c("x lt 0 and x ge .", "cmp(x, k(0)) < 0 & cmp(x, dot) >= 0"),
  c("x le -1", "cmp(x, k(-1)) <= 0"),
  c("y = .B", "cmp(y, k('.B')) == 0"),
  c("y > .A and y < 1", "cmp(y, k('.A')) > 0 & cmp(y, k(1)) < 0"),
  c("(x < 0) + (y < 0) = 2", "cmp(add(bool(cmp(x, k(0)) < 0), bool(cmp(y, k(0)) < 0)), k(2)) == 0"),
  c("x = .5", "cmp(x, k(0.5)) == 0"),
  c("x = 5e-1", "cmp(x, k(0.5)) == 0"),
  c("- - x = 1", "cmp(neg(neg(x)), k(1)) == 0"),
  c("x * 1e308 * 10 = .", "cmp(mul(mul(x, k(1e308)), k(10)), dot) == 0"),
  c("x is missing or s is missing", "x$r < 28 | blank(s)"),
  c("x = 1 or x = 2 or x = -1", "cmp(x, k(1)) == 0 | cmp(x, k(2)) == 0 | cmp(x, k(-1)) == 0"),
  c("y ~= 2 and y ^= 0 and y ne 4", "cmp(y, k(2)) != 0 & cmp(y, k(0)) != 0 & cmp(y, k(4)) != 0"),
  c("X > 1 AND S GT 'a'", "cmp(x, k(1)) > 0 & scmp(s, 'a') > 0")
)

cat("// Generated by where_cases.R from where.csv; do not edit.\n")
for (c in cases) {
  rows <- which(eval(parse(text = c[2])))
  cat(sprintf("{R\"(%s)\", {%s}},\n", c[1], paste(rows, collapse = ", ")))
}
