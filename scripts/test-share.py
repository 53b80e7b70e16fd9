#!/usr/bin/env python3
"""Test share: non-blank, non-comment lines under tests/ (its notes in .md aside)
against the product's .cpp/.h outside tests/, from the files git tracks. The
tools under scripts/ (the benchmark programs) count on neither side."""
import re
import subprocess
from collections import Counter


def counted_lines(path):
    hash_comments = path.endswith(('.sh', '.py', '.cmake', 'CMakeLists.txt'))
    n, in_block = 0, False
    for line in open(path, errors='replace'):
        s = line.strip()
        if not s:
            continue
        if hash_comments:
            n += not (s.startswith('#') and not s.startswith('#!'))
            continue
        if in_block:
            if '*/' in s:
                in_block = False
                n += bool(s.split('*/', 1)[1].strip())
            continue
        if s.startswith('//'):
            continue
        if s.startswith('/*'):
            if '*/' not in s:
                in_block = True
                continue
            if not s.split('*/', 1)[1].strip():
                continue
        n += 1
    return n


files = subprocess.check_output(['git', 'ls-files'], text=True).split()
product, tools, tests = 0, 0, Counter()
for f in files:
    if f.startswith('scripts/'):
        tools += counted_lines(f) if re.search(r'\.(cpp|h)$', f) else 0
        continue
    if f.startswith('tests/'):
        if not f.endswith('.md'):
            tests['/'.join(f.split('/')[:2])] += counted_lines(f)
    elif re.search(r'\.(cpp|h)$', f):
        product += counted_lines(f)
total = sum(tests.values())
print(f'product {product}, tests {total}, share {total / product:.2f}'
      f' (tools under scripts/, on neither side: {tools})')
for folder, n in sorted(tests.items()):
    print(f'  {folder:24} {n}')
