# A double's bits as 16 hex digits, and back: how the argument, reference and
# result files spell each value exactly.
import struct


def bits(x):
    return '%016x' % struct.unpack('<Q', struct.pack('<d', x))[0]


def unbits(h):
    return struct.unpack('<d', struct.pack('<Q', int(h, 16)))[0]
