// The distribution requests of the analyses, each a cleared request record
// with one mode; false when the request fails.
#pragma once

// t quantile: P(T <= q) = p with df degrees of freedom.
bool krvtquant(double p, double df, double *q);
// Both log tails of t(df) at t.
bool krvttails(double t, double df, double *lnlower, double *lnupper);
// Upper tail of F(df1, df2) at x.
bool krvfupper(double x, double df1, double df2, double *p);
// Chi-square quantile: P(X <= c) = p with df degrees of freedom.
bool krvcquant(double p, double df, double *c);
