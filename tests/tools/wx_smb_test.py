#!/usr/bin/python3
"""The weather symbol file data/wx.smb, read here on its own terms as the symbol
reader reads it, not through tools/make_wx_smb.py: the name index (one word,
then everything up to the next "$"; at most 100 names of at most 14 characters)
and the strokes of an entry (up to 20 "x,y" pairs read as "%f,%f", then a word:
first letter 'F' fills, any other draws a line; the strokes end where no pair
can be read). Every weather letter code that the present-weather tables and the
METAR conversion give must find its own entry.
Environment: ZEQ_SOURCE_DIR (the source tree).
"""

import itertools
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ZEQ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SYMBOLS = os.path.join(SOURCE_DIR, "data", "wx.smb")
ENTRY_LIST = os.path.join(SOURCE_DIR, "data", "wx.smb.txt")
TOOL = os.path.join(SOURCE_DIR, "tools", "make_wx_smb.py")

MAX_NAMES, MAX_NAME_LEN, MAX_POINTS = 100, 14, 20
FLOAT = r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?"
PAIR = re.compile(rf"\s*({FLOAT}),\s*({FLOAT})")
WORD = re.compile(r"\s*(\S+)")

# Manned-station present weather ww 00-99, row by row; " " is no significant weather.
MANNED = [
    [" ", " ", " ", " ", "K", "H", "D", "D", "D", "D"],
    ["F", "F", "F", " ", " ", " ", " ", "T", " ", " "],
    [" ", " ", " ", " ", " ", " ", " ", " ", "F", "T"],
    ["D", "D", "D", "D", "D", "D", "BS", "BS", "BS", "BS"],
    ["F", "F", "F", "F", "F", "F", "F", "F", "F", "F"],
    ["L-", "L-", "L", "L", "L+", "L+", "ZL-", "ZL", "L-R", "LR"],
    ["R-", "R-", "R", "R", "R+", "R+", "ZR-", "ZR", "R-L", "RL"],
    ["S-", "S-", "S", "S", "S+", "S+", "IC", "SG", "IC", "IP"],
    ["RW-", "RW", "RW+", "RW-SW-", "RWSW", "SW-", "SW", "IPW", "IPW", "A"],
    ["A", "R-", "R", "S-", "S", "TRW-", "TRW", "TRW+", "TRWD", "TRW+A"],
]
# Automatic-station present weather wawa 00-99.
AUTOMATIC = [
    [" ", " ", " ", " ", "H", "H", " ", " ", " ", " "],
    [" "] * 10,
    [" ", " ", " ", " ", " ", " ", " ", " ", "BS", "BS"],
    ["F", "F", "F", "F", "F", "F", " ", " ", " ", " "],
    ["R", "R-", "R+", "R-", "R+", "S-", "S+", "ZR-", "ZR+", " "],
    ["L", "L-", "L", "L+", "ZL-", "ZL", "ZL+", "L-", "L", " "],
    ["R", "R-", "R", "R+", "ZR-", "ZR", "ZR+", "R-S", "RS", " "],
    ["S", "S-", "S", "S+", "IP-", "IP", "IP+", " ", " ", " "],
    ["RW", "RW-", "RW", "RW+", "RW+", "SW-", "SW", "SW+", " ", " "],
    ["TRW", "TRW-", "TRW-", "TRW-A", "TRW-", "TRW+", "TRW+A", " ", " ", " "],
]
# Ground fog, ice fog and snow pellets of the letter code, and the tropical
# storm and hurricane marks the fronts draw.
OTHERS = ["GF", "IF", "SP", "@", "@+"]
# Entries that draw the same as another on purpose.
ALIASES = {"TR-": "TRW-", "TR": "TRW", "TR+": "TRW+"}


def read_symbols(path):
    """(names in file order, strokes by name, problems). Strokes are (kind, points)."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    names, offsets, problems = [], [], []
    pos = 0
    while True:
        m = WORD.match(text, pos)
        if not m:
            break
        names.append(m.group(1))
        offsets.append(m.end())
        end = text.find("$", m.end())
        if end < 0:
            problems.append(f"{m.group(1)}: no closing $")
            break
        pos = end + 1
    strokes = {}
    for name, offset in zip(names, offsets):
        strokes[name.upper()] = entry_strokes(text, offset, name, problems)
    return names, strokes, problems


def entry_strokes(text, pos, name, problems):
    strokes = []
    while True:
        points = []
        while len(points) < MAX_POINTS:
            m = PAIR.match(text, pos)
            if not m:
                break
            points.append((float(m.group(1)), float(m.group(2))))
            pos = m.end()
        if not points:
            break
        m = WORD.match(text, pos)
        if not m:
            problems.append(f"{name}: stroke without its closing word")
            break
        word = m.group(1)
        pos = m.end()
        if word not in ("F", "L"):
            problems.append(f"{name}: stroke closed by {word!r}, not F or L")
        strokes.append(("F" if word.startswith("F") else "L", points))
    rest = text[pos : text.find("$", pos)]
    if rest.strip():
        problems.append(f"{name}: {rest.strip()[:20]!r} before the $ is never drawn")
    return strokes


def longest_match(names, code):
    """The entry drawn for a code: the longest name the code begins with, any case."""
    found = [n.upper() for n in names if code.upper().startswith(n.upper())]
    return max(found, key=len) if found else None


def first_match(names, code):
    """The entry a reader taking the first name that matches would draw."""
    return next((n.upper() for n in names if n and code.upper().startswith(n.upper())), None)


def metar_weather(group):
    """Letter code of a METAR weather group, from the conversion rules."""
    i = 1 if group.startswith("!") else 0
    sign = desc = precip = obsc = ""
    descriptors = {"DR": "B", "BL": "B", "TS": "T", "SH": "W", "FZ": "Z"}
    precipitation = {"DZ": "L", "RA": "R", "SN": "S", "SG": "SG", "GS": "IP", "PE": "IP", "PL": "IP", "IC": "IC"}
    obscurations = {"FG": "F", "BR": "H", "HZ": "H", "SA": "D", "DU": "D", "FU": "K"}
    while i < len(group):
        c, pair = group[i], group[i : i + 2]
        if c in "-+":
            sign, i = c, i + 1
        elif pair == "VC":
            return ""
        elif pair in ("MI", "BC"):
            i += 2
        elif pair in descriptors:
            desc, i = descriptors[pair], i + 2
        elif pair in precipitation and not precip:
            precip, i = precipitation[pair], i + 2
        elif pair in obscurations:
            obsc, i = obscurations[pair], i + 2
        else:
            break
    if not precip and obsc:
        return obsc
    if not precip and desc == "T":
        return "T"
    if desc == "W":
        return precip + "W" + sign
    return desc + precip + sign


def metar_codes():
    """Every code the conversion gives: each part is set by one pair (precipitation
    by the first), so groups of up to four pairs reach them all."""
    pairs = ["-", "+", "VC", "MI", "BC", "DR", "BL", "TS", "SH", "FZ", "DZ", "RA", "SN", "SG", "GS", "PE",
             "PL", "IC", "FG", "BR", "HZ", "SA", "DU", "FU", "UP"]
    codes = set()
    for n in range(1, 5):
        for group in itertools.product(pairs, repeat=n):
            codes.add(metar_weather("".join(group)))
    codes.discard("")
    return codes


class SymbolFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.names, cls.strokes, cls.problems = read_symbols(SYMBOLS)

    def assert_own_entry(self, code, allowed):
        entry = longest_match(self.names, code)
        self.assertIn(entry, allowed, f"code {code!r} draws entry {entry!r}")
        self.assertEqual(first_match(self.names, code), entry, f"code {code!r}: an earlier name hides {entry!r}")

    def test_every_entry_reads_within_the_reader_limits(self):
        self.assertEqual(self.problems, [])
        self.assertLessEqual(len(self.names), MAX_NAMES)
        self.assertEqual(len({n.upper() for n in self.names}), len(self.names), "a name repeats")
        for name in self.names:
            self.assertLessEqual(len(name), MAX_NAME_LEN, name)
            self.assertNotIn("$", name)
            strokes = self.strokes[name.upper()]
            self.assertTrue(strokes, f"{name} draws nothing")
            for kind, points in strokes:
                self.assertGreaterEqual(len(points), 3 if kind == "F" else 2, name)
                for x, y in points:
                    self.assertTrue(0 <= x <= 1 and 0 <= y <= 1, f"{name}: ({x}, {y}) outside the symbol box")

    def test_longer_names_come_first(self):
        # A reader that takes the first match then draws the same as one that takes the longest.
        for i, name in enumerate(self.names):
            for earlier in self.names[:i]:
                self.assertFalse(name.upper().startswith(earlier.upper()), f"{earlier} hides {name}")

    def test_table_codes_draw_their_own_entry(self):
        codes = {c for table in (MANNED, AUTOMATIC) for r in table for c in r if c != " "} | set(OTHERS)
        for code in sorted(codes):
            self.assert_own_entry(code, [code])

    def test_metar_codes_draw_their_own_entry(self):
        # The conversion as written here, checked on known groups first.
        known = {"-SHRA": "RW-", "+TSRA": "TR+", "FZDZ": "ZL", "BLSN": "BS", "BLSA": "D", "MIFG": "F",
                 "BR": "H", "SH": "W", "-DZRA": "L-", "TSGR": "T", "VCSH": "", "": "", "-": "-",
                 "RASN": "R", "!-SHSN": "SW-", "VCTS": ""}
        self.assertEqual({g: metar_weather(g) for g in known}, known)
        for code in sorted(metar_codes()):
            # An intensity sign without an entry of its own draws the code without it.
            self.assert_own_entry(code, [code, code.rstrip("-+") or code])

    def test_glyphs_differ_but_for_the_aliases(self):
        seen = {}
        for name in self.names:
            glyph = repr(self.strokes[name.upper()])
            if name in ALIASES:
                self.assertEqual(glyph, repr(self.strokes[ALIASES[name]]), name)
            else:
                self.assertNotIn(glyph, seen, f"{name} draws the same as {seen.get(glyph)}")
                seen[glyph] = name

    def test_heavier_codes_draw_more(self):
        # Light < moderate < heavy, by strokes drawn: catches swapped or copied intensities.
        count = {n.upper(): len(s) for n, s in self.strokes.items()}
        for name in count:
            if name.startswith("@") or name.strip("-+") == "":
                continue
            moderate = name.replace("-", "").replace("+", "")
            if moderate != name and moderate in count:
                if "-" in name:
                    self.assertLess(count[name], count[moderate], name)
                else:
                    self.assertGreater(count[name], count[moderate], name)
            if "-" in name and name.replace("-", "+") in count:
                self.assertLess(count[name], count[name.replace("-", "+")], name)

    def test_entry_list_names_every_entry_in_file_order(self):
        with open(ENTRY_LIST, encoding="ascii") as f:
            lines = f.read().splitlines()
        start = next(i for i, line in enumerate(lines) if line.endswith("in file order:"))
        listed = [line.split()[0] for line in lines[start + 1 :] if line.strip()]
        self.assertEqual(listed, self.names)

    def test_generator_writes_the_committed_files(self):
        with tempfile.TemporaryDirectory() as tmp:
            smb, txt = os.path.join(tmp, "wx.smb"), os.path.join(tmp, "wx.smb.txt")
            subprocess.run(["/usr/bin/python3", TOOL, smb, txt], check=True)
            for made, committed in ((smb, SYMBOLS), (txt, ENTRY_LIST)):
                with open(made, "rb") as a, open(committed, "rb") as b:
                    self.assertEqual(a.read(), b.read(), f"{committed} differs from what {TOOL} writes")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
