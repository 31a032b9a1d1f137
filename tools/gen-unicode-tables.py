#!/usr/bin/env python3
"""Generates the case-mapping and display-width tables of the runtime.

    tools/gen-unicode-tables.py [--data DIR] [--out DIR]

Reads the Unicode character database (by default the copy that Debian's
unicode-data package installs in /usr/share/unicode) and writes
runtime/text/case-tables.inc and runtime/text/width-tables.inc. The build never runs this
script: the generated files are committed, and running it again must reproduce
them byte for byte.

The tables are pinned to fixed Unicode versions, so that they do not change
with the database that happens to be installed:

  case mappings        Unicode 11.0
  zero width, wide     Unicode 14.0
  ambiguous width      Unicode 5.0

The database given may be newer than any of these (it is 15.0 at the time of
writing). Its DerivedAge.txt tells in which version each code point was
assigned, so every table is built from the code points assigned up to the
table's version; those keep the properties they had then, except where the
OVERRIDES below say otherwise. The script checks the size and the telling rows
of every table and refuses to write anything when one does not come out as
expected, so a database that has changed an old property is noticed here.

Case tables
  BMP pairs and supplementary pairs of simple (one code point to one code
  point) case mappings, from UnicodeData.txt fields 12 (uppercase) and 13
  (lowercase). Mapping never changes the length of a text, so a lowercase
  letter that has no simple uppercase but a full uppercase in
  SpecialCasing.txt (unconditional rows only) maps to the first code point of
  that full mapping: U+00DF (sharp s) -> U+0053 S, U+FB00 (ff) -> U+0046 F,
  U+0149 -> U+02BC, U+1F88 -> U+1F08 and so on (75 letters). The lower table
  has no such additions.

Width tables
  zero width  general categories Mn and Me, and the format characters (Cf) of
              the Basic Multilingual Plane, which are invisible (joiners,
              direction marks and isolates, word joiner, invisible operators,
              byte-order mark, interlinear annotation). Two kinds of Cf are
              left at one column because terminals draw them: U+00AD SOFT
              HYPHEN and the prepended concatenation marks (PropList.txt:
              Arabic number signs, end of ayah, Syriac abbreviation mark,
              Kaithi number signs), which carry a visible sign. Format
              controls outside the BMP (Egyptian hieroglyph and shorthand
              format controls, musical beam controls, tags) are also left at
              one column.
  wide        East_Asian_Width W or F, including the unassigned code points
              that default to W (CJK ideograph blocks, planes 2 and 3). Runs
              of W and runs of F are kept as separate ranges even where they
              touch (U+3000 F, U+3001 W).
  ambiguous   East_Asian_Width A, less the code points of categories Mn, Me
              and Cf (whose width is zero or fixed by the rules above).

OVERRIDES
  ambiguous   U+2614..U+2615 (umbrella with rain drops, hot beverage) were
              East Asian Ambiguous in Unicode 5.0; Unicode 9.0 made them Wide
              with the other emoji-presentation characters. The installed
              database only has the new value, so the old one is restored here.
"""

import argparse
import os
import sys

CASE_VERSION = (11, 0)
WIDTH_VERSION = (14, 0)
AMBIGUOUS_VERSION = (5, 0)

# (first, last, value) rows that replace the installed East_Asian_Width for the
# ambiguous table's version.
AMBIGUOUS_OVERRIDES = [(0x2614, 0x2615, "A")]

# What every table must come out as: number of rows, and the rows named where
# the tables are used (first and last rows of the width tables; keys and
# values of the case tables).
EXPECT = {
    "upper_bmp": 1250,
    "lower_bmp": 1158,
    "upper_supplementary": 225,
    "lower_supplementary": 225,
    "zero_width": 339,
    "wide": 122,
    "ambiguous": 156,
}
EXPECT_UPPER_ROWS = {0x00B5: 0x039C, 0x00FF: 0x0178, 0x0131: 0x0049, 0x017F: 0x0053,
                     0x00DF: 0x0053, 0x01C5: 0x01C4, 0xAB70: 0x13A0, 0x1E922: 0x1E900}
EXPECT_LOWER_ROWS = {0x01C5: 0x01C6, 0x0130: 0x0069, 0x212A: 0x006B, 0x2126: 0x03C9,
                     0x212B: 0x00E5, 0x13A0: 0xAB70, 0x1E900: 0x1E922}
EXPECT_UPPER_SUPPLEMENTARY_KEYS = [(0x10428, 0x1044F), (0x104D8, 0x104FB), (0x10CC0, 0x10CF2),
                                   (0x118C0, 0x118DF), (0x16E60, 0x16E7F), (0x1E922, 0x1E943)]
EXPECT_LOWER_SUPPLEMENTARY_KEYS = [(0x10400, 0x10427), (0x104B0, 0x104D3), (0x10C80, 0x10CB2),
                                   (0x118A0, 0x118BF), (0x16E40, 0x16E5F), (0x1E900, 0x1E921)]
EXPECT_RANGE_ENDS = {
    "zero_width": ([(0x0300, 0x036F), (0x0483, 0x0489), (0x0591, 0x05BD), (0x05BF, 0x05BF),
                    (0x05C1, 0x05C2)],
                   [(0x1E2EC, 0x1E2EF), (0x1E8D0, 0x1E8D6), (0x1E944, 0x1E94A), (0xE0100, 0xE01EF)]),
    "wide": ([(0x1100, 0x115F), (0x231A, 0x231B), (0x2329, 0x232A), (0x23E9, 0x23EC),
              (0x23F0, 0x23F0)],
             [(0x1FAE0, 0x1FAE7), (0x1FAF0, 0x1FAF6), (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)]),
    "ambiguous": ([(0x00A1, 0x00A1), (0x00A4, 0x00A4), (0x00A7, 0x00A8), (0x00AA, 0x00AA),
                   (0x00AE, 0x00AE)],
                  [(0x2776, 0x277F), (0xE000, 0xF8FF), (0xFFFD, 0xFFFD), (0xF0000, 0xFFFFD),
                   (0x100000, 0x10FFFD)]),
}

MAX_CP = 0x10FFFF


def data_lines(path):
    """Fields of each data line of a UCD file, comments and blanks removed."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield [field.strip() for field in line.split(";")]


def code_range(text):
    parts = text.split("..")
    return int(parts[0], 16), int(parts[-1], 16)


class Database:
    def __init__(self, directory):
        self.dir = directory
        self.age = {}
        for fields in data_lines(self.path("DerivedAge.txt")):
            first, last = code_range(fields[0])
            version = tuple(int(x) for x in fields[1].split("."))
            for cp in range(first, last + 1):
                self.age[cp] = version
        self.category = {}
        self.upper = {}
        self.lower = {}
        range_first = None
        for fields in data_lines(self.path("UnicodeData.txt")):
            cp = int(fields[0], 16)
            name = fields[1]
            if name.endswith(", First>"):
                range_first = cp
                continue
            first = range_first if name.endswith(", Last>") else cp
            range_first = None
            for c in range(first, cp + 1):
                self.category[c] = fields[2]
            if fields[12]:
                self.upper[cp] = int(fields[12], 16)
            if fields[13]:
                self.lower[cp] = int(fields[13], 16)
        self.full_upper = {}
        for fields in data_lines(self.path("SpecialCasing.txt")):
            if len(fields) > 4 and fields[4]:
                continue  # conditional (language or context) rows
            cp = int(fields[0], 16)
            self.full_upper[cp] = [int(x, 16) for x in fields[3].split()]
        self.east_asian_width = {}
        for fields in data_lines(self.path("EastAsianWidth.txt")):
            first, last = code_range(fields[0])
            for cp in range(first, last + 1):
                self.east_asian_width[cp] = fields[1]
        self.prepended_marks = set()
        for fields in data_lines(self.path("PropList.txt")):
            if fields[1] == "Prepended_Concatenation_Mark":
                first, last = code_range(fields[0])
                self.prepended_marks.update(range(first, last + 1))

    def path(self, name):
        return os.path.join(self.dir, name)

    def assigned_by(self, cp, version):
        return cp in self.age and self.age[cp] <= version

    @staticmethod
    def default_width(cp):
        """East_Asian_Width of a code point that no row lists, or that is not
        assigned: W in the CJK ideograph blocks and planes 2 and 3, else N."""
        if (0x3400 <= cp <= 0x4DBF or 0x4E00 <= cp <= 0x9FFF or 0xF900 <= cp <= 0xFAFF
                or 0x20000 <= cp <= 0x2FFFD or 0x30000 <= cp <= 0x3FFFD):
            return "W"
        return "N"

    def width_class(self, cp, version):
        if not self.assigned_by(cp, version):
            return self.default_width(cp)
        return self.east_asian_width.get(cp, self.default_width(cp))


def case_pairs(db):
    ok = lambda cp: db.assigned_by(cp, CASE_VERSION)
    upper = {k: v for k, v in db.upper.items() if ok(k) and ok(v)}
    for cp, mapping in db.full_upper.items():
        if ok(cp) and cp not in upper and mapping != [cp] and ok(mapping[0]):
            upper[cp] = mapping[0]
    lower = {k: v for k, v in db.lower.items() if ok(k) and ok(v)}
    split = lambda table, bmp: sorted((k, v) for k, v in table.items() if (k <= 0xFFFF) == bmp)
    return {
        "upper_bmp": split(upper, True),
        "lower_bmp": split(lower, True),
        "upper_supplementary": split(upper, False),
        "lower_supplementary": split(lower, False),
    }


def merge(code_points, key=lambda cp: 0):
    """Sorted inclusive ranges of the code points; neighbours join only when
    key gives them the same value."""
    ranges = []
    for cp in sorted(code_points):
        if ranges and ranges[-1][1] == cp - 1 and key(ranges[-1][1]) == key(cp):
            ranges[-1][1] = cp
        else:
            ranges.append([cp, cp])
    return [tuple(r) for r in ranges]


def width_ranges(db):
    ok = lambda cp: db.assigned_by(cp, WIDTH_VERSION)
    category = lambda cp: db.category.get(cp, "Cn")
    zero = [cp for cp in range(MAX_CP + 1)
            if ok(cp) and (category(cp) in ("Mn", "Me")
                           or (category(cp) == "Cf" and cp <= 0xFFFF and cp != 0x00AD
                               and cp not in db.prepended_marks))]
    wide_class = lambda cp: db.width_class(cp, WIDTH_VERSION)
    wide = [cp for cp in range(MAX_CP + 1) if wide_class(cp) in ("W", "F")]

    ambiguous_class = {}
    for first, last, value in AMBIGUOUS_OVERRIDES:
        for cp in range(first, last + 1):
            ambiguous_class[cp] = value
    ambiguous = [cp for cp in range(MAX_CP + 1)
                 if ambiguous_class.get(cp, db.width_class(cp, AMBIGUOUS_VERSION)) == "A"
                 and category(cp) not in ("Mn", "Me", "Cf")]
    return {
        "zero_width": merge(zero),
        "wide": merge(wide, wide_class),
        "ambiguous": merge(ambiguous),
    }


def check(cases, widths):
    problems = []
    for name, rows in list(cases.items()) + list(widths.items()):
        if len(rows) != EXPECT[name]:
            problems.append(f"{name}: {len(rows)} rows, expected {EXPECT[name]}")
    upper = dict(cases["upper_bmp"] + cases["upper_supplementary"])
    lower = dict(cases["lower_bmp"] + cases["lower_supplementary"])
    for table, expected, name in ((upper, EXPECT_UPPER_ROWS, "upper"), (lower, EXPECT_LOWER_ROWS, "lower")):
        for key, value in expected.items():
            if table.get(key) != value:
                problems.append(f"{name}: U+{key:04X} maps to {table.get(key)}, expected U+{value:04X}")
    for name, expected in (("upper_supplementary", EXPECT_UPPER_SUPPLEMENTARY_KEYS),
                           ("lower_supplementary", EXPECT_LOWER_SUPPLEMENTARY_KEYS)):
        keys = [k for k, _ in cases[name]]
        want = [cp for first, last in expected for cp in range(first, last + 1)]
        if keys != want:
            problems.append(f"{name}: keys are not the expected scripts")
    for name, first, last in (("upper_bmp", 0x0061, 0xFF5A), ("lower_bmp", 0x0041, 0xFF3A)):
        keys = [k for k, _ in cases[name]]
        if keys[0] != first or keys[-1] != last:
            problems.append(f"{name}: keys run from U+{keys[0]:04X} to U+{keys[-1]:04X}")
    for name, (head, tail) in EXPECT_RANGE_ENDS.items():
        rows = widths[name]
        if rows[:len(head)] != head or rows[-len(tail):] != tail:
            problems.append(f"{name}: first or last rows differ")
    return problems


def hex_cp(cp):
    return f"0x{cp:04X}"


def emit_array(out, name, count_name, count, count_comment, values):
    out.append(f"// {count_comment}")
    out.append(f"constexpr int32_t {count_name} = {count};")
    out.append(f"constexpr uint32_t {name}[] = {{")
    line = "   "
    for i, v in enumerate(values):
        item = f" {hex_cp(v)},"
        if len(line) + len(item) > 100:
            out.append(line)
            line = "   "
        line += item
    out.append(line)
    out.append("};")
    out.append("")


HEADER = "// Generated by tools/gen-unicode-tables.py from the Unicode character database. Do not edit."


def case_file(cases):
    out = [HEADER,
           f"// Simple case mappings of Unicode {CASE_VERSION[0]}.{CASE_VERSION[1]}, flattened as (key, value)",
           "// pairs sorted by key. The upper pairs also map each lowercase letter that only",
           "// has a multi-character uppercase to the first character of it (sharp s -> S).",
           ""]
    arrays = [("UPPER_PAIRS_BMP", "UPPER_PAIRS_BMP_COUNT", "upper_bmp", "(lower, upper) pairs below U+10000"),
             ("LOWER_PAIRS_BMP", "LOWER_PAIRS_BMP_COUNT", "lower_bmp", "(upper, lower) pairs below U+10000"),
             ("UPPER_PAIRS_SUPPLEMENTARY", "UPPER_PAIRS_SUPPLEMENTARY_COUNT", "upper_supplementary",
              "(lower, upper) pairs above U+FFFF"),
             ("LOWER_PAIRS_SUPPLEMENTARY", "LOWER_PAIRS_SUPPLEMENTARY_COUNT", "lower_supplementary",
              "(upper, lower) pairs above U+FFFF")]
    for name, count_name, key, comment in arrays:
        rows = cases[key]
        emit_array(out, name, count_name, len(rows), f"{len(rows)} {comment}.",
                   [v for pair in rows for v in pair])
    return "\n".join(out)


def width_file(widths):
    out = [HEADER,
           "// Inclusive [first, last] code point ranges sorted by first, flattened; the counts",
           "// are in 32-bit words (two per range). Zero width and wide: Unicode "
           f"{WIDTH_VERSION[0]}.{WIDTH_VERSION[1]};",
           f"// ambiguous: Unicode {AMBIGUOUS_VERSION[0]}.{AMBIGUOUS_VERSION[1]}.",
           ""]
    arrays = [("ZERO_WIDTH_RANGES", "ZERO_WIDTH_WORDS", "zero_width",
              "combining and enclosing marks, invisible format characters"),
             ("WIDE_RANGES", "WIDE_WORDS", "wide", "East Asian Wide and Fullwidth"),
             ("AMBIGUOUS_RANGES", "AMBIGUOUS_WORDS", "ambiguous", "East Asian Ambiguous")]
    for name, count_name, key, comment in arrays:
        rows = widths[key]
        emit_array(out, name, count_name, 2 * len(rows), f"{len(rows)} ranges: {comment}.",
                   [v for pair in rows for v in pair])
    return "\n".join(out)


def main():
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default="/usr/share/unicode", help="Unicode character database directory")
    parser.add_argument("--out", default=os.path.join(repo, "runtime", "text"), help="directory of the generated files")
    args = parser.parse_args()

    db = Database(args.data)
    cases = case_pairs(db)
    widths = width_ranges(db)
    problems = check(cases, widths)
    if problems:
        for p in problems:
            print("gen-unicode-tables: " + p, file=sys.stderr)
        print("gen-unicode-tables: nothing written; adjust the selection rules or the overrides",
              file=sys.stderr)
        return 1
    for name, text in (("case-tables.inc", case_file(cases)), ("width-tables.inc", width_file(widths))):
        with open(os.path.join(args.out, name), "w", encoding="utf-8") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
