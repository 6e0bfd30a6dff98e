# The arguments verify.py checks the functions at: directions as the
# module computes them, the hard cases, and values around every boundary
# where a function's result changes form.  Written with a fixed seed.
import math
import random

import hard_cases
from doubles import bits


def module_vectors(rng, count):
    # directions as the module computes them, from points on small grids
    # (many axis-aligned) and from arbitrary points
    out = []
    for k in range(count):
        if k % 2:
            p = [rng.randint(-4, 4) for _ in range(6)]
        else:
            p = [rng.uniform(-10, 10) for _ in range(6)]
        dx, dy, dz = p[3] - p[0], p[4] - p[1], p[5] - p[2]
        length = math.sqrt((dx * dx + dy * dy) + dz * dz)
        if length == 0:
            continue
        out.append((dx / length, dy / length, dz / length))
    return out


def float_step(x, n):
    for _ in range(abs(n)):
        x = math.nextafter(x, math.inf if n > 0 else -math.inf)
    return x


def write_args(path):
    rng = random.Random(20261208)
    lines = []

    def one(f, s, a, b=None):
        lines.append('%s %s %s%s' % (f, s, bits(a), '' if b is None else ' ' + bits(b)))

    def trig(s, x):
        one('s', s, x)
        one('c', s, x)

    for _ in range(200000):
        trig('pi', rng.uniform(-math.pi, math.pi))
    for _ in range(60000):
        trig('half', rng.uniform(-math.pi / 2, math.pi / 2))
    for _ in range(30000):
        trig('small', math.copysign(2.0 ** rng.uniform(-30, 0), rng.random() - 0.5))
    for k in range(-8, 9):
        for n in range(-150, 151):
            trig('axis', float_step(k * math.pi / 2, n))
    for i in range(52):
        for n in range(-40, 41):
            trig('split', float_step((i + 0.5) / 64, n))
    for n in range(-500, 501):
        trig('split', float_step(math.pi / 4, n))
    for _ in range(20000):
        trig('wide', math.copysign(2.0 ** rng.uniform(0, 20), rng.random() - 0.5))
    for x in hard_cases.values(hard_cases.SIN):
        one('s', 'hard', x)
        one('s', 'hard', -x)
    for x in hard_cases.values(hard_cases.COS):
        one('c', 'hard', x)
        one('c', 'hard', -x)
    for x in (0.0, -0.0, 5e-324, -5e-324, 2.0 ** -1022, 2.0 ** -27, -2.0 ** -27, 2.0 ** -26,
              float_step(2.0 ** -26, -1), float_step(2.0 ** -27, -1), float_step(2.0 ** 20, -1),
              -float_step(2.0 ** 20, -1)):
        trig('special', x)
    for x in (2.0 ** 20, 1e22, -1e300, math.inf, -math.inf, math.nan):
        trig('beyond', x)

    for _ in range(200000):
        one('a', 'unit', rng.uniform(-1, 1))
    for _ in range(50000):
        one('a', 'near1', math.copysign(1 - 2.0 ** -rng.uniform(1, 53), rng.random() - 0.5))
    for n in range(1, 2000):
        one('a', 'near1', float_step(1.0, -n))
        one('a', 'near1', -float_step(1.0, -n))
    for _ in range(30000):
        one('a', 'near0', math.copysign(2.0 ** rng.uniform(-60, -1), rng.random() - 0.5))
    for n in range(-1000, 1001):
        one('a', 'split', float_step(math.sqrt(0.5), n))
        one('a', 'split', float_step(0.5, n))
    for x in hard_cases.values(hard_cases.ASIN):
        one('a', 'hard', x)
        one('a', 'hard', -x)
    for x in (0.0, -0.0, 5e-324, -5e-324, 1.0, -1.0, float_step(1.0, 1), -float_step(1.0, 1), 2.0,
              2.0 ** -26, float_step(2.0 ** -26, -1), math.inf, -math.inf, math.nan):
        one('a', 'special', x)

    for _ in range(200000):
        t = rng.uniform(-math.pi, math.pi)
        r = 2.0 ** rng.uniform(-20, 20)
        one('t', 'dir', r * math.sin(t), r * math.cos(t))
    for _ in range(60000):
        one('t', 'square', rng.uniform(-1, 1), rng.uniform(-1, 1))
    comps = [0.0, -0.0, 1.0, -1.0, 1e-17, -1e-17, 1e-300, -1e-300, 5e-324, -5e-324, 2.0 ** -1022,
             3.0, -0.5, 1e300, -1e300, 2.0 ** 1023, math.inf, -math.inf, 2.0 ** -55, -2.0 ** -56,
             float_step(2.0 ** -55, 1), 7e-310]
    for y in comps:
        for x in comps:
            one('t', 'axis', y, x)
    for _ in range(30000):
        big = math.copysign(rng.uniform(0.5, 2), rng.random() - 0.5)
        tiny = math.copysign(rng.uniform(0.5, 2) * 2.0 ** -rng.randint(1, 1100), rng.random() - 0.5)
        scale = 2.0 ** rng.randint(-60, 60)
        if rng.random() < 0.5:
            one('t', 'axis', tiny * scale, big * scale)
        else:
            one('t', 'axis', big * scale, tiny * scale)
    for _ in range(2000):
        # quotients exactly halfway between two subnormals, and their neighbours
        b = rng.randrange(1, 1 << 20, 2)
        m = rng.randrange(1, 1 << 30, 2)
        y = m * b * 2.0 ** -1074
        x = 2.0 * b
        k = rng.randint(0, 900)
        for yy in (y, float_step(y, 1), float_step(y, -1)):
            one('t', 'ties', yy * 2.0 ** k, x * 2.0 ** k)
    for t in hard_cases.values(hard_cases.ATAN):
        for k in (0, -7, 300):
            s = 2.0 ** k
            one('t', 'hard', t * s, s)
            one('t', 'hard', -t * s, s)
            one('t', 'hard', s, t * s)
    for y in (math.nan, 1.0, math.inf):
        for x in (math.nan, 1.0, -math.inf):
            one('t', 'special', y, x)

    for dx, dy, dz in module_vectors(rng, 40000):
        one('t', 'module', dx, dz)
        one('a', 'module', dy)
        h = math.atan2(dx, dz)
        p = -math.asin(dy)
        trig('module', h)
        trig('module', p)
    with open(path, 'w') as out:
        out.write('\n'.join(lines) + '\n')
    print('%d arguments' % len(lines))


