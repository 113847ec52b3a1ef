"""Reference for the parcel tests: an independent NumPy port of the
meteorological formulas (saturation vapour pressure, mixing ratio, potential
temperature, the dry and saturated adiabats, the condensation level) and of
the parcel ascent: a dry ascent over the sounding levels to the condensation
level, then a saturated ascent in 10 mb steps, buoyant energy per step, the
levels of free convection, equilibrium and maximum ascent, the cap; also the
lifted index and the cap strength.

Single-precision results are rounded to float32 where the formulas hand
them on as floats, so that iterations stop where the library's do.

Input (standard input), one block per case:
  SND n            then n lines "p h t td" (Celsius; every value known)
  CASE name kind bottom thick [p t td]   kind: level, blev
  LI name bottom thick top
  CAP name bottom thick
Output: "name key value" lines.
"""
import math
import sys

import numpy as np

f32 = np.float32
M = -9999.0
KAPPA = 0.286
EPS = 622.0
LATENT = 2.6518986
KELVIN = f32(273.15)


def vapor_pr(t):
    t = float(f32(t))
    if t < 0:
        return M
    if t < 100:
        return 0.0
    return float(f32(10.0 ** (23.832241 - 5.02808 * math.log10(t) - 1.3816e-7 * 10.0 ** (11.344 - 0.0303998 * t)
                              + 0.008132801 * 10.0 ** (3.49149 - 1302.8844 / t) - 2949.076 / t)))


def temp_of_vapour(e):
    return 10.0 ** (0.0498646455 * math.log10(e) + 2.4082965) - 7.08475 + 38.9114 * (e ** 0.0915 - 1.2035) ** 2


def mix_ratio(temp, pr):
    if temp == M or pr == M:
        return M
    if temp <= 0 or pr <= 0:
        return 0.0
    e = temp if temp <= 100 else vapor_pr(temp)
    if e >= pr:
        return M
    return float(f32(EPS * e / (pr - e)))


def pot_temp(temp, pr):
    if temp <= 0 or pr <= 0:
        return M
    return float(f32(temp * (1000.0 / pr) ** KAPPA))


def temp_on_dryad(pot, pr):
    if pot <= 0 or pr <= 0:
        return 0.0
    return float(f32(pot * (pr / 1000.0) ** KAPPA))


def thetae_on_satad(temp, pr):
    if temp <= 0 or pr <= 0:
        return 0.0
    ws = mix_ratio(temp, pr)
    if ws == M:
        return M
    return float(f32(temp * (1000.0 / pr) ** KAPPA / math.exp(-LATENT * ws / temp)))


def temp_on_satad(pot, pr):
    if pot <= 0 or pr <= 0 or pr > 2000:
        return M
    t, d = 253.16, 120.0
    for _ in range(12):
        ws = mix_ratio(float(f32(t)), pr)
        th = pot_temp(float(f32(t)), pr)
        r = f32(-th) if ws == M else f32(pot * math.exp(-LATENT * ws / t) - th)
        if r * r < f32(2e-5):
            return float(f32(t))
        d /= 2.0
        t += d if r > 0 else -d
    return float(f32(t))


def temp_on_mixrat(w, pr):
    if w <= 0 or pr <= 0:
        return 0.0
    return float(f32(temp_of_vapour(w * pr / (EPS + w))))


def lcl_pres(ts, tds, ps):
    if ts <= 100 or tds <= 100 or ps <= 0 or ps > 1100:
        return M
    w = mix_ratio(tds, ps)
    th = pot_temp(ts, ps)
    p = float(ps)
    d = temp_on_mixrat(w, float(f32(p))) - temp_on_dryad(th, float(f32(p)))
    n = 0
    while d * d > 1e-4 and n < 8:
        p *= 2.0 ** (0.02 * d)
        d = temp_on_mixrat(w, float(f32(p))) - temp_on_dryad(th, float(f32(p)))
        n += 1
    return float(f32(p))


def kelvin(c):
    return M if c == M else float(f32(c) + KELVIN)


def celsius(k):
    return M if k == M or k <= 0 else float(f32(k) - KELVIN)


class Sounding:
    def __init__(self, rows):
        self.lev = np.array(rows, dtype=np.float64)  # p h t td
        self.c = -np.log(self.lev[:, 0].astype(np.float32)).astype(np.float64)

    def interp(self, p):
        """The level at pressure p, linear in ln p; its search position."""
        lev, c, n = self.lev, self.c, len(self.lev)
        out = [p, M, M, M]
        cv = float(-np.log(f32(p)))
        if cv < c[0] - 0.01:
            return [M, M, M, M], 0
        if cv < c[0]:
            return list(lev[0]), 0
        k = 1
        while k < n and c[k] < cv:
            k += 1
        if k >= n:
            if cv == c[n - 1]:
                return [p] + list(lev[n - 1][1:]), k
            return out, k
        lo, hi = k - 1, k
        x = (cv - c[lo]) / (c[hi] - c[lo])
        for f in (1, 2, 3):
            if cv == c[lo]:
                out[f] = lev[lo, f]
            elif cv == c[hi]:
                out[f] = lev[hi, f]
            else:
                out[f] = lev[lo, f] + (lev[hi, f] - lev[lo, f]) * x
        return out, k

    def layer_means(self, bottom, top):
        """Mean potential temperature and mixing ratio, bounds on levels."""
        pts = [r for r in self.lev if top <= r[0] <= bottom]
        x = -np.log(np.array([r[0] for r in pts]))
        th = np.array([pot_temp(kelvin(r[2]), r[0]) for r in pts])
        w = np.array([mix_ratio(kelvin(r[3]), r[0]) for r in pts])
        depth = x[-1] - x[0]
        return np.trapz(w, x) / depth, np.trapz(th, x) / depth

    def start(self, bottom, thick):
        lev, k = self.interp(bottom)
        p = list(lev)
        if thick > 0:
            w, o = self.layer_means(bottom, bottom - thick)
            p[2] = celsius(temp_on_dryad(o, p[0]))
            p[3] = celsius(temp_on_mixrat(w, p[0]))
        return p, lev, k


def energy(p1, p2, e1, e2):
    tp = (p1[2] + p2[2]) / 2.0
    te = (e1[2] + e2[2]) / 2.0
    return (e2[1] - e1[1]) * 9.8 * (tp - te) / (te + 273.15)


def parcel(snd, start, env):
    res = dict(plcl=M, el=M, mpl=M, Bel=M, Bmpl=M, lfc=-1.0, Bplus=0.0, Bminus=0.0, wmax=0.0, cap=0.0)
    plcl = lcl_pres(kelvin(start[2]), kelvin(start[3]), start[0])
    tlcl = temp_on_dryad(pot_temp(kelvin(start[2]), start[0]), plcl)
    res['plcl'], res['tlcl'] = plcl, tlcl
    theta = pot_temp(tlcl, plcl)
    res['cap'] = max(res['cap'], env[2] - start[2])
    p1, e1 = list(start), list(env)

    def step(p2, e2):
        if e2[0] > 500:
            res['cap'] = max(res['cap'], e2[2] - p2[2])
        return energy(p1, p2, e1, e2)

    points = [r[0] for r in snd.lev if plcl < r[0] < start[0]] + ([plcl] if plcl < start[0] else [])
    for pq in points:
        e2, _ = snd.interp(pq)
        p2 = list(e2)
        p2[2] = celsius(temp_on_dryad(theta, pq))
        e = step(p2, e2)
        if e > 0:
            res['Bplus'] += e
        else:
            res['Bminus'] += -e
        p1, e1 = p2, e2
    satad = thetae_on_satad(tlcl, plcl)
    res['Satad'] = satad
    neg, stage, positive = 0.0, 0, False
    p = plcl - 10
    while snd.lev[-1][0] < p:
        e2, _ = snd.interp(p)
        p2 = list(e2)
        p2[2] = celsius(temp_on_satad(satad, p))
        e = step(p2, e2)
        pm = (p2[0] + p1[0]) / 2.0
        if e >= 0 and stage == 0:
            res['lfc'], stage = pm, 1
        if e < 0 and stage == 0:
            res['Bminus'] += -e
        if e > 0:
            res['Bplus'] += e
            positive = True
        if e < 0 and stage > 0:
            neg += -e
            if positive and stage == 1:
                res['el'], res['mpl'], res['Bel'], stage = pm, M, res['Bplus'] - neg, 2
            positive = False
        if res['Bplus'] <= neg and stage == 2 and res['mpl'] == M:
            res['mpl'], res['Bmpl'] = pm, res['Bplus'] - neg
        p1, e1 = p2, e2
        p -= 10
    if res['Bplus'] > 0:
        res['wmax'] = math.sqrt(2 * res['Bplus'])
    return res


def lifted(snd, bottom, thick, top):
    start, _, _ = snd.start(bottom, thick)
    T, Td, p = kelvin(start[2]), kelvin(start[3]), start[0]
    plcl = lcl_pres(T, Td, p)
    tlcl = temp_on_dryad(pot_temp(T, p), plcl)
    up, _ = snd.interp(top)
    if up[0] > plcl:
        tp = celsius(temp_on_dryad(pot_temp(T, p), up[0]))
    else:
        tp = celsius(temp_on_satad(thetae_on_satad(tlcl, plcl), up[0]))
    return up[2] - tp


def cap_strength(snd, bottom, thick):
    start, _, _ = snd.start(bottom, thick)
    T, Td, p = kelvin(start[2]), kelvin(start[3]), start[0]
    plcl = lcl_pres(T, Td, p)
    tlcl = temp_on_dryad(pot_temp(T, p), plcl)
    dry = plcl < 500
    theta = pot_temp(T, p) if dry else thetae_on_satad(tlcl, plcl)
    at, k = snd.interp(plcl)
    d = at[2] - (tlcl - 273.15)
    for r in snd.lev[k:]:
        if r[0] <= 500:
            break
        tp = celsius(temp_on_dryad(theta, r[0]) if dry else temp_on_satad(theta, r[0]))
        d = max(d, r[2] - tp)
    return d


def main():
    lines = [l.split() for l in sys.stdin.read().splitlines() if l.strip()]
    snd = None
    i = 0
    while i < len(lines):
        w = lines[i]
        if w[0] == 'SND':
            n = int(w[1])
            snd = Sounding([[float(x) for x in r] for r in lines[i + 1:i + 1 + n]])
            i += n + 1
            continue
        if w[0] == 'CASE':
            name, kind, bottom, thick = w[1], w[2], float(w[3]), float(w[4])
            if kind == 'blev':
                given = [float(x) for x in w[5:8]]
                env, _ = snd.interp(given[0])
                start = [given[0], env[1], given[1], given[2]]
            else:
                start, env, _ = snd.start(bottom, thick)
            for key, value in sorted(parcel(snd, start, env).items()):
                print(name, key, repr(float(value)))
        elif w[0] == 'LI':
            print(w[1], 'li', repr(float(lifted(snd, float(w[2]), float(w[3]), float(w[4])))))
        elif w[0] == 'CAP':
            print(w[1], 'cap', repr(float(cap_strength(snd, float(w[2]), float(w[3])))))
        i += 1


main()
