#include "stat/src/krvdist.h"

#include <cmath>

#include "numerics/zdist.h"

bool krvtquant(double p, double df, double *q) {
  double x;
  if (zmemotq(p, df, &x) != 0) return false;
  *q = x;
  return true;
}

bool krvttails(double t, double df, double *lnlower, double *lnupper) {
  ztreq r{};
  r.mode = ZMODE_PROB;
  r.x = t;
  r.df = df;
  if (zlogtnc(&r) != 0) return false;
  *lnlower = r.lnlower;
  *lnupper = r.lnupper;
  return true;
}

bool krvfupper(double x, double df1, double df2, double *p) {
  double lnupper;
  if (zlfcup(x, df1, df2, &lnupper) != 0) return false;
  *p = std::exp(lnupper);
  return true;
}

bool krvcquant(double p, double df, double *c) {
  double x;
  if (zmemocq(p, df, &x) != 0) return false;
  *c = x;
  return true;
}
