#!/usr/bin/python3
"""Listing cost per file at two corpus sizes: copies of a few short lame files with
varied tags (no pictures), warm cache, against the bare-I/O floor at the same sizes.

usage: linearity.py [--sizes 10000 100000] [--work DIR] [--build BUILD] [--runs R]
"""
import argparse
import os
import shutil
import subprocess
import tempfile
import time

from mutagen.id3 import ID3, COMM, TALB, TCON, TDRC, TIT2, TPE1, TRCK, TYER

HERE = os.path.dirname(os.path.abspath(__file__))


def originals(work):
    """A few short files: two encodings, v2.3 and v2.4, texts in encodings 0, 1 and 3,
    some with ID3v1 and a comment."""
    made = []
    for k in range(6):
        path = os.path.join(work, 'original%d.mp3' % k)
        if not os.path.exists(path):
            with tempfile.NamedTemporaryFile(suffix='.raw') as raw:
                raw.write(bytes((i * (k + 3)) & 0xFF for i in range(44100 // 5 * 4)))  # 0.2 s of 16-bit stereo
                raw.flush()
                subprocess.run(['lame', '--quiet', '-r', '-s', '44.1', '--bitwidth', '16', '--signed',
                                '--little-endian', '-b', '128' if k % 2 else '64', raw.name, path], check=True)
            v24 = k % 2 == 0
            encoding = (0, 1, 3)[k % 3] if v24 else k % 2
            tags = ID3()
            tags.add(TIT2(encoding=encoding, text='Title %d' % k))
            tags.add(TPE1(encoding=encoding, text='Artist %d' % (k // 2)))
            tags.add(TALB(encoding=encoding, text='Album %d' % (k // 3)))
            tags.add(TRCK(encoding=encoding, text=str(k + 1)))
            tags.add(TCON(encoding=encoding, text='(%d)' % (k * 7)))
            tags.add((TDRC if v24 else TYER)(encoding=encoding, text=str(1990 + k)))
            if k % 3 == 0:
                tags.add(COMM(encoding=encoding, lang='eng', desc='', text='Comment %d' % k))
            tags.save(path, v2_version=4 if v24 else 3, v1=2 if k % 2 else 0)
        made.append(path)
    return made


def corpus(work, n, sources):
    """n copies in directories of 100, made once."""
    root = os.path.join(work, 'small-%d' % n)
    if os.path.isdir(root) and sum(len(f) for _, _, f in os.walk(root)) == n:
        return root
    shutil.rmtree(root, ignore_errors=True)
    for i in range(n):
        d = os.path.join(root, 'd%04d' % (i // 100))
        if i % 100 == 0:
            os.makedirs(d)
        shutil.copyfile(sources[i % len(sources)], os.path.join(d, '%05d.mp3' % (i % 100)))
    return root


def best(argv, runs):
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # warms the cache
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--sizes', type=int, nargs='+', default=[10000, 100000])
    ap.add_argument('--work', default='/tmp/quorvane-linearity')
    ap.add_argument('--build', default=os.path.join(HERE, '..', 'build'))
    ap.add_argument('--runs', type=int, default=5)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    cli = os.path.abspath(os.path.join(args.build, 'src', 'quorvane-cli'))
    floor = os.path.join(args.work, 'floor')
    subprocess.run(['g++', '-O2', '-std=c++20', os.path.join(HERE, 'floor.cpp'), '-o', floor], check=True)
    settings = os.path.join(args.work, 'settings.ini')
    sources = originals(args.work)
    per_file = {}
    for n in args.sizes:
        root = corpus(args.work, n, sources)
        f = best([floor, root], args.runs)
        q = best([cli, 'list', '--json', '--settings', settings, root], args.runs)
        per_file[n] = q / n
        print('%7d files: floor %.3f s (%.2f us/file), list --json %.3f s (%.2f us/file), %.2fx floor'
              % (n, f, f / n * 1e6, q, q / n * 1e6, q / f))
    small, large = min(args.sizes), max(args.sizes)
    print('per-file cost at %d / at %d: %.2f (goal <= 1.2)' % (large, small, per_file[large] / per_file[small]))


if __name__ == '__main__':
    main()
