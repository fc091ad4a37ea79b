#!/usr/bin/python3
"""Builds a benchmark corpus: N real MP3 files (one lame encode, copied) in a tree of
directories, tagged variously with mutagen: ID3v2.3 or 2.4, some with ID3v1, some with a
comment, some with a 50-100 KB cover.

usage: make_corpus.py DIR N
"""
import os
import random
import subprocess
import sys
import tempfile

from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, TCON, TDRC, TYER, COMM, APIC


def encode(path):
    # Two seconds of a noisy tone, 128 kbit/s, the way the tests make theirs.
    import math
    import struct
    rate, seconds = 44100, 2
    rng = random.Random(7)
    frames = bytearray()
    for i in range(rate * seconds):
        t = i / rate
        v = 8000 * math.sin(2 * math.pi * 440 * t) + rng.randint(-800, 800)
        frames += struct.pack('<hh', int(v), int(v / 2))
    with tempfile.NamedTemporaryFile(suffix='.raw') as raw:
        raw.write(frames)
        raw.flush()
        subprocess.run(['lame', '--quiet', '-r', '--little-endian', '--signed', '--bitwidth', '16',
                        '-s', '44.1', '-b', '128', raw.name, path], check=True)


def main():
    root, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(root, exist_ok=True)
    # The encoded original lives beside the corpus, not in it.
    base = os.path.join(os.path.dirname(os.path.abspath(root)), '.base.mp3')
    if not os.path.exists(base):
        encode(base)
    audio = open(base, 'rb').read()
    rng = random.Random(1)
    per_dir = 100
    picture_bytes = 0
    for i in range(count):
        d = os.path.join(root, 'artist%03d' % (i // (per_dir * 10)), 'album%04d' % (i // per_dir))
        os.makedirs(d, exist_ok=True)
        path = os.path.join(d, '%05d - Track.mp3' % i)
        with open(path, 'wb') as f:
            f.write(audio)
        tags = ID3()
        v24 = i % 2 == 0
        tags.add(TIT2(encoding=1, text='Title %d' % i))
        tags.add(TPE1(encoding=1, text='Artist %d' % (i // 1000)))
        tags.add(TALB(encoding=1, text='Album %d' % (i // 100)))
        tags.add(TRCK(encoding=1, text=str(i % 100 + 1)))
        tags.add(TCON(encoding=1, text='(%d)' % (i % 126)))
        if v24:
            tags.add(TDRC(encoding=1, text=str(1960 + i % 60)))
        else:
            tags.add(TYER(encoding=1, text=str(1960 + i % 60)))
        if i % 3 == 0:
            tags.add(COMM(encoding=1, lang='eng', desc='', text='Comment number %d' % i))
        if i % 10 == 0:
            size = rng.randint(50_000, 100_000)
            tags.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='',
                          data=b'\xff\xd8\xff\xe0' + rng.randbytes(size - 4)))
            picture_bytes += size
        tags.save(path, v2_version=4 if v24 else 3, v1=2 if i % 2 == 1 else 0)
    with open(os.path.join(os.path.dirname(os.path.abspath(root)), os.path.basename(root) + '.pictures'), 'w') as f:
        f.write('%d\n' % picture_bytes)
    print('corpus: %d files in %s' % (count, root))


if __name__ == '__main__':
    main()
