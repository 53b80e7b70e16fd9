#!/usr/bin/env python3
"""Fails when a printf-family format string of the product holds a non-ASCII
byte. A runtime in a DBCS locale (code page 932) reads format strings as
multi-byte text, so a Japanese byte can swallow the '%' behind it. Counted as
formats: the first string literal of a printf-family call, and any literal
that holds a conversion (formats kept in tables or variables)."""
import pathlib
import re
import subprocess
import sys

root = pathlib.Path(__file__).resolve().parent.parent
literal = re.compile(rb'"(?:[^"\\\n]|\\.)*"')
call = re.compile(rb'\b(?:std::)?v?(?:sn|s|f)?printf\s*\(')
conversion = re.compile(rb'%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|z|j|t|L)?[diouxXeEfgGcsp]')
files = subprocess.run(['git', 'ls-files', '*.cpp', '*.h'], cwd=root, capture_output=True,
                       check=True).stdout.decode().split()
faults = []
for name in files:
    if name.startswith('tests/'):
        continue
    text = (root / name).read_bytes()
    formats = [m for m in literal.finditer(text) if conversion.search(m.group())]
    formats += [literal.search(text, m.end()) for m in call.finditer(text)]
    for m in formats:
        if m and re.search(rb'[\x80-\xff]', m.group()):
            line = text.count(b'\n', 0, m.start()) + 1
            faults.append(f'{name}:{line}: non-ASCII format string {m.group().decode()}')
print('\n'.join(sorted(set(faults))) or 'format strings: ASCII only')
sys.exit(1 if faults else 0)
