#!/usr/bin/python3
"""The stroke fonts that tools/make_fonts.py builds, and the font list data/zeq.fnl.

The font files are read here on their own terms (plain layout: 255, glyph bytes
up to the code 254, 256 glyph offsets), not through the converter's code.
Environment: ZEQ_SOURCE_DIR (the source tree), ZEQ_BUILD_DATA_DIR (the build's
data directory holding the generated fonts).
"""

import os
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ZEQ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD_DATA = os.environ.get("ZEQ_BUILD_DATA_DIR", os.path.join(SOURCE_DIR, "build", "data"))
TOOL = os.path.join(SOURCE_DIR, "tools", "make_fonts.py")
FONT_LIST = os.path.join(SOURCE_DIR, "data", "zeq.fnl")
GLYPH_BYTES = 15000
PRINTABLE = range(32, 127)


class Font:
    """A font file in the plain layout, checked while it is read."""

    def __init__(self, path):
        self.path = path
        with open(path, encoding="ascii") as f:
            words = f.read().split()
        values = [int(w) for w in words]  # anything but integers is an error
        if not values or values[0] != 255:
            raise ValueError(f"{path}: does not start with 255")
        if 254 not in values:
            raise ValueError(f"{path}: no end code 254")
        end = values.index(254)
        self.data = values[:end] + [255]
        table = values[end + 1 :]
        if len(table) != 256:
            raise ValueError(f"{path}: {len(table)} glyph offsets, 256 expected")
        if any(not 0 <= b <= 255 for b in self.data):
            raise ValueError(f"{path}: glyph data value outside 0-255")
        self.offsets = table

    def glyph(self, code):
        """(strokes, points): strokes as lists of (x, y); points as (x, y, drawn)."""
        off = self.offsets[code]
        if off < 0:
            return None
        if off >= len(self.data):
            raise ValueError(f"{self.path}: offset {off} of code {code} past the data")
        points = []
        k = off
        while self.data[k] != 255:
            if k + 1 >= len(self.data):
                raise ValueError(f"{self.path}: glyph of code {code} runs past the data")
            b, y = self.data[k], self.data[k + 1]
            points.append((b - 128, y, False) if b >= 128 else (b, y, True))
            k += 2
        return points

    def width(self, code):
        return max((x for x, _, _ in self.glyph(code) or []), default=0)


def run_tool(outdir, *args):
    return subprocess.run(["/usr/bin/python3", TOOL, outdir, *args], capture_output=True, text=True)


def font_list():
    with open(FONT_LIST, encoding="ascii") as f:
        return [line.rstrip("\n") for line in f]


class GeneratedFonts(unittest.TestCase):
    """Every font of the list, as the build wrote it."""

    def fonts(self):
        names = [line.split(None, 1)[1].strip() for line in font_list()]
        return [(name, Font(os.path.join(BUILD_DATA, name))) for name in names]

    def test_layout_and_limits(self):
        for name, font in self.fonts():
            with self.subTest(font=name):
                self.assertLessEqual(len(font.data), GLYPH_BYTES)
                for code in range(256):
                    if font.offsets[code] >= 0:
                        font.glyph(code)  # walks to its end code inside the data
                for code in PRINTABLE:
                    points = font.glyph(code)
                    self.assertIsNotNone(points, f"no glyph for {chr(code)!r}")
                    if code == 32:
                        continue
                    self.assertTrue(points and not points[0][2], f"{chr(code)!r} starts with a stroke")
                    self.assertTrue(any(d for _, _, d in points), f"{chr(code)!r} draws nothing")
                    for x, y, _ in points:
                        self.assertTrue(0 <= x <= 125, f"{chr(code)!r}: x {x}")
                        self.assertTrue(0 <= y <= 160, f"{chr(code)!r}: y {y} outside the cell")

    def test_capital_height(self):
        for name, font in self.fonts():
            with self.subTest(font=name):
                ys = [y for _, y, _ in font.glyph(ord("H"))]
                self.assertEqual((min(ys), max(ys)), (35, 140))
                ys = [y for _, y, _ in font.glyph(ord("g"))]
                self.assertLess(min(ys), 35, "the descender of g stays above the baseline")

    def test_modern_glyphs_from_source(self):
        # Hand-converted from the simplex roman source: L is "HYLFL[ RL[X[", left
        # bound -10; x = 5 (x + 10), y = 35 + 5 (9 - y).
        font = Font(os.path.join(BUILD_DATA, "modern.fnt"))
        self.assertEqual(font.glyph(ord("L")),
                         [(20, 140, False), (20, 35, True), (20, 35, False), (80, 35, True)])
        self.assertEqual(font.width(ord("L")), 80)
        # m spans 26 source units from its left bound (4 of them bearing): narrowed
        # by 125 / 130, so its first stroke lies at 19 and its last at 125.
        xs = [x for x, _, _ in font.glyph(ord("m"))]
        self.assertEqual((min(xs), max(xs)), (19, 125))

    def test_acknowledgement_ships(self):
        with open(os.path.join(BUILD_DATA, "fonts_acknowledgement.txt"), encoding="ascii") as f:
            text = f.read()
        self.assertIn("A. V. Hershey", text)
        self.assertIn("James Hurt", text)


class FontListFile(unittest.TestCase):
    """data/zeq.fnl: up to 40 lines of an abbreviation and a font file name."""

    def test_entries(self):
        lines = font_list()
        self.assertLessEqual(len(lines), 40)
        abbrs = []
        for line in lines:
            with self.subTest(line=line):
                parts = line.split(None, 1)
                self.assertEqual(len(parts), 2, "abbreviation and file name expected")
                abbr, name = parts[0], parts[1].strip()
                # A leading digit would be taken as a font number, never as the name.
                self.assertFalse(abbr[0].isdigit())
                self.assertTrue(os.path.isfile(os.path.join(BUILD_DATA, name)), f"{name} was not built")
                abbrs.append(abbr.lower())
        self.assertEqual(len(abbrs), len(set(abbrs)), "an abbreviation repeats: only the first is found")
        self.assertEqual(lines[0].split()[1], "modern.fnt", "font 1 is the default font")

    def test_every_built_font_is_listed(self):
        listed = {line.split(None, 1)[1].strip() for line in font_list()}
        built = {f for f in os.listdir(BUILD_DATA) if f.endswith(".fnt")}
        self.assertEqual(built, listed)


def fixture_record(code, bounds, points):
    """A .jhf record: points as (x, y) pairs, None lifting the pen."""
    chars = "".join(chr(82 + v) for v in bounds)
    for p in points:
        chars += " R" if p is None else chr(82 + p[0]) + chr(82 + p[1])
    return f"{code:5d}{len(chars) // 2:3d}{chars}"


class Converter(unittest.TestCase):
    """make_fonts.py over small fixtures."""

    FILLER = fixture_record(1, (-5, 5), [(0, -12), (0, 9)])

    def convert(self, records, name="t.fnt"):
        tmp = tempfile.mkdtemp()
        src = os.path.join(tmp, "src.jhf")
        with open(src, "w", encoding="latin-1") as f:
            f.write("\n".join(records) + "\n")
        out = os.path.join(tmp, "out")
        result = run_tool(out, f"{name}={src}")
        return result, src, os.path.join(out, name)

    def font(self, overrides):
        records = [fixture_record(32, (-8, 8), [])] + [self.FILLER] * 94
        for ch, record in overrides.items():
            records[ord(ch) - 32] = record
        result, _, path = self.convert(records)
        self.assertEqual(result.returncode, 0, result.stderr)
        return Font(path)

    def test_glyph_conversion(self):
        h = fixture_record(8, (-11, 11),
                           [(-7, -12), (-7, 9), None, (7, -12), (7, 9), None, (-7, -2), (7, -2)])
        wide = fixture_record(9, (-16, 16), [(-15, -12), (15, 9)])  # 31 units from its left bound
        overhang = fixture_record(10, (-5, 5), [(-8, 0), (4, 0)])  # starts left of its bound
        # A long record broken over two lines is one glyph.
        long_points = [(i % 10 - 5, -12 + i % 20) for i in range(40)]
        long = fixture_record(11, (-8, 8), long_points)
        font = self.font({"H": h, "W": wide, "-": overhang, "~": long[:50] + "\n" + long[50:]})

        self.assertEqual(font.offsets[32], 0, "the blank takes the empty glyph")
        self.assertEqual(font.data[0], 255)
        self.assertEqual(
            font.glyph(ord("H")),
            [(20, 140, False), (20, 35, True), (90, 140, False), (90, 35, True),
             (20, 90, False), (90, 90, True)],
        )
        self.assertEqual(font.glyph(ord("W")), [(4, 140, False), (125, 35, True)])
        self.assertEqual(font.glyph(ord("-")), [(0, 80, False), (60, 80, True)])
        self.assertEqual(len(font.glyph(ord("~"))), 40)
        self.assertEqual(font.offsets[127], -1)
        self.assertEqual(font.offsets[31], -1)

    def test_refused_sources(self):
        low = fixture_record(5, (-5, 5), [(0, 0), (0, 30)])  # y 30 is far below the cell
        big = fixture_record(6, (-10, 10), [(i % 20 - 10, i % 30 - 15) for i in range(80)])
        cases = [
            ("glyph below the cell", [self.FILLER] * 95, {"q": low}, "glyph of 'q'"),
            ("too few glyphs", [self.FILLER] * 94, {}, "94 glyphs"),
            ("more than 15000 bytes", [big] * 95, {}, "bytes of glyph data"),
            ("record cut short", [self.FILLER] * 94 + [self.FILLER[:-2]], {}, "record ends early"),
            ("bad count", [self.FILLER] * 94 + ["12345 xyJZ"], {}, "bad coordinate count"),
        ]
        for what, records, overrides, message in cases:
            with self.subTest(what):
                records = list(records)
                for ch, record in overrides.items():
                    records[ord(ch) - 32] = record
                result, src, out = self.convert(records)
                self.assertEqual(result.returncode, 1)
                self.assertIn(src, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(out), "a refused font leaves no file")

    def test_missing_source_names_it(self):
        with tempfile.TemporaryDirectory() as tmp:
            result = run_tool(tmp, "x.fnt=/nonexistent/x.jhf")
            self.assertEqual(result.returncode, 1)
            self.assertIn("/nonexistent/x.jhf", result.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
