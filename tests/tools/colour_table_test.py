#!/usr/bin/python3
"""The colour table data/zeq.clr, read line by line by the table reader's rules:
"#" comments, "END" closing the fill colours, entries of a name and three
fractions 0-1 or a name and "#RRGGBB", optionally led by an index.
Environment: ZEQ_SOURCE_DIR (the source tree).
"""

import os
import re
import sys
import unittest

SOURCE_DIR = os.environ.get("ZEQ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
TABLE = os.path.join(SOURCE_DIR, "data", "zeq.clr")

# Names the plotting code asks for: default drawing colours, front and
# station colours, and the default fill bands of filled contours.
NAMES_USED = [
    "black", "white", "red", "green", "blue", "cyan", "magenta", "yellow", "brown",
    "LMagenta", "LBlue", "LCyan", "LGreen", "LRed", "DGray", "LGray",
]
# Names resolved before the table is searched: an entry so named is never found.
RESERVED = ["end", "none", "off", "back",
            "pblk", "pbblk", "ptblk", "pwht", "pbwht", "ptwht", "pgry", "pbgry", "ptgry"]
FLOAT = r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?"
FRACTIONS = re.compile(rf"^(?:(\d+)\s+)?(\S{{1,19}})\s+({FLOAT})\s+({FLOAT})\s+({FLOAT})$")
HEX = re.compile(r"^(?:(\d+)\s+)?(\S{1,19})\s+#([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})$")


def read_table(path):
    """(entries by index, num_colors, num_fill, problems) for one file read as
    the table named by color_table: comments and "END" take no index, every
    other line takes one, and the counts count the indices taken."""
    entries, problems = {}, []
    index, count, fill_end = 0, 0, -1
    with open(path, encoding="ascii") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n").rstrip("\r").rstrip(" \t")
            if len(line) > 100:
                problems.append(f"line {number}: over 100 characters")
            if line.startswith("#"):
                continue
            if line.upper() == "END":
                fill_end = index
                continue
            m = FRACTIONS.match(line)
            rgb = m and [float(v) for v in m.group(3, 4, 5)]
            if not m:
                m = HEX.match(line)
                rgb = m and [int(v, 16) / 255 for v in m.group(3, 4, 5)]
            if not m:
                problems.append(f"line {number}: {line!r} is no entry, yet takes index {index}")
                index += 1
                count = max(count, index)
                continue
            if m.group(1):
                index = int(m.group(1))
            if index > 255:
                problems.append(f"line {number}: index {index} past 255")
            if any(not 0 <= v <= 1 for v in rgb):
                problems.append(f"line {number}: component outside 0-1")
            entries[index] = (m.group(2), tuple(rgb))
            index += 1
            count = max(count, index)
    num_fill = fill_end if fill_end >= 0 else count
    return entries, count, num_fill, problems


class ColourTable(unittest.TestCase):
    def setUp(self):
        self.entries, self.num_colors, self.num_fill, problems = read_table(TABLE)
        self.assertEqual(problems, [])
        self.by_name = {name.lower(): (i, rgb) for i, (name, rgb) in sorted(self.entries.items())}

    def test_every_index_holds_one_entry(self):
        # A blank line would take an index without an entry.
        self.assertEqual(sorted(self.entries), list(range(self.num_colors)))
        self.assertEqual(len(self.by_name), len(self.entries), "a name repeats: only the first is found")

    def test_names_used_are_present(self):
        for name in NAMES_USED:
            self.assertIn(name.lower(), self.by_name)
        for name in RESERVED:
            self.assertNotIn(name, self.by_name)

    def test_foreground_background_and_primaries(self):
        expected = {
            "black": (0, (0, 0, 0)),
            "white": (1, (1, 1, 1)),
            "red": (None, (1, 0, 0)),
            "green": (None, (0, 1, 0)),
            "blue": (None, (0, 0, 1)),
            "cyan": (None, (0, 1, 1)),
            "magenta": (None, (1, 0, 1)),
            "yellow": (None, (1, 1, 0)),
        }
        for name, (index, rgb) in expected.items():
            got_index, got_rgb = self.by_name[name]
            if index is not None:
                self.assertEqual(got_index, index, name)
            self.assertEqual(got_rgb, rgb, name)

    def test_colours_are_distinct(self):
        rgbs = [rgb for _, rgb in self.entries.values()]
        self.assertEqual(len(set(rgbs)), len(rgbs), "two names draw the same colour")

    def test_no_fill_colours_of_its_own(self):
        # Read through color_table, a table without its own fill colours leaves
        # filled contours their default bands instead of black, white, ...
        self.assertEqual(self.num_fill, 0)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
