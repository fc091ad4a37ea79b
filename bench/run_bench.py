#!/usr/bin/python3
"""Listing and title-edit throughput of quorvane-cli against a bare-I/O floor, TagLib
and mutagen on a corpus of real MP3 files.

usage: run_bench.py [N] [--build BUILD] [--work DIR] [--runs R]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PY = '/usr/bin/python3'


def build_helpers(work):
    bin_dir = os.path.join(work, 'bin')
    os.makedirs(bin_dir, exist_ok=True)
    floor = os.path.join(bin_dir, 'floor')
    taglib = os.path.join(bin_dir, 'taglib_bench')
    subprocess.run(['g++', '-O2', '-std=c++20', os.path.join(HERE, 'floor.cpp'), '-o', floor], check=True)
    flags = subprocess.run(['pkg-config', '--cflags', '--libs', 'taglib'], check=True,
                           capture_output=True, text=True).stdout.split()
    subprocess.run(['g++', '-O2', '-std=c++20', os.path.join(HERE, 'taglib_bench.cpp'), '-o', taglib] + flags,
                   check=True)
    return floor, taglib


def measure(argv, ok=(0,)):
    """Elapsed seconds and peak memory (KiB, from /usr/bin/time -v) of one run."""
    start = time.perf_counter()
    r = subprocess.run(['/usr/bin/time', '-v'] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if r.returncode not in ok:
        sys.exit('failed (%d): %s\n%s' % (r.returncode, ' '.join(argv), r.stderr[-2000:]))
    rss = int(re.search(r'Maximum resident set size \(kbytes\): (\d+)', r.stderr).group(1))
    return elapsed, rss


def best(argv, runs, prepare=None):
    results = []
    for _ in range(runs):
        if prepare:
            prepare()
        results.append(measure(argv))
    return min(results)


def evict(root):
    """Drops the corpus's pages from the page cache (only these files)."""
    for d, _, names in os.walk(root):
        for n in names:
            fd = os.open(os.path.join(d, n), os.O_RDONLY)
            os.fdatasync(fd)  # dirty pages (a corpus just written) cannot be dropped
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            os.close(fd)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('n', type=int, nargs='?', default=10000)
    ap.add_argument('--build', default=os.path.join(HERE, '..', 'build'))
    ap.add_argument('--work', default='/tmp/quorvane-bench')
    ap.add_argument('--runs', type=int, default=3)
    ap.add_argument('--skip-edit', action='store_true')
    args = ap.parse_args()
    cli = os.path.abspath(os.path.join(args.build, 'src', 'quorvane-cli'))
    os.makedirs(args.work, exist_ok=True)
    floor, taglib = build_helpers(args.work)
    corpus = os.path.join(args.work, 'corpus-%d' % args.n)
    if not os.path.isdir(corpus):
        subprocess.run([PY, os.path.join(HERE, 'make_corpus.py'), corpus, str(args.n)], check=True)
    pictures = int(open(corpus + '.pictures').read())
    settings = os.path.join(args.work, 'settings.ini')
    empty = os.path.join(args.work, 'empty')
    os.makedirs(empty, exist_ok=True)
    n = args.n

    rows = []

    def row(name, secs, rss, floor_secs=None):
        rows.append((name, secs, rss))
        ratio = '' if floor_secs is None else '%6.2fx floor' % (secs / floor_secs)
        print('%-34s %9.0f files/s %8.1f us/file %9d KiB peak  %s' % (name, n / secs, secs / n * 1e6, rss, ratio))
        sys.stdout.flush()

    print('corpus: %d files, %.1f MB of pictures' % (n, pictures / 1e6))
    subprocess.run([floor, corpus], stdout=subprocess.DEVNULL)  # warm the cache
    print('\n== listing, warm cache (best of %d)' % args.runs)
    f_secs, f_rss = best([floor, corpus], args.runs)
    row('bare-I/O floor', f_secs, f_rss)
    q_secs, q_rss = best([cli, 'list', '--settings', settings, corpus], args.runs)
    row('quorvane-cli list', q_secs, q_rss, f_secs)
    qj_secs, qj_rss = best([cli, 'list', '--json', '--settings', settings, corpus], args.runs)
    row('quorvane-cli list --json', qj_secs, qj_rss, f_secs)
    t_secs, t_rss = best([taglib, 'list', corpus], args.runs)
    row('TagLib', t_secs, t_rss, f_secs)
    m_secs, m_rss = best([PY, os.path.join(HERE, 'mutagen_bench.py'), 'list', corpus], 1)
    row('mutagen', m_secs, m_rss, f_secs)
    # An empty directory: nothing found, exit status 1.
    _, base_rss = measure([cli, 'list', '--settings', settings, empty], ok=(1,))
    per_file = (q_rss - base_rss) * 1024 - pictures
    print('quorvane memory: %d KiB peak, %d KiB for no file; %.0f bytes per file beyond the %.1f MB of pictures'
          ' (goal <= 2048)' % (q_rss, base_rss, per_file / n, pictures / 1e6))

    print('\n== listing, cold cache (corpus evicted before each run)')
    fc, fcr = best([floor, corpus], args.runs, lambda: evict(corpus))
    row('bare-I/O floor (cold)', fc, fcr)
    qc, qcr = best([cli, 'list', '--settings', settings, corpus], args.runs, lambda: evict(corpus))
    row('quorvane-cli list (cold)', qc, qcr, fc)
    tc, tcr = best([taglib, 'list', corpus], args.runs, lambda: evict(corpus))
    row('TagLib (cold)', tc, tcr, fc)

    if not args.skip_edit:
        work_copy = os.path.join(args.work, 'edit')

        def fresh():
            shutil.rmtree(work_copy, ignore_errors=True)
            subprocess.run(['cp', '-a', corpus, work_copy], check=True)
            subprocess.run([floor, work_copy], stdout=subprocess.DEVNULL)

        print('\n== title edit, tag fits (best of %d, fresh copy each run)' % args.runs)
        fits = 'Edited title'
        e_q = best([cli, 'set', '--settings', settings, '--title', fits, work_copy], args.runs, fresh)
        row('quorvane-cli set --title', *e_q, f_secs)
        e_t = best([taglib, 'set', fits, work_copy], args.runs, fresh)
        row('TagLib set title', *e_t, f_secs)
        e_m = best([PY, os.path.join(HERE, 'mutagen_bench.py'), 'set', fits, work_copy], 1, fresh)
        row('mutagen set title', *e_m, f_secs)
        print('quorvane / TagLib in-place edit: %.2f (goal <= 1)' % (e_q[0] / e_t[0]))

        print('\n== title edit, tag grows (audio moved)')
        grows = 'G' * 6000
        g_q = best([cli, 'set', '--settings', settings, '--title', grows, work_copy], 1, fresh)
        row('quorvane-cli set --title (grows)', *g_q, f_secs)
        g_t = best([taglib, 'set', grows, work_copy], 1, fresh)
        row('TagLib set title (grows)', *g_t, f_secs)
        shutil.rmtree(work_copy, ignore_errors=True)

    print('\n== goals')
    print('list warm: %.2fx floor (goal <= 1.5); TagLib %.2fx, mutagen %.2fx' % (q_secs / f_secs, t_secs / f_secs,
                                                                              m_secs / f_secs))
    print('list cold: %.2fx floor (goal <= 1.1)' % (qc / fc))


if __name__ == '__main__':
    main()
