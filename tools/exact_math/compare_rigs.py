#!/usr/bin/python3
# Writes generated rigs (OBJ curves: axis-aligned, on small grids, arbitrary,
# and deep chains) and runs two spindle commands on each, counting the
# scenes whose bytes differ.  Each command is a shell word list to which
# "-q -o SCENE MODEL" is added, e.g. two module files for one command:
#
#   compare_rigs.py 'build/spindle --module build/Spindle.p' \
#                   'build/spindle --module other/Spindle.p' [COUNT] [FOLDER]
#
# or a Windows build under Wine: 'wine build-win64/spindle.exe'.
import os
import random
import shlex
import subprocess
import sys


def rig(rng, kind):
    points = []
    curves = []

    def point(p):
        points.append(p)
        return len(points)

    roots = [point((0.0, 0.0, 0.0))]
    ends = list(roots)
    chains = rng.randint(1, 12) if kind != 'deep' else 1
    for _ in range(chains):
        start = rng.choice(ends)
        p = points[start - 1]
        curve = [start]
        length = rng.randint(1, 8) if kind != 'deep' else rng.randint(100, 400)
        for _ in range(length):
            if kind == 'axis':
                d = [0, 0, 0]
                d[rng.randrange(3)] = rng.choice((-2, -1, 1, 2))
            elif kind == 'grid':
                d = [rng.randint(-3, 3) for _ in range(3)]
                if d == [0, 0, 0]:
                    d[0] = 1
            elif kind == 'deep':
                d = [rng.choice((0, 0, 1, -1)) * rng.random() for _ in range(2)] + [1.0]
                rng.shuffle(d)
            else:
                d = [round(rng.uniform(-1, 1), 6) for _ in range(3)]
                if d == [0, 0, 0]:
                    d[2] = 0.5
            p = tuple(p[k] + d[k] for k in range(3))
            curve.append(point(p))
        curves.append(curve)
        ends.append(curve[-1])
    text = ['v %r %r %r' % p for p in points]
    text += ['l ' + ' '.join(str(i) for i in c) for c in curves]
    return '\n'.join(text) + '\n'


def main():
    commands = [shlex.split(c) for c in sys.argv[1:3]]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 3000
    folder = sys.argv[4] if len(sys.argv) > 4 else '/tmp/spindle-rigs'
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(12)
    kinds = ('axis', 'grid', 'free', 'deep')
    differ = {k: 0 for k in kinds}
    done = {k: 0 for k in kinds}
    for n in range(count):
        kind = kinds[n % 4]
        model = os.path.join(folder, 'rig%05d.obj' % n)
        with open(model, 'w') as out:
            out.write(rig(rng, kind))
        scenes = []
        for m, command in enumerate(commands):
            scene = os.path.join(folder, 'rig%05d-%d.lws' % (n, m))
            subprocess.run(command + ['-q', '-o', scene, model],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            scenes.append(open(scene, 'rb').read() if os.path.exists(scene) else b'')
        done[kind] += 1
        if scenes[0] != scenes[1]:
            differ[kind] += 1
            if differ[kind] <= 3:
                print('differs: %s (%s)' % (model, kind))
        elif scenes[0]:
            for m in range(2):
                os.remove(os.path.join(folder, 'rig%05d-%d.lws' % (n, m)))
            os.remove(model)
    for k in kinds:
        print('%-5s %5d rigs, %5d scenes differ' % (k, done[k], differ[k]))


if __name__ == '__main__':
    main()
