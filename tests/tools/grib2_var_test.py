#!/usr/bin/python3
"""The GRIB edition 2 parameter table that tools/make_grib2_var.py builds.

The table is read here on the program's terms (lines of at most 200 characters,
'#' comments, an empty line ends the scan, "%d %d %d %d %19s %29s %79[^\\n]";
the first row whose centre is 0 or the product's and whose codes are equal
wins), not through the converter's code. The fields of eta.grb are identified
by ecCodes (python3-eccodes).
Environment: ZEQ_SOURCE_DIR (the source tree), ZEQ_BUILD_DATA_DIR (the build's
data directory holding grib2_var.lup).
"""

import importlib.util
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ZEQ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD_DATA = os.environ.get("ZEQ_BUILD_DATA_DIR", os.path.join(SOURCE_DIR, "build", "data"))
TABLE = os.path.join(BUILD_DATA, "grib2_var.lup")
VARIABLES = os.path.join(SOURCE_DIR, "data", "variable.lup")
TOOL = os.path.join(SOURCE_DIR, "tools", "make_grib2_var.py")
ETA = "/usr/share/doc/python-grib-doc/examples/eta.grb"

ROW = re.compile(r"(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) +(\S{1,19}) +(\S{1,29}) +([^\n]{1,79})")


def read_table(path):
    """Rows (centre, disc, cat, num, name, units, lname) as the program scans them."""
    rows = []
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("ascii")  # anything else is an error
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    for n, line in enumerate(lines, 1):
        if len(line) + 1 > 200:
            raise ValueError(f"line {n}: longer than 200 characters")
        if line == "":
            raise ValueError(f"line {n}: empty line ends the table early")
        if line.startswith("#"):
            continue
        m = ROW.fullmatch(line)
        if not m:
            raise ValueError(f"line {n}: not a table row within the field widths: {line!r}")
        if line != line.rstrip():
            raise ValueError(f"line {n}: trailing blanks become part of the long name")
        c = m.groups()
        rows.append((int(c[0]), int(c[1]), int(c[2]), int(c[3]), c[4], c[5], c[6]))
    return rows


def lookup(rows, centre, disc, cat, num):
    for r in rows:
        if r[0] in (0, centre) and r[1:4] == (disc, cat, num):
            return r
    return None


def read_variables(path):
    """({lower-case abbreviation: number of its first row}, {number: its first abbreviation}).

    The first map is what VAR_search_var_num finds; the second the label of a number.
    """
    by_name, by_number = {}, {}
    with open(path) as f:
        for line in f:
            fields = line.split()
            if line.startswith("#") or len(fields) < 2:
                continue
            number = int(fields[0].split(",")[0])
            by_name.setdefault(fields[1].lower(), number)
            by_number.setdefault(number, fields[1])
    return by_name, by_number


class GeneratedTable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rows = read_table(TABLE)
        cls.known, cls.first = read_variables(VARIABLES)

    def test_rows_and_keys(self):
        self.assertGreater(len(self.rows), 0)
        keys = [r[:4] for r in self.rows]
        dups = sorted({k for k in keys if keys.count(k) > 1})
        self.assertEqual(dups, [], "duplicate parameter codes")
        for r in self.rows:
            centre, code = r[0], r[1:4]
            with self.subTest(row=r):
                self.assertTrue(all(0 <= c <= 254 for c in code))
                local = any(c >= 192 for c in code)
                # NCEP's local codes mean other things at other centres.
                self.assertEqual(centre, 7 if local else 0)

    def test_units_are_edition1_words(self):
        for r in self.rows:
            units = r[5]
            with self.subTest(row=r):
                self.assertNotIn("**", units)
                # exponents only after '^': no "m2", "s-1" left from the source spelling
                self.assertIsNone(re.search(r"[A-Za-z]-?\d", units.replace("log10", "")), units)
                self.assertFalse(units.startswith("(") and "table" in units.lower())

    def test_known_names_mean_their_first_number(self):
        # A name that variable.lup knows is the first abbreviation of its number, so
        # that the lookup by abbreviation leads back to the same number.
        for r in self.rows:
            number = self.known.get(r[4].lower())
            if number is not None:
                with self.subTest(row=r):
                    self.assertEqual(self.first[number], r[4])

    def test_parameters(self):
        # (centre asked, disc, cat, num): name or None for "a name variable.lup lacks", units
        cases = [
            ((7, 0, 0, 0), "temp", "K"),
            ((0, 0, 3, 0), "pres", "Pa"),  # plain pressure, not the sea-level one
            ((0, 0, 3, 1), "pmsl", "Pa"),  # linked through a centre's identities
            ((0, 0, 3, 5), "hght", "gpm"),
            ((0, 0, 1, 3), "pwat", "kg/m^2"),
            ((0, 0, 1, 7), "prate", "kg/m^2/s"),
            ((0, 0, 2, 0), "wdir", "deg"),
            ((0, 0, 2, 4), "strf", "m^2/s"),
            ((0, 0, 2, 8), "omeg", "Pa/s"),
            ((0, 0, 2, 10), "avort", "/s"),
            ((0, 0, 2, 17), "uflx", "N/m^2"),
            ((0, 0, 3, 4), "gp", "m^2/s^2"),
            ((0, 0, 7, 6), None, "J/kg"),  # CAPE has no WMO edition 1 number
            ((0, 0, 14, 0), "tozne", "Dobson"),
            ((0, 2, 0, 0), "land", "-"),
            ((0, 0, 1, 19), None, "-"),  # a code table value
            ((0, 0, 1, 52), None, "kg/m^2/s"),  # a rate: not the accumulated amount
            ((0, 0, 4, 9), None, "W/m^2"),  # edition 1 splits it by surface
            ((7, 0, 1, 192), None, "-"),  # NCEP categorical rain
            ((7, 0, 3, 192), None, "Pa"),  # NCEP Eta reduction of sea-level pressure
        ]
        for (centre, disc, cat, num), name, units in cases:
            with self.subTest(code=(centre, disc, cat, num)):
                r = lookup(self.rows, centre, disc, cat, num)
                self.assertIsNotNone(r)
                if name is None:
                    self.assertNotIn(r[4].lower(), self.known)
                else:
                    self.assertEqual(r[4], name)
                self.assertEqual(r[5], units)
        self.assertIsNone(lookup(self.rows, 98, 0, 1, 192), "NCEP's local rows are for NCEP only")

    def test_eta_fields(self):
        try:
            import eccodes
        except ImportError:
            self.fail("python3-eccodes is needed: install the Debian package python3-eccodes")
        self.assertTrue(os.path.exists(ETA), f"{ETA} is missing: install python-grib-doc")
        wanted = {"2t": ("temp", "K"), "2r": ("rhum", "%"), "10u": ("uwnd", "m/s"), "10v": ("vwnd", "m/s"),
                  "prmsl": ("pmsl", "Pa")}
        found = {}
        unlisted = []
        eccodes.codes_grib_multi_support_on()  # eta.grb packs several fields into some products
        with open(ETA, "rb") as f:
            while True:
                h = eccodes.codes_grib_new_from_file(f)
                if h is None:
                    break
                try:
                    self.assertEqual(eccodes.codes_get(h, "edition"), 2)
                    keys = ("centre", "discipline", "parameterCategory", "parameterNumber")
                    code = [eccodes.codes_get_long(h, k) for k in keys]
                    short = eccodes.codes_get(h, "shortName")
                    known = eccodes.codes_get(h, "paramId") != 0
                finally:
                    eccodes.codes_release(h)
                r = lookup(self.rows, *code)
                if short in wanted:
                    found[short] = r and (r[4], r[5])
                if known and r is None:
                    unlisted.append((short, code))
        self.assertEqual(found, wanted)
        self.assertEqual(unlisted, [], "fields that ecCodes names but the table lacks")


class Converter(unittest.TestCase):
    """The converter itself: its units spelling (cases taken from the package) and its errors."""

    @classmethod
    def setUpClass(cls):
        spec = importlib.util.spec_from_file_location("make_grib2_var", TOOL)
        cls.tool = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(cls.tool)

    def test_cases(self):
        cases = [
            ("kg m-2 s-1", "kg/m^2/s"),
            ("m s**-1", "m/s"),
            ("m2/s", "m^2/s"),
            ("kg/kg", "kg/kg"),
            ("s-1", "/s"),
            ("K m2 kg-1 s-1", "K-m^2/kg/s"),
            ("N m-2 s", "N-s/m^2"),
            ("m2/3 s-1", "m^(2/3)/s"),
            ("(m2 s sr eV)-1", "/m^2/s/sr/eV"),
            ("kg (kg s**-1)**-1", "kg/kg/s"),
            ("10**-3 m**-2", "10^-3/m^2"),
            ("cm per day", "cm/day"),
            ("Degree true", "deg"),
            ("deg N", "deg"),
            ("DU", "Dobson"),
            ("%", "%"),
            ("Proportion", "-"),
            ("Code table 4.201", "-"),
            ("(Code table 4.222)", "-"),
            ("~", "-"),
        ]
        for text, expected in cases:
            with self.subTest(text):
                self.assertEqual(self.tool.edition1_units(text), expected)

    def test_missing_sources_are_named(self):
        with tempfile.TemporaryDirectory() as tmp:
            os.makedirs(os.path.join(tmp, "grib2", "tables", "30"))
            open(os.path.join(tmp, "grib2", "tables", "30", "4.2.0.0.table"), "w").close()
            out = os.path.join(tmp, "grib2_var.lup")
            none = os.path.join(tmp, "none")
            concepts = os.path.join(tmp, "grib2", "localConcepts")
            for args, named in (
                (["--definitions", tmp, "--variables", VARIABLES], concepts),
                (["--variables", none + ".lup"], none + ".lup"),
                (["--definitions", none, "--variables", VARIABLES], none),
            ):
                with self.subTest(named):
                    command = ["/usr/bin/python3", TOOL, out, *args]
                    result = subprocess.run(command, capture_output=True, text=True)
                    self.assertNotEqual(result.returncode, 0)
                    self.assertIn(named, result.stderr)
                    self.assertFalse(os.path.exists(out))

    def test_unreadable_units_are_refused(self):
        for text in ("kg ((m", "m/", "**2"):
            with self.subTest(text):
                with self.assertRaises(self.tool.UnitsError):
                    self.tool.edition1_units(text)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
