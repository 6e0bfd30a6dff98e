#!/usr/bin/python3
# Prints the constant tables of model/exact_math.cpp, computed with mpmath at
# 1000 bits: the output is that file's constants section.
import mpmath as mp

mp.mp.prec = 1000


def dd(v):
    hi = float(v)
    lo = float(v - mp.mpf(hi))
    return hi, lo


def hexf(f):
    return f.hex().replace('0x1.0000000000000p', '0x1p') if f != 0 else '0.0'


def truncate(v, bits):
    # v cut to `bits` significant bits
    e = mp.floor(mp.log(abs(v), 2))
    scale = mp.mpf(2) ** (bits - 1 - e)
    return mp.floor(v * scale) / scale


pio2 = mp.pi / 2
rest = pio2
parts = []
for bits in (32, 32, 32):
    p = truncate(rest, bits)
    parts.append(float(p))
    rest -= p
parts.append(float(rest))
print('// pi/2 = P1 + P2 + P3 + P4 (32, 32, 32 and 53 significant bits), residual %.3g' %
      float(pio2 - sum(mp.mpf(p) for p in parts)))
for n, p in enumerate(parts, 1):
    print('constexpr double kPio2Part%d = %s;' % (n, hexf(p)))
for name, v in (('kPi', mp.pi), ('kPio2', pio2)):
    hi, lo = dd(v)
    print('constexpr DD %s{%s, %s};' % (name, hexf(hi), hexf(lo)))
print('constexpr double kTwoOverPi = %s;' % hexf(float(2 / mp.pi)))

print('// sin(i/64) and cos(i/64), i = 0..51, each as hi + lo')
print('constexpr DD kSinTable[52][2] = {')
for i in range(52):
    s = dd(mp.sin(mp.mpf(i) / 64))
    c = dd(mp.cos(mp.mpf(i) / 64))
    print('    {{%s, %s}, {%s, %s}},' % (hexf(s[0]), hexf(s[1]), hexf(c[0]), hexf(c[1])))
print('};')
print('// atan(j/64), j = 0..64, as hi + lo')
print('constexpr DD kAtanTable[65] = {')
for j in range(65):
    a = dd(mp.atan(mp.mpf(j) / 64))
    print('    {%s, %s},' % (hexf(a[0]), hexf(a[1])))
print('};')

words = 26
v = int(mp.floor(pio2 * mp.mpf(2) ** (32 * (words - 1))))
ws = [(v >> (32 * (words - 1 - k))) & 0xffffffff for k in range(words)]
print('// pi/2 in fixed point: word 0 is the integer part, word k weighs 2^(-32k); truncated')
print('constexpr uint32_t kPio2Words[%d] = {' % words)
for k in range(0, words, 6):
    print('    ' + ' '.join('0x%08x,' % w for w in ws[k:k + 6]))
print('};')
