#!/usr/bin/python3
# Accuracy evidence for module/numerics/ against mpmath (Debian's
# python3-mpmath), outside the test suite.
#
#   verify.py args ARGS              write the argument file (fixed seed)
#   verify.py reference ARGS REF     correctly rounded results and exact values
#   verify.py compare ARGS REF NAME=RESULT...
#                                    count mismatches per function and set
#
# RESULT files come from `check eval` (check.cpp) on each platform.
import math
import sys
from collections import defaultdict

import mpmath as mp

from arguments import write_args
from doubles import bits, unbits


# ---- reference ---------------------------------------------------------------

def to_double(v):
    # v rounded to the nearest double, ties to even, subnormals included
    if v == 0:
        return 0.0
    m, e = mp.frexp(v)  # v = m 2^e, 1/2 <= |m| < 1
    unit = max(int(e) - 53, -1074)
    scaled = mp.ldexp(abs(v), -unit)
    n = int(mp.floor(scaled))
    frac = scaled - n
    if frac > 0.5 or (frac == 0.5 and n % 2 == 1):
        n += 1
    r = math.ldexp(n, unit) if n < (1 << 1000) else math.inf
    return -r if v < 0 else r


def exact_value(f, a, b, prec):
    with mp.workprec(prec):
        if f == 's':
            return mp.sin(mp.mpf(a))
        if f == 'c':
            return mp.cos(mp.mpf(a))
        if f == 'a':
            return mp.asin(mp.mpf(a))
        return mp.atan2(mp.mpf(a), mp.mpf(b))


def special(f, a, b):
    # results fixed by C for zeros, infinities and NaN: None when not special
    if f in 'sc':
        if math.isnan(a) or math.isinf(a):
            return math.nan
        if a == 0:
            return a if f == 's' else 1.0
    elif f == 'a':
        if math.isnan(a) or abs(a) > 1:
            return math.nan
        if a == 0:
            return a
    else:
        if math.isnan(a) or math.isnan(b):
            return math.nan
        if a == 0:
            if math.copysign(1, b) < 0:
                with mp.workprec(300):
                    return math.copysign(to_double(mp.pi), a)
            return a
        if math.isinf(a) or math.isinf(b):
            with mp.workprec(300):
                if math.isinf(a) and math.isinf(b):
                    v = mp.pi / 4 if b > 0 else 3 * mp.pi / 4
                elif math.isinf(a):
                    v = mp.pi / 2
                else:
                    v = mp.mpf(0) if b > 0 else mp.pi
                r = to_double(v)
            return math.copysign(r, a)
    return None


def correctly_rounded(f, a, b):
    s = special(f, a, b)
    if s is not None:
        return s, None
    prec = 200
    while True:
        v = exact_value(f, a, b, prec)
        with mp.workprec(prec):
            eps = mp.ldexp(abs(v), 10 - prec)
            lo, hi = to_double(v - eps), to_double(v + eps)
        if lo == hi:
            return lo, v
        prec *= 2
        if prec > 16000:
            raise RuntimeError('undecided %s %r %r' % (f, a, b))


def read_args(path):
    out = []
    for line in open(path):
        p = line.split()
        out.append((p[0], p[1], unbits(p[2]), unbits(p[3]) if len(p) > 3 else 0.0))
    return out


def write_reference(args_path, ref_path):
    with open(ref_path, 'w') as out:
        for f, s, a, b in read_args(args_path):
            r, v = correctly_rounded(f, a, b)
            out.write('%s %s\n' % (bits(r), '-' if v is None else mp.nstr(v, 60, min_fixed=1, max_fixed=0)))


# ---- comparison --------------------------------------------------------------

def same(x, y):
    # bit for bit, except that any NaN matches any NaN
    return (math.isnan(x) and math.isnan(y)) or bits(x) == bits(y)


def compare(args_path, ref_path, results):
    args = read_args(args_path)
    ref = [l.split() for l in open(ref_path)]
    tables = {}
    for name, path in results:
        rows = [l.split() for l in open(path)]
        assert len(rows) == len(args), path
        tables[name] = rows
    names = [n for n, _ in results]
    count = defaultdict(int)
    cross = defaultdict(int)
    worst_ratio = defaultdict(float)
    worst_arg = {}
    examples = []
    for i, (f, s, a, b) in enumerate(args):
        key = (f, s)
        count[key, 'n'] += 1
        want = unbits(ref[i][0])
        exacts = [tables[n][i][0] for n in names]
        if len(set(exacts)) > 1:
            cross[key] += 1
        for n in names:
            row = tables[n][i]
            mine, libm = unbits(row[0]), unbits(row[1])
            if s != 'beyond' and not same(mine, want):
                count[key, n + ' exact wrong'] += 1
                if len(examples) < 20:
                    examples.append('%s %s %s(%r, %r): want %s got %s' % (n, s, f, a, b, want.hex(), mine.hex()))
            if not same(libm, want):
                count[key, n + ' libm wrong'] += 1
            if not same(libm, mine):
                count[key, n + ' libm differs'] += 1
            if row[5] == '1':
                count[key, n + ' slow'] += 1
            if row[2] != '-' and ref[i][1] != '-' and n == names[0]:
                with mp.workprec(200):
                    true = mp.mpf(ref[i][1])
                    if f in 'at':
                        true = abs(true)  # the fast path gives the angle before its sign
                    err = abs(true - (mp.mpf(unbits(row[2])) + mp.mpf(unbits(row[3]))))
                    ratio = float(err / mp.mpf(unbits(row[4])))
                if ratio > worst_ratio[f]:
                    worst_ratio[f] = ratio
                    worst_arg[f] = (s, a, b)
    funcs = {'s': 'sin', 'c': 'cos', 'a': 'asin', 't': 'atan2'}
    sets = sorted({k[0] for k in count if k[1] == 'n'})
    cols = ['n'] + ['%s %s' % (n, w) for n in names for w in ('exact wrong', 'slow', 'libm wrong', 'libm differs')]
    print('%-14s' % 'function/set' + ''.join('%22s' % c for c in cols) + '%22s' % 'exact bits differ')
    for f in 'scat':
        total = defaultdict(int)
        for key in sets:
            if key[0] != f:
                continue
            print('%-14s' % ('%s/%s' % (funcs[f], key[1])) +
                  ''.join('%22d' % count[key, c] for c in cols) + '%22d' % cross[key])
            for c in cols:
                total[c] += count[key, c]
            total['cross'] += cross[key]
        print('%-14s' % ('%s/ALL' % funcs[f]) + ''.join('%22d' % total[c] for c in cols) + '%22d' % total['cross'])
    print()
    for f in 'scat':
        print('%s: largest fast-path error over its bound: %.3g at %r' % (funcs[f], worst_ratio[f], worst_arg.get(f)))
    for e in examples:
        print(e)


def main():
    cmd = sys.argv[1]
    if cmd == 'args':
        write_args(sys.argv[2])
    elif cmd == 'reference':
        write_reference(sys.argv[2], sys.argv[3])
    elif cmd == 'compare':
        compare(sys.argv[2], sys.argv[3], [r.split('=', 1) for r in sys.argv[4:]])
    else:
        sys.exit('usage: verify.py args|reference|compare ...')


if __name__ == '__main__':
    main()
