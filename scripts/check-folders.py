#!/usr/bin/env python3
"""Checks the directions between the project's folders (docs/architecture.md): which folder's
code may include which, and that platform conditionals stay in the platform folders.
Prints each broken direction and exits 1; prints nothing and exits 0 when all hold."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
CODE = ("app", "archive", "chart", "cli", "history", "link", "measurement", "records", "report",
        "res", "roster", "sim", "site", "standards", "text")
NEW = {"measurement", "archive", "site", "chart", "report"}

# (folder, part) -> the folders it may include (None: any) and the ones it must not.
ONLY = {
    "text": {"text"},
    "measurement": {"measurement", "text"},
    "archive": {"archive", "measurement", "text", "res/resource.h"},
}
NEVER = {
    "chart": {"archive"},
    "site": {"report", "chart"},
    "report": {"records", "history", "app"},
    "cli": {"history"},
    "app(portable)": NEW,
}
PLATFORM = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__linux__|"
                      r"__unix__|__APPLE__|_MSC_VER|__MINGW32__|_POSIX_VERSION)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def rule_name(path):
    folder = path.parts[0]
    if folder == "app" and "win32" not in path.parts:
        return "app(portable)"
    return folder


def allowed(rule, target):
    top = target.split("/")[0]
    if rule in ONLY:
        return top in ONLY[rule] or target in ONLY[rule]
    return top not in NEVER.get(rule, set())


def main():
    broken = []
    for folder in CODE:
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            rel = path.relative_to(ROOT)
            in_platform = "win32" in rel.parts or "posix" in rel.parts
            rule = rule_name(rel)
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and "/" in match.group(1) and not allowed(rule, match.group(1)):
                    broken.append(f"{rel}:{number}: {rule}/ must not include {match.group(1)}")
                if PLATFORM.match(line) and not in_platform:
                    broken.append(f"{rel}:{number}: a platform conditional outside win32/ and "
                                  "posix/")
    for line in broken:
        print(line)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
