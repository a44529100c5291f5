#!/usr/bin/env python3
"""Writes the string table of the resource script as C++, for the programs that have no Windows
resources: string_table.py resource.h strings.rc out.cpp

The texts keep the script's meaning: UTF-8, "\\n" a line break, "" a quote. Every byte outside
printable ASCII is written as an octal escape, so the compiler's character sets never matter.
"""
import re
import sys

DEFINE = re.compile(r'^\s*#define\s+(IDS_\w+)\s+(\d+)\s*$')
ENTRY = re.compile(r'^\s*(IDS_\w+)(?:\s*\+\s*(\d+))?\s+"((?:[^"]|"")*)"\s*$')
ESCAPES = {'n': '\n', 't': '\t', '\\': '\\', 'r': '\r', '0': '\0'}


def ids(header_path):
    with open(header_path, encoding='utf-8') as header:
        return {m[1]: int(m[2]) for m in map(DEFINE.match, header) if m}


def unescape(text, where):
    out, i = [], 0
    text = text.replace('""', '"')
    while i < len(text):
        if text[i] == '\\':
            if i + 1 >= len(text) or text[i + 1] not in ESCAPES:
                sys.exit(f'{where}: unknown escape in a string')
            out.append(ESCAPES[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


def entries(rc_path, known):
    table, inside = {}, False
    with open(rc_path, encoding='utf-8') as rc:
        for number, line in enumerate(rc, 1):
            word = line.strip()
            if word == 'BEGIN':
                inside = True
            elif word == 'END':
                inside = False
            elif inside and word and not word.startswith('//'):
                m = ENTRY.match(line)
                where = f'{rc_path}:{number}'
                if not m or m[1] not in known:
                    sys.exit(f'{where}: not a string of resource.h')
                table[known[m[1]] + int(m[2] or 0)] = unescape(m[3], where)
    return table


def literal(text):
    def byte(b):
        c = chr(b)
        return c if 0x20 <= b < 0x7F and c not in '"\\?' else f'\\{b:03o}'
    return '"' + ''.join(byte(b) for b in text.encode('utf-8')) + '"'


def main():
    header, rc, out = sys.argv[1:4]
    table = entries(rc, ids(header))
    lines = [f'    {{{key}, {literal(text)}}},' for key, text in sorted(table.items())]
    with open(out, 'w', encoding='utf-8', newline='\n') as cpp:
        cpp.write('// Made from res/strings.rc by cli/string_table.py while building.\n'
                  '#include "cli/string_table.h"\n\n'
                  'const StringEntry STRING_TABLE[] = {\n' + '\n'.join(lines) + '\n};\n\n'
                  'const size_t STRING_TABLE_SIZE = sizeof STRING_TABLE / sizeof *STRING_TABLE;\n')


if __name__ == '__main__':
    main()
