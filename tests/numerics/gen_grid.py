#!/usr/bin/python3
"""Reference grid for the distribution functions

Writes tests/numerics/grid.csv (central tails, densities, quantiles, UMPU pair),
tests/numerics/grid_nc.csv (noncentral entries) and tests/numerics/grid_edge.csv (the
noncentral F and chi-square at noncentralities from 1e-300 to 1e-6, and the UMPU pair at
levels alpha from 0.5 to 0.99) with mpmath at 40 significant digits.
Inputs are written with repr() so they read back as the exact doubles used here;
references are written with 25 significant digits.

References: mpmath's betainc / gammainc for moderate parameters; for large ones (where
mpmath's hypergeometric series do not converge) direct tanh-sinh quadrature of the
density with break points laid along the integrand; both methods are cross-checked on an
overlap.  Noncentral: Poisson mixtures of betainc/gammainc terms (F, chi-square) and
quadrature over the chi scale (t).

Usage: /usr/bin/python3 tests/numerics/gen_grid.py [outdir] [--edge-only]
(about 10-20 minutes; --edge-only writes grid_edge.csv alone, in about a minute)
"""
import math
import os
import random
import sys

import mpmath as mp

mp.mp.dps = 40
EPS = 2.0 ** -53
SQRTEPS = 1.053671212772351e-08
ARGS = [a for a in sys.argv[1:] if not a.startswith('--')]
EDGE_ONLY = '--edge-only' in sys.argv[1:]
OUT = ARGS[0] if ARGS else os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20240604)
NINF = mp.mpf('-inf')


def s25(v):
    if v == NINF:
        return '-inf'
    if v == mp.inf:
        return 'inf'
    return mp.nstr(v, 25, min_fixed=1, max_fixed=0)


def ln(v):
    return mp.log(v) if v > 0 else NINF


# ---------------------------------------------------------------------------------------
# generic quadrature of exp(lf(u)) with break points laid from the maximum outward


def walk(lf, dlf, start, direction, lo, hi, drop=400):
    """Points from start in one direction, at geometrically growing distances, until lf
    has fallen `drop` below lf(start)."""
    pts = []
    top = lf(start)
    d = abs(dlf(start))
    c = abs(mp.diff(lf, start, 2))
    h = mp.mpf(1) / d if d > 0 else mp.mpf(1)
    if c > 0:
        h = min(h, 1 / mp.sqrt(c))
    h = h / 4
    for k in range(1, 200):
        u = start + direction * h * (2 ** k - 1)
        if u <= lo or u >= hi:
            break
        pts.append(u)
        if lf(u) < top - drop:
            break
    return pts


def integrate_split(lf, dlf, mode, x, lo, hi):
    """ln of integral over (lo, x) and (x, hi) of exp(lf), to about 30 digits."""
    # digits enough to resolve the local scale 1/|lf'(x)| next to x itself
    extra = 0
    if mp.isfinite(x) and x != 0:
        with mp.workdps(32):
            g = abs(x * dlf(x))
        if g > 1:
            extra = int(mp.log10(g)) + 5
    with mp.workdps(32 + extra):
        return _integrate_split(lf, dlf, mode, x, lo, hi)


def _integrate_split(lf, dlf, mode, x, lo, hi):
    pts = set([x])
    for s in (mode, x):
        if lo < s < hi:
            pts.add(s)
            pts.update(walk(lf, dlf, s, +1, lo, hi))
            pts.update(walk(lf, dlf, s, -1, lo, hi))
    pts = sorted(p for p in pts if lo < p < hi)
    left = mp.mpf(0)
    right = mp.mpf(0)
    seq = [lo] + pts + [hi]
    for a, b in zip(seq[:-1], seq[1:]):
        # mp.quad's stopping test is absolute: scale each piece by its own size (the mode
        # and x are break points, so the largest value of a piece is at one of its ends)
        ref = max(lf(e) for e in (a, b) if mp.isfinite(e))
        def fe(u, ref=ref):
            v = lf(u) - ref
            return mp.exp(v) if v > -5000 else mp.mpf(0)  # (exp of a huge negative is slow)
        v = mp.quad(fe, [a, b]) * mp.exp(ref)
        if b <= x:
            left += v
        else:
            right += v
    return ln(left), ln(right)


def dfun(lf):
    return lambda u: mp.diff(lf, u)


# ---------------------------------------------------------------------------------------
# central distributions


def t_lf(df):
    df = mp.mpf(df)
    c = mp.loggamma((df + 1) / 2) - mp.loggamma(df / 2) - mp.log(df * mp.pi) / 2
    return lambda u: c - (df + 1) / 2 * mp.log1p(u * u / df)


def t_dens(x, df):
    return t_lf(df)(mp.mpf(x))


def t_tails_beta(x, df):
    if x == 0:
        return mp.log(mp.mpf(1) / 2), mp.log(mp.mpf(1) / 2)
    # enough digits that both df / s and x^2 / s are exact to the working precision
    extra = int(abs(mp.log10(mp.mpf(x) ** 2 / mp.mpf(df)))) + 5
    with mp.workdps(mp.mp.dps + extra):
        return _t_tails_beta(x, df)


def _t_tails_beta(x, df):
    x = mp.mpf(x)
    df = mp.mpf(df)
    h = mp.mpf(1) / 2
    s = df + x * x
    # two-sided tail I_{df/s}(df/2, 1/2) and its complement I_{x^2/s}(1/2, df/2)
    two = mp.betainc(df / 2, h, 0, df / s, regularized=True)
    one_m = mp.betainc(h, df / 2, 0, x * x / s, regularized=True)
    up = two / 2  # P(T > |x|)
    low = (1 + one_m) / 2  # 1 - two/2 without cancellation
    if x > 0:
        return ln(low), ln(up)
    return ln(up), ln(low)


def t_tails_quad(x, df):
    lf = t_lf(df)
    x = mp.mpf(x)
    if abs(x) > 1000:
        # far tail: integrate u f(u) over w = ln u, where the decay is exponential
        lw = lambda w: lf(mp.exp(w)) + w
        small = integrate_split(lw, dfun(lw), mp.mpf(0), mp.log(abs(x)), -mp.inf, mp.inf)[1]
        big = mp.log(-mp.expm1(small))
        return (big, small) if x > 0 else (small, big)
    return integrate_split(lf, dfun(lf), mp.mpf(0), x, -mp.inf, mp.inf)


def t_tails(x, df):
    if df <= 2e4:
        return t_tails_beta(x, df)
    return t_tails_quad(x, df)


def f_lf_log(df1, df2):
    """log density of ln F at u (F = e^u)."""
    a = mp.mpf(df1) / 2
    b = mp.mpf(df2) / 2
    r = mp.mpf(df1) / mp.mpf(df2)
    c = a * mp.log(r) - (mp.loggamma(a) + mp.loggamma(b) - mp.loggamma(a + b))
    return lambda u: c + a * u - (a + b) * mp.log1p(r * mp.exp(u))


def f_dens(x, df1, df2):
    x = mp.mpf(x)
    return f_lf_log(df1, df2)(mp.log(x)) - mp.log(x)


def f_tails_beta(x, df1, df2):
    # enough digits that both df1 x / s and df2 / s are exact to the working precision
    r = mp.mpf(df1) * mp.mpf(x) / mp.mpf(df2)
    extra = int(abs(mp.log10(r))) + 5 if r != 0 else 0
    with mp.workdps(mp.mp.dps + extra):
        x = mp.mpf(x)
        a = mp.mpf(df1) / 2
        b = mp.mpf(df2) / 2
        s = mp.mpf(df1) * x + mp.mpf(df2)
        lo = mp.betainc(a, b, 0, mp.mpf(df1) * x / s, regularized=True)
        up = mp.betainc(b, a, 0, mp.mpf(df2) / s, regularized=True)
        return ln(lo), ln(up)


def f_tails_quad(x, df1, df2):
    lf = f_lf_log(df1, df2)
    a = mp.mpf(df1) / 2
    b = mp.mpf(df2) / 2
    r = mp.mpf(df1) / mp.mpf(df2)
    mode = mp.log(a / (b * r))  # maximum of a u - (a+b) ln(1 + r e^u)
    return integrate_split(lf, dfun(lf), mode, mp.log(mp.mpf(x)), -mp.inf, mp.inf)


def f_tails(x, df1, df2):
    if max(df1, df2) <= 4e3:
        return f_tails_beta(x, df1, df2)
    return f_tails_quad(x, df1, df2)


def c_lf_log(df):
    k = mp.mpf(df) / 2
    c = -k * mp.log(2) - mp.loggamma(k)
    return lambda u: c + k * u - mp.exp(u) / 2


def c_dens(x, df):
    x = mp.mpf(x)
    return c_lf_log(df)(mp.log(x)) - mp.log(x)


def c_tails_gamma(x, df):
    k = mp.mpf(df) / 2
    g = mp.mpf(x) / 2
    return (ln(mp.gammainc(k, 0, g, regularized=True)),
            ln(mp.gammainc(k, g, mp.inf, regularized=True)))


def c_tails_quad(x, df):
    lf = c_lf_log(df)
    mode = mp.log(mp.mpf(df))
    return integrate_split(lf, dfun(lf), mode, mp.log(mp.mpf(x)), -mp.inf, mp.inf)


def c_tails(x, df):
    if df <= 2e6:
        try:
            return c_tails_gamma(x, df)
        except mp.libmp.NoConvergence:
            pass
    return c_tails_quad(x, df)


# ---------------------------------------------------------------------------------------
# quantiles: solve in v = asinh(x) (t) or v = ln x (F, chi-square) on the smaller tail


def solve(tail, p, v0):
    """tail(v) -> (ln lower, ln upper); root of the smaller tail's equation."""
    p = mp.mpf(p)
    use_lo = p <= mp.mpf(1) / 2
    tgt = mp.log(p) if use_lo else mp.log(1 - p)

    def g(v):
        lo, up = tail(v)
        return (lo - tgt) if use_lo else -(up - tgt)

    a = mp.mpf(v0)
    ga = g(a)
    step = mp.mpf(1)
    b = a + (step if ga < 0 else -step)
    gb = g(b)
    it = 0
    while (ga < 0) == (gb < 0):
        a, ga = b, gb
        step *= 2
        b = a + (step if ga < 0 else -step)
        if abs(b) > 800:
            # the root lies beyond the doubles (|ln x| or asinh|x| > 709.8): say so
            return mp.mpf(10) ** 6 * (1 if b > 0 else -1)
        gb = g(b)
        it += 1
        if it > 200:
            raise RuntimeError('no bracket')
    if a > b:
        a, b, ga, gb = b, a, gb, ga
    # Illinois on the bracket, then a few secant steps at full precision
    for _ in range(400):
        c = b - gb * (b - a) / (gb - ga)
        gc = g(c)
        if gc == 0:
            return c
        if (gc < 0) == (gb < 0):
            ga = ga / 2
        else:
            a, ga = b, gb
        b, gb = c, gc
        if abs(b - a) < mp.mpf(10) ** (-32) * (1 + abs(b)) or abs(gc) < mp.mpf(10) ** -34 * (1 + abs(tgt)):
            return b
    raise RuntimeError('no convergence')


def newton(tail, ldens, p, v0):
    """Root of the smaller tail's log equation by Newton steps in v, from v0 (used where
    each tail costs a quadrature: near-normal distributions with large df).  ldens(v) is
    the log density of v.  The result is checked by its residual."""
    p = mp.mpf(p)
    use_lo = p <= mp.mpf(1) / 2
    tgt = mp.log(p) if use_lo else mp.log(1 - p)
    v = mp.mpf(v0)
    for _ in range(60):
        lo, up = tail(v)
        lt = lo if use_lo else up
        g = lt - tgt
        d = mp.exp(ldens(v) - lt) * (1 if use_lo else -1)
        step = g / d
        v -= step
        if abs(step) < mp.mpf(10) ** -28 * (1 + abs(v)):
            lo, up = tail(v)
            assert abs((lo if use_lo else up) - tgt) < mp.mpf(10) ** -24 * (1 + abs(tgt))
            return v
    raise RuntimeError('newton')


def zstart(p):
    """A rough normal quantile (only a starting point)."""
    p = mp.mpf(p)
    q = min(p, 1 - p)
    if q > mp.mpf('1e-10'):
        z = mp.sqrt(2) * mp.erfinv(2 * q - 1)
    else:
        l = -2 * mp.log(q)
        z = -mp.sqrt(l - mp.log(l) - mp.log(2 * mp.pi))
    return z if p <= 0.5 else -z


def qt_ref(p, df):
    if df <= 2e4:
        tail = lambda v: t_tails(mp.sinh(v), df)
        return mp.sinh(solve(tail, p, 0))
    lf = t_lf(df)
    tail = lambda v: t_tails_quad(mp.sinh(v), df)
    return mp.sinh(newton(tail, lambda v: lf(mp.sinh(v)) + mp.log(mp.cosh(v)), p,
                          mp.asinh(zstart(p))))


def qf_ref(p, df1, df2):
    if max(df1, df2) <= 4e3:
        tail = lambda v: f_tails(mp.exp(v), df1, df2)
        return mp.exp(solve(tail, p, 0))
    lf = f_lf_log(df1, df2)
    tail = lambda v: f_tails_quad(mp.exp(v), df1, df2)
    sd = mp.sqrt(2 / mp.mpf(df1) + 2 / mp.mpf(df2))
    return mp.exp(newton(tail, lf, p, zstart(p) * sd))


def qc_ref(p, df):
    if df <= 2e6:
        tail = lambda v: c_tails(mp.exp(v), df)
        return mp.exp(solve(tail, p, mp.log(mp.mpf(df))))
    lf = c_lf_log(df)
    tail = lambda v: c_tails_quad(mp.exp(v), df)
    return mp.exp(newton(tail, lf, p, mp.log(mp.mpf(df)) + zstart(p) * mp.sqrt(2 / mp.mpf(df))))


# ---------------------------------------------------------------------------------------
# UMPU pair


def umpu_ref(alpha, nu):
    nu = mp.mpf(nu)
    alpha = mp.mpf(alpha)

    def cdf(c):
        lo, up = c_tails(c, nu)
        return mp.exp(lo)

    def c1_of(c2):
        k = nu * mp.log(c2) - c2
        # root below nu of f(y) = nu y - e^y - k, y = ln c1: f is concave and increasing
        # there, so Newton from a point on the left converges monotonically
        f = lambda y: nu * y - mp.exp(y) - k
        y = mp.log(nu) - 1
        while f(y) > 0:
            y -= 1
        for _ in range(200):
            step = f(y) / (nu - mp.exp(y))
            y -= step
            if abs(step) < mp.mpf(10) ** -36 * (1 + abs(y)):
                break
        assert abs(f(y)) < mp.mpf(10) ** -30 * (abs(k) + nu)
        return mp.exp(y)

    def g(c2):
        return cdf(c2) - cdf(c1_of(c2)) - (1 - alpha)

    # Illinois on a bracket of c2
    a, b = nu * (1 + mp.mpf(10) ** -6), nu * 50 + 200
    ga, gb = g(a), g(b)
    assert ga < 0 < gb
    for _ in range(300):
        c = b - gb * (b - a) / (gb - ga)
        gc = g(c)
        if (gc < 0) == (gb < 0):
            ga = ga / 2
        else:
            a, ga = b, gb
        b, gb = c, gc
        if abs(b - a) < mp.mpf(10) ** -32 * b or gc == 0:
            break
    c2 = b
    assert abs(g(c2)) < mp.mpf(10) ** -28
    return c1_of(c2), c2


# ---------------------------------------------------------------------------------------
# noncentral references


def lpois(j, mu):
    return -mu + j * mp.log(mu) - mp.loggamma(j + 1)


def mixture(mu, term):
    """sum_j w_j term(j) summed over the whole significant range of j."""
    jm = int(mp.floor(mu))
    K = int(15 * mp.sqrt(mu) + 80)
    tot = mp.mpf(0)
    for j in range(max(0, jm - K), jm + K + 1):
        tot += mp.exp(lpois(j, mu)) * term(j)
    return tot


def nc_c(x, df, ncp):
    mu = mp.mpf(ncp) / 2
    k = mp.mpf(df) / 2
    g = mp.mpf(x) / 2
    lo = mixture(mu, lambda j: mp.gammainc(k + j, 0, g, regularized=True))
    up = mixture(mu, lambda j: mp.gammainc(k + j, g, mp.inf, regularized=True))
    dn = mixture(mu, lambda j: mp.exp(c_dens(x, df + 2 * j)))
    return ln(lo), ln(up), ln(dn)


def nc_f(x, df1, df2, ncp):
    mu = mp.mpf(ncp) / 2
    a = mp.mpf(df1) / 2
    b = mp.mpf(df2) / 2
    x = mp.mpf(x)
    s = mp.mpf(df1) * x + mp.mpf(df2)
    xb = mp.mpf(df1) * x / s
    yb = mp.mpf(df2) / s
    lo = mixture(mu, lambda j: mp.betainc(a + j, b, 0, xb, regularized=True))
    up = mixture(mu, lambda j: mp.betainc(b, a + j, 0, yb, regularized=True))
    # density of the noncentral F: sum_j w_j * beta density(xb; a+j, b) * dxb/dx
    dxb = mp.mpf(df1) * mp.mpf(df2) / (s * s)
    dn = mixture(mu, lambda j: mp.exp((a + j - 1) * mp.log(xb) + (b - 1) * mp.log(yb)
                                      - mp.log(mp.beta(a + j, b))) * dxb)
    return ln(lo), ln(up), ln(dn)


def nc_t(x, df, delta):
    """P(T <= x) = E Phi(x S - delta), S = sqrt(V/df), integrated over w = ln S."""
    x = mp.mpf(x)
    df = mp.mpf(df)
    delta = mp.mpf(delta)
    z = df / 2
    K = mp.log(2) + z * mp.log(z) - mp.loggamma(z)
    chi = lambda w: K + df * w - z * mp.exp(2 * w)

    def lncdf(h):
        if h < -10 ** 15:  # asymptotic form, exact to the working precision
            return -h * h / 2 - mp.log(-h) - mp.log(2 * mp.pi) / 2
        if h > 10 ** 15:
            return mp.mpf(0)
        return mp.log(mp.ncdf(h))

    def part_lo(w):
        return lncdf(x * mp.exp(w) - delta)

    def part_up(w):
        return lncdf(delta - x * mp.exp(w))

    def part_dn(w):
        h = x * mp.exp(w) - delta
        return -h * h / 2 - mp.log(2 * mp.pi) / 2 + w

    out = []
    for part in (part_lo, part_up, part_dn):
        lf = lambda w, part=part: part(w) + chi(w)
        # maximum of lf
        wm = safe_max(lf, mp.mpf(0))
        l1, l2 = integrate_split(lf, dfun(lf), wm, wm, -mp.inf, mp.inf)
        out.append(mp.log(mp.exp(l1) + mp.exp(l2)))
    return tuple(out)


def safe_max(lf, start):
    try:
        return mp.findroot(lambda w: mp.diff(lf, w), start)
    except Exception:
        return start


# ---------------------------------------------------------------------------------------


def row(kind, args, refs):
    refs = [min(r, mp.mpf(0)) if kind in ('t', 'f', 'c', 'nt', 'nf', 'nc') and k < 2 else r
            for k, r in enumerate(refs)]
    return ','.join([kind] + [repr(float(a)) for a in args] + [s25(r) for r in refs])


BIG = mp.mpf('1.7976931348623157e308')
TINY = mp.mpf('4.9406564584124654e-324')


def clampx(x):
    if abs(x) >= BIG:
        return mp.inf if x > 0 else NINF
    if 0 < abs(x) < TINY:
        return mp.mpf(0)
    return x


def work(task):
    kind, args = task
    try:
        if kind == 't':
            x, df = args
            lo, up = t_tails(x, df)
            return row(kind, args, [lo, up, t_dens(x, df)])
        if kind == 'f':
            x, d1, d2 = args
            lo, up = f_tails(x, d1, d2)
            return row(kind, args, [lo, up, f_dens(x, d1, d2)])
        if kind == 'c':
            x, df = args
            lo, up = c_tails(x, df)
            return row(kind, args, [lo, up, c_dens(x, df)])
        if kind == 'qt':
            return row(kind, args, [clampx(qt_ref(*args))])
        if kind == 'qf':
            return row(kind, args, [clampx(qf_ref(*args))])
        if kind == 'qc':
            return row(kind, args, [clampx(qc_ref(*args))])
        if kind == 'u':
            return row(kind, args, list(umpu_ref(*args)))
        if kind == 'nt':
            x, df, delta = args
            if x == 0:
                refs = [mp.log(mp.ncdf(-delta)), mp.log(mp.ncdf(delta)),
                        -mp.mpf(delta) ** 2 / 2 - mp.log(2 * mp.pi) / 2
                        + mp.loggamma((mp.mpf(df) + 1) / 2) - mp.loggamma(mp.mpf(df) / 2)
                        + mp.log(mp.sqrt(2 / mp.mpf(df)))]
            else:
                refs = list(nc_t(x, df, delta))
            return row(kind, args, refs)
        if kind == 'nf':
            return row(kind, args, list(nc_f(*args)))
        if kind == 'nc':
            return row(kind, args, list(nc_c(*args)))
    except Exception as e:  # noqa
        return '#fail ' + kind + ' ' + repr(args) + ' ' + repr(e)
    raise ValueError(kind)


def tasks_central():
    tasks = []
    tdfs = [SQRTEPS, 1e-3, 0.1, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 4.7, 5.0, 10.0, 30.0, 100.0,
            1000.5, 1e4, 1e5, 1e8, 2147483646.5]
    txs = [0.0, 1e-300, 1e-10, 1e-3, 0.1, 0.5, 1.0, 1.5, 2.0, 3.0, 5.0, 10.0, 40.0, 100.0,
           1e3, 1e5, 1e10, 1e50, 1e150, 1e300]
    for df in tdfs:
        xs = list(txs) + [10 ** rng.uniform(-2, 2.5) for _ in range(8 if df < 2e4 else 3)]
        for x0 in xs:
            for sgn in ((1,) if x0 == 0 else (1, -1)):
                tasks.append(('t', (sgn * x0, df)))
    fdfs = [0.0009766, 0.01, 0.5, 1.0, 2.0, 3.0, 5.5, 10.0, 100.0, 1e6, 2147483647.0]
    fxs = [1e-300, 1e-10, 0.01, 0.5, 0.9, 1.0, 1.001, 1.1, 2.0, 10.0, 1e3, 1e10, 1e300]
    for d1 in fdfs:
        for d2 in fdfs:
            big = max(d1, d2) > 4e3
            xs = rng.sample(fxs, 3 if big else 5) + [10 ** rng.uniform(-1, 1)]
            if d1 >= 1e4 and d2 >= 1e4:
                xs += [1 + rng.uniform(-3, 3) * math.sqrt(2 / d1 + 2 / d2)]
            for x in xs:
                tasks.append(('f', (x, d1, d2)))
    cdfs = [1e-8, 1e-4, 0.01, 0.5, 1.0, 1.5, 2.0, 3.0, 5.0, 9.5, 20.0, 100.0, 1e3, 1e4, 1e5,
            1e6, 1e8, 1e10]
    for df in cdfs:
        sd = math.sqrt(2 * df)
        xs = [1e-300, 1e-100, 1e-10, 1e-3 * df, 0.1 * df, 0.5 * df, 0.9 * df, df, 1.1 * df,
              2 * df, 10 * df, 1e300, df + 3 * sd, max(df - 3 * sd, 1e-3), df + 40 * sd + 1e3]
        xs += [df * 10 ** rng.uniform(-1, 1) for _ in range(4)]
        for x in xs:
            tasks.append(('c', (x, df)))
    ps = [1e-300, 1e-100, 1e-20, 1e-8, 1e-3, 0.025, 0.1, 0.3, 0.5, 0.7, 0.9, 0.975, 0.999,
          1 - 1e-6, 1 - SQRTEPS]
    for df in [SQRTEPS, 0.01, 0.1, 0.5, 1.0, 2.0, 2.5, 3.0, 5.0, 10.0, 30.0, 100.0, 1e4,
               1e6, 2147483646.0]:
        pl = ps if df <= 2e4 else [1e-300, 0.025, 0.5, 1 - SQRTEPS]
        for p in pl:
            tasks.append(('qt', (p, df)))
    for d1, d2 in [(1, 1), (1, 10), (2, 5), (3, 7), (5.5, 2.5), (10, 100), (0.5, 30),
                   (100, 3), (0.01, 5), (7, 0.05), (1e3, 1e3), (1e6, 1e6), (1e9, 2)]:
        pl = ps if max(d1, d2) <= 4e3 else [1e-100, 0.3, 1 - SQRTEPS]
        for p in pl:
            tasks.append(('qf', (p, float(d1), float(d2))))
    for df in [1e-8, 1e-3, 0.5, 1.0, 2.0, 3.0, 7.5, 20.0, 100.0, 1e3, 1e5, 1e8]:
        pl = ps if df <= 4e3 else [1e-300, 0.025, 0.975, 1 - SQRTEPS]
        for p in pl:
            tasks.append(('qc', (p, df)))
    for alpha in [0.001, 0.01, 0.05, 0.1, 0.2, 0.5]:
        for nu in [3.0, 4.0, 5.0, 7.5, 10.0, 20.0, 50.0, 100.0, 1e3, 1e4, 1e5, 1e6]:
            tasks.append(('u', (alpha, nu)))
    return tasks


def tasks_noncentral():
    tasks = []
    for df in [0.5, 1.0, 3.0, 10.0, 50.0, 1e3]:
        for delta in [-5.0, -1.0, 0.5, 2.0, 10.0]:
            for x in [-3.0, 0.0, 0.7, 2.5, 12.0] + [rng.uniform(-2, 2) * 3 + delta]:
                tasks.append(('nt', (x, df, delta)))
    for d1, d2 in [(1.0, 5.0), (3.0, 10.0), (0.5, 2.0), (10.0, 30.0), (4.0, 200.0)]:
        for ncp in [0.5, 3.0, 20.0, 100.0]:
            for x in [0.05, 0.8, 2.5, 10.0, 60.0]:
                tasks.append(('nf', (x, d1, d2, ncp)))
    for df in [0.5, 1.0, 3.0, 10.0, 100.0]:
        for ncp in [0.5, 5.0, 50.0, 400.0]:
            m = df + ncp
            for x in [0.01, 0.3 * m, m, 1.5 * m, 3 * m + 30]:
                tasks.append(('nc', (x, df, ncp)))
    return tasks


TINY_NCPS = [1e-300, 1e-200, 1e-100, 1e-30, 1e-19, 1e-15, 1e-12, 1e-10, 1e-8, 1e-6]


def tasks_edge():
    tasks = []
    for df in [0.5, 3.0, 30.0]:
        for x in [0.01 * df, df, 5 * df + 10]:
            for ncp in TINY_NCPS:
                tasks.append(('nc', (x, df, ncp)))
    for d1, d2 in [(1.0, 5.0), (3.0, 10.0), (10.0, 30.0)]:
        for x in [0.05, 1.0, 10.0]:
            for ncp in TINY_NCPS:
                tasks.append(('nf', (x, d1, d2, ncp)))
    for alpha in [0.5, 0.6, 0.7, 0.8, 0.9, 0.95, 0.99]:
        for nu in [3.0, 4.0, 5.0, 7.5, 10.0, 20.0, 50.0, 100.0, 1e3, 1e4]:
            tasks.append(('u', (alpha, nu)))
    return tasks


def crosscheck():
    for (x, df) in [(1.5, 3000.5), (-40.0, 4000.0), (0.3, 1e4), (7.0, 2e4)]:
        for u, v in zip(t_tails_beta(x, df), t_tails_quad(x, df)):
            assert abs(u - v) <= mp.mpf(10) ** -25 * max(1, abs(u)), ('t', x, df, u, v)
    for (x, d1, d2) in [(1.1, 3000.0, 200.0), (0.01, 0.5, 3000.0), (30.0, 2.0, 3500.0),
                        (1.0, 3999.0, 3999.0), (1e-300, 0.0009766, 0.0009766)]:
        for u, v in zip(f_tails_beta(x, d1, d2), f_tails_quad(x, d1, d2)):
            assert abs(u - v) <= mp.mpf(10) ** -25 * max(1, abs(u)), ('f', x, d1, d2, u, v)
    for (x, df) in [(3900.0, 4000.0), (1e-3, 0.5), (5000.0, 3999.0), (1e5, 3000.0),
                    (1.01e5, 1e5), (0.999e6, 1e6), (1.1e6, 1e6)]:
        for u, v in zip(c_tails(x, df), c_tails_quad(x, df)):
            assert abs(u - v) <= mp.mpf(10) ** -25 * max(1, abs(u)), ('c', x, df, u, v)


def write(name, header, rows):
    with open(os.path.join(OUT, name), 'w') as fh:
        for h in header:
            fh.write('# ' + h + '\n')
        for r in rows:
            fh.write(r + '\n')


def write_edge(pool):
    rows = pool.map(work, tasks_edge(), chunksize=2)
    write('grid_edge.csv', [
        'edge grid (gen_grid.py, mpmath %s, %d digits)' % (mp.__version__, mp.mp.dps),
        'nf: x,df1,df2,ncp,lnlower,lnupper,lndens | nc: x,df,ncp,lnlower,lnupper,lndens'
        ' | u: alpha,nu,c1,c2'], rows)
    print('grid_edge.csv', len(rows), 'rows', flush=True)
    return rows


def main():
    from multiprocessing import Pool
    if EDGE_ONLY:
        with Pool(int(os.environ.get('JOBS', os.cpu_count() or 1))) as pool:
            rows = write_edge(pool)
        for r in rows:
            if r.startswith('#fail'):
                print(r)
        return
    crosscheck()
    print('cross-check ok', flush=True)
    tc = tasks_central()
    tn = tasks_noncentral()
    with Pool(int(os.environ.get('JOBS', os.cpu_count() or 1))) as pool:
        rows = []
        for i, r in enumerate(pool.imap(work, tc, chunksize=2)):
            rows.append(r)
            if i % 100 == 0:
                print('  central', i, '/', len(tc), flush=True)
        write('grid.csv', [
            'kind,inputs...,references... (gen_grid.py, mpmath %s, %d digits)'
            % (mp.__version__, mp.mp.dps),
            't: x,df,lnlower,lnupper,lndens | f: x,df1,df2,lnlower,lnupper,lndens | '
            'c: x,df,lnlower,lnupper,lndens',
            'qt: p,df,x | qf: p,df1,df2,x | qc: p,df,x | u: alpha,nu,c1,c2',
            'x = inf: the root lies beyond the largest double'], rows)
        print('grid.csv', len(rows), 'rows', flush=True)
        nrows = pool.map(work, tn, chunksize=2)
        write('grid_nc.csv', [
            'noncentral grid (gen_grid.py, mpmath %s, %d digits)' % (mp.__version__, mp.mp.dps),
            'nt: x,df,delta,lnlower,lnupper,lndens | nf: x,df1,df2,ncp,lnlower,lnupper,lndens'
            ' | nc: x,df,ncp,lnlower,lnupper,lndens'], nrows)
        print('grid_nc.csv', len(nrows), 'rows', flush=True)
        erows = write_edge(pool)
    for r in rows + nrows + erows:
        if r.startswith('#fail'):
            print(r)


if __name__ == '__main__':
    main()
