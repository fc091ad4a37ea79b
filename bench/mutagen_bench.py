#!/usr/bin/python3
"""mutagen doing the listing work or the title edit.
usage: mutagen_bench.py list DIR | mutagen_bench.py set TITLE DIR"""
import os
import sys

from mutagen.id3 import ID3, TIT2, ID3NoHeaderError
from mutagen.mp3 import MP3


def files(root):
    for d, dirs, names in os.walk(root):
        dirs[:] = sorted(x for x in dirs if not x.startswith('.'))
        for n in names:
            if n.lower().endswith('.mp3') and not n.startswith('.'):
                yield os.path.join(d, n)


def main():
    mode = sys.argv[1]
    count = 0
    total = 0
    if mode == 'list':
        for p in files(sys.argv[2]):
            f = MP3(p)
            t = f.tags or {}
            for k in ('TIT2', 'TPE1', 'TALB', 'TRCK', 'TDRC', 'TCON'):
                if k in t:
                    total += len(str(t[k]))
            total += f.info.bitrate + int(f.info.length)
            count += 1
    else:
        title = sys.argv[2]
        for p in files(sys.argv[3]):
            try:
                t = ID3(p)
            except ID3NoHeaderError:
                t = ID3()
            t.setall('TIT2', [TIT2(encoding=3, text=title)])
            t.save(p, v2_version=4, v1=1)
            count += 1
    print('%d files (%d)' % (count, total))


if __name__ == '__main__':
    main()
