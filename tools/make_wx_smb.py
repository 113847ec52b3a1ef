#!/usr/bin/python3
"""Writes the weather symbol file data/wx.smb and its entry list data/wx.smb.txt.

Regenerate both committed files from the top of the source tree with:

    /usr/bin/python3 tools/make_wx_smb.py data/wx.smb data/wx.smb.txt

and, to look at the glyphs, a legend page (needs python3-pil; not committed):

    /usr/bin/python3 tools/make_wx_smb.py --legend /tmp/wx_legend.png

The symbols are drawn here from simple strokes in the style of the station-model
present-weather glyphs: dots for rain, commas for drizzle, asterisks for snow,
triangles for pellets and hail, a triangle under the precipitation for showers,
the storm sign for thunder, a wave under it for freezing precipitation, an arrow
for blowing, lines for fog, and the tropical storm and hurricane marks.

File format (text, no comments): entries, each a name (one word), its strokes
and a closing "$". A stroke is up to 20 pairs "x,y" followed by one word, "F"
for a filled polygon, "L" for an open polyline. Coordinates are fractions of
the symbol box, (0,0) its lower left and (1,1) its upper right corner.

Names are weather letter codes. The program picks the longest name the wanted
code begins with, so an intensity sign without an entry of its own falls back on
the code without it ("SG+" draws "SG"). The file lists longer names before the
names they begin with, so a reader taking the first name that matches draws the
same entry.
"""

import argparse
import math
import sys

MAX_NAMES = 100
MAX_NAME_LEN = 14
MAX_POINTS = 20

# --- strokes ---------------------------------------------------------------


def line(*points):
    return ("L", [tuple(p) for p in points])


def fill(*points):
    return ("F", [tuple(p) for p in points])


def arc(cx, cy, r, a0, a1, n):
    """n + 1 points on a circle from angle a0 to a1 (degrees, anticlockwise from east)."""
    return [
        (cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)), cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / n)))
        for i in range(n + 1)
    ]


# --- small marks, centred at (cx, cy) and reaching about s from it -----------


def dot(cx, cy, s):
    return [fill(*arc(cx, cy, 0.55 * s, 0, 315, 7))]


def comma(cx, cy, s):
    # A round head with a tail curling down to the lower left, as one filled outline.
    hx, hy, r = cx, cy + 0.3 * s, 0.5 * s
    head = arc(hx, hy, r, -30, 235, 8)
    tail_in = [(cx - 0.05 * s, cy - 0.45 * s), (cx - 0.45 * s, cy - 0.95 * s)]
    tail_out = [(cx + 0.2 * s, cy - 0.7 * s), (cx + 0.45 * s, cy - 0.35 * s)]
    return [fill(*head, *tail_in, *tail_out)]


def star(cx, cy, s):
    return [line((cx + s * math.cos(math.radians(a)), cy + s * math.sin(math.radians(a))),
                 (cx - s * math.cos(math.radians(a)), cy - s * math.sin(math.radians(a))))
            for a in (90, 30, 150)]


def up_triangle(cx, cy, s):
    return [(cx - s, cy - 0.8 * s), (cx + s, cy - 0.8 * s), (cx, cy + 0.9 * s)]


def pellet(cx, cy, s):
    """Open triangle: snow pellets."""
    t = up_triangle(cx, cy, s)
    return [line(*t, t[0])]


def hail(cx, cy, s):
    """Filled triangle."""
    return [fill(*up_triangle(cx, cy, s))]


def ice_pellet(cx, cy, s):
    """Open triangle with a dot inside."""
    return pellet(cx, cy, s) + dot(cx, cy - 0.2 * s, 0.45 * s)


def snow_grain(cx, cy, s):
    """Open triangle crossed by a bar that reaches past its sides."""
    return pellet(cx, cy, s) + [line((cx - s, cy - 0.15 * s), (cx + s, cy - 0.15 * s))]


def ice_crystal(cx, cy, s):
    """Arrow with a head at both ends."""
    h = 0.45 * s
    return [
        line((cx - s, cy), (cx + s, cy)),
        line((cx - s + h, cy + h), (cx - s, cy), (cx - s + h, cy - h)),
        line((cx + s - h, cy + h), (cx + s, cy), (cx + s - h, cy - h)),
    ]


def dust(cx, cy, s):
    """The dust sign, an S."""
    r = 0.45 * s
    upper = arc(cx, cy + r, r, 30, 270, 8)
    lower = arc(cx, cy - r, r, 90, -150, 8)[1:]
    return [line(*upper, *lower)]


def ring(cx, cy, s):
    """Open ring: precipitation of unknown kind."""
    return [line(*arc(cx, cy, 0.5 * s, 0, 360, 12))]


MARKS = {
    "L": comma, "R": dot, "S": star, "IP": ice_pellet, "SG": snow_grain, "IC": ice_crystal,
    "SP": pellet, "A": hail, "D": dust, "?": ring,
}

# --- large signs ---------------------------------------------------------------


def shower_triangle(barred, top=0.5, bottom=0.03, half=0.25):
    """The showers sign: a triangle standing on its point, barred for moderate and heavy."""
    strokes = [line((0.5 - half, top), (0.5 + half, top), (0.5, bottom), (0.5 - half, top))]
    if barred:
        y = bottom + 0.5 * (top - bottom)
        w = half * (y - bottom) / (top - bottom)
        strokes.append(line((0.5 - w, y), (0.5 + w, y)))
    return strokes


def storm(x0, y0, w, h):
    """The thunderstorm sign: a stem, a bar along the top and a lightning bolt ending in a head."""
    tip = (x0 + 0.42 * w, y0)
    kink = (x0 + 0.95 * w, y0 + 0.48 * h)
    strokes = [line((x0, y0), (x0, y0 + h), (x0 + w, y0 + h), (x0 + 0.4 * w, y0 + 0.48 * h), kink, tip)]
    # Head: a filled triangle along the bolt's last leg.
    dx, dy = tip[0] - kink[0], tip[1] - kink[1]
    n = math.hypot(dx, dy)
    ux, uy = dx / n, dy / n
    size = 0.3 * w
    bx, by = tip[0] - size * ux, tip[1] - size * uy
    px, py = -uy * 0.45 * size, ux * 0.45 * size
    strokes.append(fill(tip, (bx + px, by + py), (bx - px, by - py)))
    return strokes


def arrow(y, x0=0.08, x1=0.92, head=0.14):
    """Arrow to the right: blowing."""
    return [line((x0, y), (x1, y)), line((x1 - head, y + head * 0.7), (x1, y), (x1 - head, y - head * 0.7))]


def wave(yc, amp, x0=0.08, x1=0.92):
    """The freezing sign: one period of a wave, up on the left and down on the right."""
    n = 16
    return [line(*[(x0 + (x1 - x0) * i / n, yc + amp * math.sin(2 * math.pi * i / n)) for i in range(n + 1)])]


def fog_lines(ys, x0=0.1, x1=0.9):
    return [line((x0, y), (x1, y)) for y in ys]


def haze():
    """A figure eight on its side."""
    n = 10
    lobes = []
    for side in (1, -1):
        pts = []
        for i in range(n + 1):
            t = -math.pi / 2 + math.pi * i / n
            d = 1 + math.sin(t) ** 2
            pts.append((0.5 + side * 0.42 * math.cos(t) / d, 0.5 + 0.5 * math.sin(t) * math.cos(t) / d))
        lobes.append(line(*pts))
    return lobes


def smoke():
    """A wavy line rising."""
    n = 16
    return [line(*[(0.5 + 0.16 * math.sin(3 * math.pi * i / n), 0.08 + 0.84 * i / n) for i in range(n + 1)])]


def cyclone(filled):
    """Tropical storm (open) and hurricane (filled) mark: a disc with two arms
    trailing as the winds of a northern hemisphere storm turn."""
    r, R = 0.16, 0.32
    strokes = []
    centre = arc(0.5, 0.5, r, 0, 360, 12)
    strokes.append(fill(*centre[:-1]) if filled else line(*centre))
    for cx, a0, a1 in ((0.5 + R - r, 180, 55), (0.5 - R + r, 0, -125)):
        outer = arc(cx, 0.5, R, a0, a1, 8)
        if filled:
            # Arm tapering from the disc's width to a point.
            inner = [(cx + (R - 0.1 * (1 - i / 8)) * math.cos(math.radians(a0 + (a1 - a0) * i / 8)),
                      0.5 + (R - 0.1 * (1 - i / 8)) * math.sin(math.radians(a0 + (a1 - a0) * i / 8)))
                     for i in range(8)]
            strokes.append(fill(*outer, *reversed(inner)))
        else:
            strokes.append(line(*outer))
    return strokes


# --- layouts of marks ------------------------------------------------------------

# Plain precipitation: light two marks side by side, moderate three, heavy four.
PLAIN = {
    "-": [(0.28, 0.5, 0.2), (0.72, 0.5, 0.2)],
    "": [(0.5, 0.7, 0.18), (0.27, 0.3, 0.18), (0.73, 0.3, 0.18)],
    "+": [(0.5, 0.8, 0.15), (0.2, 0.5, 0.15), (0.8, 0.5, 0.15), (0.5, 0.2, 0.15)],
}


def marks(kinds, places):
    strokes = []
    for kind, (cx, cy, s) in zip(kinds, places):
        strokes += MARKS[kind](cx, cy, s)
    return strokes


def row(kinds, y, s, width=0.6):
    """Marks side by side, centred, across a row at height y."""
    n = len(kinds)
    xs = [0.5] if n == 1 else [0.5 - width / 2 + width * i / (n - 1) for i in range(n)]
    return marks(kinds, [(x, y, s) for x in xs])


def plain(kind, sign):
    return marks([kind] * len(PLAIN[sign]), PLAIN[sign])


def stacked(top, bottom):
    """Mixed precipitation, the first kind above: light one mark of each, else two above one."""
    return lambda sign: (marks([top, bottom], [(0.5, 0.72, 0.2), (0.5, 0.28, 0.2)]) if sign == "-" else
                         row([top, top], 0.72, 0.2, 0.44) + marks([bottom], [(0.5, 0.28, 0.2)]))


def shower(kinds, sign=""):
    """Marks over the showers sign: light one mark, moderate barred, heavy barred with two."""
    if sign == "+":
        kinds = kinds * 2
    return row(kinds, 0.76, 0.15, 0.38 if len(kinds) > 1 else 0) + shower_triangle(sign != "-")


def thunder(kinds=(), width=0.6):
    """Marks over the thunderstorm sign; the bare sign fills the box."""
    if not kinds:
        return storm(0.22, 0.04, 0.56, 0.9)
    return row(list(kinds), 0.84, 0.12, width) + storm(0.27, 0.02, 0.46, 0.6)


def frozen(kinds):
    """Marks over the freezing sign."""
    return row(list(kinds), 0.74, 0.15, 0.5) + wave(0.28, 0.14)


def blowing(kinds):
    """Marks over the blowing arrow."""
    return row(list(kinds), 0.68, 0.17, 0.5) + arrow(0.25)


def intensity(n, sign):
    """Light, moderate, heavy: n - 1, n, n + 1 marks."""
    return n + {"-": -1, "": 0, "+": 1}[sign]


# --- the entries -------------------------------------------------------------------

SIGN_WORD = {"-": "light ", "": "", "+": "heavy "}
PRECIP_WORD = {"L": "drizzle", "R": "rain", "S": "snow", "IP": "ice pellets", "SG": "snow grains",
               "IC": "ice crystals"}


def entries():
    """(name, meaning, strokes) of every symbol, in no particular order."""
    e = []

    def add(name, meaning, strokes):
        e.append((name, meaning, strokes))

    # Obscurations and signs standing alone.
    add("K", "smoke", smoke())
    add("H", "haze", haze())
    add("D", "dust", dust(0.5, 0.5, 0.42))
    add("BD", "blowing dust", dust(0.5, 0.5, 0.4) + arrow(0.5, 0.06, 0.94, 0.12))
    add("F", "fog", fog_lines((0.25, 0.5, 0.75)))
    add("GF", "ground fog", fog_lines((0.15,)) + fog_lines((0.38,), 0.1, 0.42) + fog_lines((0.38,), 0.58, 0.9))
    add("IF", "ice fog", fog_lines((0.25, 0.5, 0.75), 0.05, 0.95) + [line((0.18, 0.12), (0.18, 0.88)),
                                                                      line((0.82, 0.12), (0.82, 0.88))])
    add("T", "thunder", thunder())
    add("B", "blowing", arrow(0.5))
    add("Z", "freezing", wave(0.5, 0.2))
    add("W", "showers", shower_triangle(False, 0.85, 0.1, 0.35))
    add("A", "hail", row(["A"], 0.76, 0.16) + shower_triangle(True))
    add("SP", "snow pellets", pellet(0.5, 0.45, 0.38))
    add("SG", "snow grains", snow_grain(0.5, 0.45, 0.38))
    add("IC", "ice crystals", ice_crystal(0.5, 0.5, 0.4))
    add("-", "light precipitation of unknown kind", ring(0.5, 0.5, 0.4))
    add("+", "heavy precipitation of unknown kind", ring(0.5, 0.72, 0.3) + ring(0.5, 0.28, 0.3))
    add("@", "tropical storm", cyclone(False))
    add("@+", "hurricane", cyclone(True))

    # Drizzle, rain, snow and ice pellets, with their intensities.
    for kind in ("L", "R", "S", "IP"):
        for sign in ("-", "", "+"):
            add(kind + sign, SIGN_WORD[sign] + PRECIP_WORD[kind], plain(kind, sign))

    # Two kinds together.
    for first, second, words in (("L", "R", "drizzle and rain"), ("R", "L", "rain and drizzle"),
                                 ("R", "S", "rain and snow")):
        for sign in ("-", ""):
            add(first + sign + second, SIGN_WORD[sign] + words, stacked(first, second)(sign))

    # Freezing drizzle and rain; freezing with any other kind shows that kind over the wave.
    for kind in ("L", "R"):
        for sign in ("-", "", "+"):
            add("Z" + kind + sign, SIGN_WORD[sign] + "freezing " + PRECIP_WORD[kind],
                frozen([kind] * intensity(2, sign)))
    for kind in ("S", "SG", "IP", "IC"):
        add("Z" + kind, "freezing " + PRECIP_WORD[kind], frozen([kind]))

    # Showers.
    for kind in ("R", "S"):
        for sign in ("-", "", "+"):
            add(kind + "W" + sign, SIGN_WORD[sign] + PRECIP_WORD[kind] + " showers", shower([kind], sign))
    for kind in ("L", "SG", "IP", "IC"):
        add(kind + "W", PRECIP_WORD[kind] + " showers", shower([kind]))
    add("RW-SW-", "light rain and snow showers", shower(["R", "S"], "-"))
    add("RWSW", "rain and snow showers", shower(["R", "S"]))

    # Thunderstorms.
    for sign in ("-", "", "+"):
        dots = ["R"] * intensity(2, sign)
        add("TRW" + sign, SIGN_WORD[sign] + "thunderstorm with rain showers", thunder(dots))
        add("TR" + sign, SIGN_WORD[sign] + "thunderstorm with rain (drawn as TRW" + sign + ")", thunder(dots))
    add("TRWD", "thunderstorm with dust", thunder(["D"]))
    add("TRW-A", "light thunderstorm with hail", thunder(["R", "A"], 0.4))
    add("TRW+A", "heavy thunderstorm with hail", thunder(["R", "A", "R"], 0.64))
    for kind in ("L", "S", "SG", "IP", "IC"):
        add("T" + kind, "thunderstorm with " + PRECIP_WORD[kind], thunder([kind]))

    # Blowing.
    for kind, words in (("S", "blowing snow"), ("L", "blowing drizzle"), ("R", "blowing rain"),
                        ("SG", "blowing snow grains"), ("IP", "blowing ice pellets"),
                        ("IC", "blowing ice crystals")):
        add("B" + kind, words, blowing([kind]))
    return e


def file_order(e):
    """Alphabetical, but every name after the longer names that begin with it."""
    return sorted(e, key=lambda item: item[0].upper() + "\x7f")


def number(v):
    text = f"{round(v, 3):.3f}".rstrip("0").rstrip(".")
    return "0" if text in ("", "-0") else text


def symbol_file(e):
    out = []
    for name, _, strokes in e:
        out.append(name)
        for kind, points in strokes:
            out.append(" " + " ".join(f"{number(x)},{number(y)}" for x, y in points) + " " + kind)
        out.append(" $")
    return "\n".join(out) + "\n"


def entry_list(e):
    width = max(len(name) for name, _, _ in e)
    lines = [
        "wx.smb: the weather symbols, drawn at station positions by weather letter code",
        "and by the fronts for tropical storms (@) and hurricanes (@+).",
        "Written by tools/make_wx_smb.py (see its header); do not edit wx.smb by hand.",
        "",
        "A wanted code draws the entry with the longest name it begins with (any",
        "letter case): \"SG+\" draws SG, \"TRW-\" its own entry. Longer names come",
        "first in the file, so taking the first match gives the same entry.",
        "Light precipitation shows fewer marks, heavy more; showers stand on the",
        "triangle (barred when moderate or heavy), thunderstorms under the storm",
        "sign, freezing precipitation over the wave, blowing over the arrow.",
        "",
        f"{len(e)} entries, in file order:",
        "",
    ]
    lines += [f"  {name:<{width}}  {meaning}" for name, meaning, _ in e]
    return "\n".join(lines) + "\n"


def check(e):
    names = [name.upper() for name, _, _ in e]
    problems = []
    if len(names) > MAX_NAMES:
        problems.append(f"{len(names)} entries, the reader indexes {MAX_NAMES}")
    if len(set(names)) != len(names):
        problems.append("a name repeats")
    for name, _, strokes in e:
        if len(name) > MAX_NAME_LEN or "$" in name:
            problems.append(f"{name}: not a name the reader keeps")
        for kind, points in strokes:
            if len(points) > MAX_POINTS:
                problems.append(f"{name}: a stroke of {len(points)} points")
            if any(not (0 <= round(v, 3) <= 1) for p in points for v in p):
                problems.append(f"{name}: a point outside the symbol box")
    return problems


def legend(e, path):
    try:
        from PIL import Image, ImageDraw
    except ImportError:
        sys.exit("make_wx_smb.py: the legend needs PIL (Debian package python3-pil)")
    cols, big, small, pad = 8, 96, 24, 18
    rows = (len(e) + cols - 1) // cols
    cell_w, cell_h = big + small + 3 * pad, big + 2 * pad + 14
    img = Image.new("RGB", (cols * cell_w, rows * cell_h), "white")
    draw = ImageDraw.Draw(img)
    for i, (name, _, strokes) in enumerate(e):
        x0, y0 = (i % cols) * cell_w + pad, (i // cols) * cell_h + pad
        for size, ox, oy, width in ((big, x0, y0, 2), (small, x0 + big + pad, y0 + big - small, 1)):
            draw.rectangle([ox, oy, ox + size, oy + size], outline=(200, 200, 255))
            for kind, points in strokes:
                xy = [(ox + size * px, oy + size * (1 - py)) for px, py in points]
                if kind == "F":
                    draw.polygon(xy, fill="black")
                else:
                    draw.line(xy, fill="black", width=width)
        draw.text((x0, y0 + big + 2), name, fill="black")
    img.save(path)


def main():
    parser = argparse.ArgumentParser(description="Writes the weather symbol file and its entry list.")
    parser.add_argument("smb", nargs="?", help="symbol file to write (data/wx.smb)")
    parser.add_argument("txt", nargs="?", help="entry list to write (data/wx.smb.txt)")
    parser.add_argument("--legend", help="also draw every symbol into this PNG file")
    args = parser.parse_args()
    if not (args.smb or args.legend) or (args.smb and not args.txt):
        parser.error("give the symbol file and the entry list, or --legend")
    e = file_order(entries())
    problems = check(e)
    if problems:
        sys.exit("make_wx_smb.py: " + "; ".join(problems))
    if args.smb:
        with open(args.smb, "w", encoding="ascii", newline="\n") as f:
            f.write(symbol_file(e))
        with open(args.txt, "w", encoding="ascii", newline="\n") as f:
            f.write(entry_list(e))
    if args.legend:
        legend(e, args.legend)


if __name__ == "__main__":
    main()
