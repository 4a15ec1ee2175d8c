"""README's table of result codes against the library's own words: every code from 0 to the
highest, its constant's name and its text, as velmorResultName and velmorResultText give them.

Usage: result_codes.py README.md (the library is $VELMORLIB_LIBRARY)."""
import ctypes
import os
import re
import sys

ROW = re.compile(r"^\| (\d+) \| (?:`(\w+)`|—) \| ([^|]+) \|$")


def library_words(library: ctypes.CDLL, code: int) -> tuple[str, str]:
    for function in (library.velmorResultName, library.velmorResultText):
        function.restype = ctypes.c_char_p
        function.argtypes = [ctypes.c_int32]
    return (library.velmorResultName(code).decode(), library.velmorResultText(code).decode())


def main() -> int:
    library = ctypes.CDLL(os.environ["VELMORLIB_LIBRARY"])
    with open(sys.argv[1], encoding="utf-8") as readme:
        rows = [ROW.match(line.rstrip("\n")) for line in readme]
    table = {int(row[1]): (row[2] or "", row[3].strip()) for row in rows if row}
    problems = []
    code = 0
    while library_words(library, code)[1] != "unknown result code":
        if table.get(code) != library_words(library, code):
            problems.append(f"code {code}: README has {table.get(code)}, the library {library_words(library, code)}")
        code += 1
    problems += [f"code {extra}: in README, unknown to the library" for extra in sorted(table) if extra >= code]
    for problem in problems:
        print(problem)
    print(f"{code} result codes, {len(problems)} differences")
    return 1 if problems or code < 34 else 0


if __name__ == "__main__":
    sys.exit(main())
