#!/usr/bin/python3
"""Builds the stroke font files (.fnt) from Debian's hershey-fonts-data.

Usage: make_fonts.py OUTDIR NAME.fnt=SOURCE.jhf ...
Writes each named font into OUTDIR, and beside them the acknowledgement that
the fonts' licence asks to be distributed with the font data (fonts_acknowledgement.txt).

Input (.jhf): one glyph a record, the glyphs of character codes 32, 33, ... in
order. A record is a 5-column glyph number, a 3-column count of coordinate
pairs, then that many pairs of characters, each character minus 'R' giving a
coordinate (x to the right, y downwards); the first pair is the glyph's left
and right bounds and the pair " R" lifts the pen. A long record may run on
over the next lines.

Output (.fnt, plain layout): whitespace-separated decimal integers
  255                the empty glyph at offset 0
  glyph data         per glyph, byte pairs (x, y) up to the end code 255:
                       x 0-125 draws to (x, y), x 128-253 moves to (x - 128, y)
  254                end of the glyph data (at most 15000 bytes with the
                     leading 255 and the closing code)
  256 offsets        the glyph of character code 0..255 in the glyph data, -1 none
Font units: y up from the bottom of the character cell, baseline 35 and the top
of capitals 140, so a source y of 9 lands on 35 and -12 on 140: five font units
per source unit. x runs from the glyph's left bound (or its leftmost point when
a stroke reaches further left) at 0; a glyph that would reach past x 125 is
narrowed to end at 125. Codes 32-126 are written: the blank takes the empty
glyph, as does any glyph without strokes. Nothing is added that the source
does not hold.
"""

import math
import os
import sys

UNITS = 5  # font units per source unit
BASELINE_SRC, BASELINE = 9, 35
X_MAX = 125  # strokes store x 0-127 and moves x + 128 up to 253
Y_MAX = 253  # 254 would end the glyph data, 255 is the end code
MAX_BYTES = 15000
FIRST, LAST = 32, 126
PEN_UP = (" ", "R")
ACK_FILE = "fonts_acknowledgement.txt"

ACKNOWLEDGEMENT = """\
Stroke fonts (*.fnt) are converted from the Hershey fonts as distributed in
Debian's hershey-fonts-data package, whose licence reads:

This distribution of the Hershey Fonts may be used by anyone for
any purpose, commercial or otherwise, providing that:
	1. The following acknowledgements must be distributed with
		the font data:
		- The Hershey Fonts were originally created by Dr.
			A. V. Hershey while working at the U. S.
			National Bureau of Standards.
		- The format of the Font data in this distribution
			was originally created by
				James Hurt
				Cognition, Inc.
				900 Technology Park Drive
				Billerica, MA 01821
				(mit-eddie!ci-dandelion!hurt)
	2. The font data in this distribution may be converted into
		any other format *EXCEPT* the format distributed by
		the U.S. NTIS (which organization holds the rights
		to the distribution and use of the font data in that
		particular format). Not that anybody would really
		*want* to use their format... each point is described
		in eight bytes as "xxx yyy:", where xxx and yyy are
		the coordinate values as ASCII numbers.
"""


class FontError(Exception):
    pass


def read_jhf(path):
    """The glyphs of a .jhf file in order: (left, right, strokes), each stroke a
    list of (x, y) source points."""
    try:
        with open(path, encoding="latin-1") as f:
            lines = f.read().split("\n")
    except OSError as e:
        raise FontError(f"{path}: cannot read: {e.strerror}")
    glyphs = []
    record, start = "", 0
    for number, line in enumerate(lines, 1):
        line = line.rstrip("\r")
        if not record:
            if not line.strip():
                continue
            record, start = line, number
        else:
            record += line
        if len(record) < 8:
            raise FontError(f"{path}:{start}: record too short")
        try:
            count = int(record[5:8])
        except ValueError:
            raise FontError(f"{path}:{start}: bad coordinate count {record[5:8]!r}")
        if count < 1:
            raise FontError(f"{path}:{start}: bad coordinate count {count}")
        if len(record) < 8 + 2 * count:
            continue  # runs on over the next line
        glyphs.append(parse_record(path, start, record[8 : 8 + 2 * count]))
        record = ""
    if record:
        raise FontError(f"{path}:{start}: record ends early")
    return glyphs


def parse_record(path, line, pairs):
    def coord(c):
        v = ord(c) - ord("R")
        if not -50 <= v <= 50:
            raise FontError(f"{path}:{line}: bad coordinate character {c!r}")
        return v

    left, right = coord(pairs[0]), coord(pairs[1])
    strokes, current = [], []
    for k in range(2, len(pairs), 2):
        if (pairs[k], pairs[k + 1]) == PEN_UP:
            if current:
                strokes.append(current)
            current = []
        else:
            current.append((coord(pairs[k]), coord(pairs[k + 1])))
    if current:
        strokes.append(current)
    return left, right, strokes


def glyph_bytes(glyph, where):
    """The font-unit bytes of one glyph with its end code; [255] when it has no
    points."""
    left, _right, strokes = glyph
    points = [p for s in strokes for p in s]
    if not points:
        return [255]
    origin = min(left, min(x for x, _ in points))
    span = max(x for x, _ in points) - origin
    scale = UNITS if span * UNITS <= X_MAX else X_MAX / span
    out = []
    for stroke in strokes:
        for i, (sx, sy) in enumerate(stroke):
            x = math.floor((sx - origin) * scale + 0.5)
            y = BASELINE + UNITS * (BASELINE_SRC - sy)
            if not 0 <= y <= Y_MAX:
                raise FontError(f"{where}: source y {sy} falls outside the character cell")
            out += [x + 128 if i == 0 else x, y]
    out.append(255)
    return out


def build_font(source):
    glyphs = read_jhf(source)
    if len(glyphs) < LAST - FIRST + 1:
        raise FontError(
            f"{source}: {len(glyphs)} glyphs, codes {FIRST}-{LAST} need {LAST - FIRST + 1}")
    data = [255]  # the empty glyph
    rows = []
    offsets = [-1] * 256
    for code in range(FIRST, LAST + 1):
        where = f"{source}: glyph of {chr(code)!r} (code {code})"
        g = glyph_bytes(glyphs[code - FIRST], where)
        if g == [255]:
            offsets[code] = 0
            continue
        offsets[code] = len(data)
        data += g
        rows.append(g)
    if len(data) + 1 > MAX_BYTES:
        raise FontError(f"{source}: {len(data) + 1} bytes of glyph data, at most {MAX_BYTES} fit")
    lines = ["255"]
    lines += [" ".join(map(str, g)) for g in rows]
    lines.append("254")
    lines += [" ".join(map(str, offsets[i : i + 16])) for i in range(0, 256, 16)]
    return "\n".join(lines) + "\n"


def write_file(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="ascii") as f:
        f.write(text)
    os.replace(tmp, path)


def main(argv):
    if len(argv) < 2:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    outdir = argv[0]
    try:
        os.makedirs(outdir, exist_ok=True)
        for spec in argv[1:]:
            name, sep, source = spec.partition("=")
            if not sep or not name.endswith(".fnt") or "/" in name or not source:
                raise FontError(f"bad argument {spec!r}: NAME.fnt=SOURCE.jhf expected")
            write_file(os.path.join(outdir, name), build_font(source))
        write_file(os.path.join(outdir, ACK_FILE), ACKNOWLEDGEMENT)
    except (FontError, OSError) as e:
        print(f"make_fonts: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
