#!/usr/bin/python3
"""Builds the GRIB edition 2 parameter table grib2_var.lup from libeccodes-data.

Input (libeccodes-data, under the ecCodes definitions directory):
  grib2/tables/<version>/4.2.<discipline>.<category>.table
        the WMO parameter tables, newest version; each line "number number
        long name (units)"
  grib2/localConcepts/kwbc/{paramId,shortName,name,units}.def
        the NCEP (centre 7) local parameters, and their names and units
  grib2/paramId.def, grib2/localConcepts/*/paramId.def
  grib1/paramId.def, grib1/localConcepts/*/paramId.def
        the parameter identities: each maps edition 2 codes (discipline,
        category, number, with qualifiers) or edition 1 codes (table version,
        parameter number) to a paramId, one paramId per quantity
  data/variable.lup, the program's parameter table (edition 1 numbers)

Output: one line per parameter, seven blank-separated fields
  centre discipline category number name units long-name
  centre    0 (any centre) for the WMO parameters, 7 for the NCEP local ones
            (a number, category or discipline from 192 up)
  name      the variable.lup abbreviation of the quantity's edition 1 number,
            where the identities link the two; else the ecCodes short name when
            variable.lup lacks it; else "g2_<discipline>_<category>_<number>".
            So a name that variable.lup knows always means the same quantity.
  units     one word (at most 29 characters) spelled as the edition 1 units:
            "m/s", "kg/m^2/s", "W/m^2", "J/kg", "/s"; factors of a product
            joined by '-'; "-" for dimensionless quantities, codes and flags
  long-name at most 79 characters, cut at a blank
Lines beginning with '#' are comments; the file holds no empty line (an empty
line ends the reader's scan).

Edition 1 identity of an edition 2 parameter: the edition 1 numbers of the
paramIds its codes map to, taken from the first of these groups that has any:
plain entries (no qualifier) of the WMO identities, plain entries of a centre's
identities, entries qualified only by fixed surfaces (WMO, then centres). A
group that gives two different numbers gives none (the quantity is ambiguous,
such as a net radiation flux that edition 1 splits by surface). Entries
qualified by statistical processing, templates or constituents name other
quantities (a maximum, an accumulation) and do not count. NCEP's local codes
take only NCEP's plain entries. Edition 1 numbers count from the WMO tables 1-3:
1-127 from any centre, 128-255 only from NCEP's.
"""

import argparse
import glob
import os
import re
import sys
from fractions import Fraction

NCEP = 7
NAME_MAX = 19
UNITS_MAX = 29
LNAME_MAX = 79
CODE_KEYS = ("discipline", "parameterCategory", "parameterNumber")
SURFACE_KEYS = {
    "typeOfFirstFixedSurface",
    "typeOfSecondFixedSurface",
    "scaleFactorOfFirstFixedSurface",
    "scaledValueOfFirstFixedSurface",
    "scaleFactorOfSecondFixedSurface",
    "scaledValueOfSecondFixedSurface",
}

CONCEPT = re.compile(r"^'([^']*)'\s*=\s*\{([^}]*)\}", re.M)
KEY_VALUE = re.compile(r"(\w+)\s*=\s*(-?\d+)")


def read_concepts(path):
    """(value, {key: int}) of each entry of an ecCodes concept file, in file order."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    return [(v, {k: int(n) for k, n in KEY_VALUE.findall(body)}) for v, body in CONCEPT.findall(text)]


def plain_code(keys):
    """(discipline, category, number) of an entry with no other key, else None."""
    if set(keys) != set(CODE_KEYS):
        return None
    return tuple(keys[k] for k in CODE_KEYS)


def is_local(code):
    return any(192 <= c <= 254 for c in code)


def has_missing(code):
    return any(c == 255 for c in code)


# ---------------------------------------------------------------- units


DIMENSIONLESS = {
    "",
    "-",
    "~",
    "1",
    "numeric",
    "proportion",
    "fraction",
    "dimensionless",
    "categorical",
    "index",
    "integer",
    "ccitt ia5",
    "(0 - 1)",
}
# Units that ecCodes spells in more than one way, or runs together.
PHRASES = [
    (re.compile(r"\bdeg(?:ree)?s? +(?:true|N|E)\b", re.I), "deg"),
    (re.compile(r"\bdeg(?:ree)? +C\b", re.I), "C"),
    (re.compile(r"^Jm-2$"), "J m-2"),
    (re.compile(r"^psuperday$"), "psu per day"),
    (re.compile(r"^degreeperday$"), "deg per day"),
]
# Group exponents that the NCEP local units of ecCodes misplace: "kg (kg s**-1)**-1"
# is the moistening rate kg/kg/s (its edition 1 units), not kg-s/kg.
MISPRINTS = {
    "kg (kg s**-1)**-1": "kg kg-1 s-1",
    "kg (m**2 s-1)**-1": "kg m-2 s-1",
    "kg (m**2 s**-1)**-1": "kg m-2 s-1",
    "(s m**-1)**-1": "s-1 m-1",
}
# Single unit words spelled as the edition 1 units are.
WORDS = {"degree": "deg", "degrees": "deg", "du": "Dobson", "joule": "J"}

TOKEN = re.compile(
    r"\s*(?:(?P<func>log10|ln)\(|(?P<open>\()|(?P<close>\))|(?P<slash>/)"
    r"|\*\*(?P<power>-?\d+(?:/\d+)?)"
    r"|(?P<number>\d+(?:\.\d+)?)"
    r"|(?P<word>[A-Za-z%]+)(?P<exp>-?\d+(?:/\d+)?)?)"
)


class UnitsError(ValueError):
    pass


def _tokens(text):
    pos = 0
    out = []
    text = text.strip()
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m or m.end() == pos:
            raise UnitsError(f"cannot read units {text!r} at {text[pos:]!r}")
        pos = m.end()
        kind = m.lastgroup if m.lastgroup != "exp" else "word"
        out.append((kind, m))
    return out


def _parse(tokens, i, closing):
    """Factors [(base, Fraction exponent)] up to the matching ')' or the end."""
    factors = []
    divide = False
    while i < len(tokens):
        kind, m = tokens[i]
        if kind == "close":
            if not closing:
                raise UnitsError("unbalanced ')'")
            return factors, i + 1
        if kind == "slash":
            if divide:
                raise UnitsError("'//' in units")
            divide = True
            i += 1
            continue
        if kind == "power":
            raise UnitsError("'**' with nothing before it")
        group = []
        if kind in ("open", "func"):
            inner, i = _parse(tokens, i + 1, True)
            if kind == "func":
                group = [(f"{m.group('func')}({render(inner)})", Fraction(1))]
            else:
                group = inner
        elif kind == "number":
            group = [(m.group("number"), Fraction(1))]
            i += 1
        else:
            word = m.group("word")
            if word.lower() == "per":
                divide = True
                i += 1
                continue
            word = WORDS.get(word.lower(), word)
            group = [(word, Fraction(m.group("exp")) if m.group("exp") else Fraction(1))]
            i += 1
        power = Fraction(1)
        if i < len(tokens) and tokens[i][0] == "power":
            power = Fraction(tokens[i][1].group("power"))
            i += 1
        if divide:
            power = -power
            divide = False
        factors.extend((b, e * power) for b, e in group)
    if closing:
        raise UnitsError("unbalanced '('")
    if divide:
        raise UnitsError("units end in '/'")
    return factors, i


def _exponent(e):
    if e == 1:
        return ""
    if e.denominator == 1:
        return f"^{e.numerator}"
    return f"^({e.numerator}/{e.denominator})"


def render(factors):
    """Edition 1 spelling: numbers first, the numerator joined by '-', then '/x^n' each."""
    numbers = [(b, e) for b, e in factors if b[0].isdigit()]
    units = [(b, e) for b, e in factors if not b[0].isdigit()]
    out = "".join(f"{b}{_exponent(e)}" for b, e in numbers)
    out += "-".join(f"{b}{_exponent(e)}" for b, e in units if e > 0)
    out += "".join(f"/{b}{_exponent(-e)}" for b, e in units if e < 0)
    return out


def edition1_units(text):
    """The units text of ecCodes or the WMO tables in the edition 1 spelling (one word)."""
    t = " ".join(text.split())
    t = MISPRINTS.get(t, t)
    low = t.lower()
    if (
        low in DIMENSIONLESS
        or low.startswith(("code table", "(code table", "flag table", "(flag table"))
        or re.fullmatch(r"integer\s*\(.*\)", low)
    ):
        return "-"
    for pattern, replacement in PHRASES:
        t = pattern.sub(replacement, t)
    # A group with its exponent written straight after the parenthesis: "(m2 s sr)-1".
    t = re.sub(r"\)(-?\d+)", r")**\1", t)
    factors, _ = _parse(_tokens(t), 0, False)
    out = render(factors)
    if not out or len(out) > UNITS_MAX:
        raise UnitsError(f"units {text!r} give {out!r}")
    return out


# ---------------------------------------------------------------- tables


def split_name_units(text):
    """A WMO table text "Long name (units)" as (long name, units or None)."""
    text = text.strip()
    if not text.endswith(")"):
        return text, None
    depth = 0
    for k in range(len(text) - 1, -1, -1):
        if text[k] == ")":
            depth += 1
        elif text[k] == "(":
            depth -= 1
            if depth == 0:
                return text[:k].strip(), text[k + 1 : -1].strip()
    return text, None


def long_name(text):
    """ASCII, without bracketed asides or markup, at most LNAME_MAX characters cut at a blank."""
    text = re.sub(r"\s*\[[^\]]*\]", "", text)
    text = re.sub(r"<[A-Za-z/][^>]*(?:>|$)", " ", text).rstrip(" .")
    text = " ".join(text.encode("ascii", "replace").decode("ascii").split())
    if len(text) > LNAME_MAX:
        cut = text.rfind(" ", 0, LNAME_MAX + 1)
        text = text[: cut if cut > 0 else LNAME_MAX].rstrip(" ,;:-")
    return text


def wmo_version(definitions):
    """The newest WMO tables version directory that holds parameter tables."""
    root = os.path.join(definitions, "grib2", "tables")
    versions = []
    for d in os.listdir(root) if os.path.isdir(root) else []:
        if d.isdigit() and glob.glob(os.path.join(root, d, "4.2.*.table")):
            versions.append(int(d))
    if not versions:
        raise SystemExit(f"make_grib2_var: no parameter tables 4.2 under {root}")
    return max(versions)


def read_wmo_parameters(definitions, version):
    """{(discipline, category, number): (long name, units text)} of the WMO tables."""
    params = {}
    pattern = os.path.join(definitions, "grib2", "tables", str(version), "4.2.*.table")
    for path in sorted(glob.glob(pattern)):
        m = re.fullmatch(r"4\.2\.(\d+)\.(\d+)\.table", os.path.basename(path))
        if not m:
            continue
        disc, cat = int(m.group(1)), int(m.group(2))
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                row = re.match(r"(\d+)\s+(\d+)\s+(.*)$", line.rstrip("\n"))
                if not row or line.startswith("#"):
                    continue
                code = (disc, cat, int(row.group(1)))
                name, units = split_name_units(row.group(3))
                if has_missing(code) or not name or name.lower() in ("missing", "reserved"):
                    continue
                params[code] = (name, units)
    return params


def read_local_parameters(definitions, centre_dir):
    """{code: (long name, units text)} of a centre's local parameters (local codes only)."""
    base = os.path.join(definitions, "grib2", "localConcepts", centre_dir)
    names, units = {}, {}
    for value, keys in read_concepts(os.path.join(base, "name.def")):
        code = plain_code(keys)
        if code:
            names.setdefault(code, value)
    for value, keys in read_concepts(os.path.join(base, "units.def")):
        code = plain_code(keys)
        if code:
            units.setdefault(code, value)
    return {
        code: (name, units.get(code))
        for code, name in names.items()
        if is_local(code) and not has_missing(code)
    }


def read_edition1_numbers(definitions):
    """{paramId: {edition 1 number}} from the edition 1 identities."""
    numbers = {}
    paths = [("", os.path.join(definitions, "grib1", "paramId.def"))]
    for path in sorted(glob.glob(os.path.join(definitions, "grib1", "localConcepts", "*", "paramId.def"))):
        paths.append((os.path.basename(os.path.dirname(path)), path))
    for centre, path in paths:
        for pid, keys in read_concepts(path):
            if keys.get("table2Version") not in (1, 2, 3):
                continue
            n = keys.get("indicatorOfParameter", -1)
            if 1 <= n <= 127 or (centre == "kwbc" and 128 <= n <= 255):
                numbers.setdefault(pid, set()).add(n)
    return numbers


def read_edition2_identities(definitions):
    """{code: [(group, paramId)]}: the paramIds each edition 2 code maps to.

    group 0: plain WMO entry, 1: plain centre entry, 2: WMO entry qualified by
    fixed surfaces, 3: the same of a centre; other qualified entries are left out.
    """
    ids = {}
    paths = [(False, os.path.join(definitions, "grib2", "paramId.def"))]
    for path in sorted(glob.glob(os.path.join(definitions, "grib2", "localConcepts", "*", "paramId.def"))):
        paths.append((True, path))
    for local, path in paths:
        for pid, keys in read_concepts(path):
            if not all(k in keys for k in CODE_KEYS):
                continue
            code = tuple(keys[k] for k in CODE_KEYS)
            extra = set(keys) - set(CODE_KEYS)
            if not extra:
                group = 1 if local else 0
            elif extra <= SURFACE_KEYS:
                group = 3 if local else 2
            else:
                continue
            ids.setdefault(code, []).append((group, pid))
    return ids


def edition1_number(entries, numbers):
    """The edition 1 number of the [(group, paramId)] of an edition 2 code, or None."""
    for group in sorted({g for g, _ in entries}):
        found = set()
        for g, pid in entries:
            if g == group:
                found |= numbers.get(pid, set())
        if len(found) == 1:
            return found.pop()
        if found:
            return None
    return None


def read_variable_table(path):
    """(first abbreviation of each number, {lower-case abbreviation: first number})."""
    first_abbr, first_number = {}, {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if line.startswith("#") or len(fields) < 2:
                continue
            try:
                number = int(fields[0].split(",")[0])
            except ValueError:
                continue
            first_abbr.setdefault(number, fields[1])
            first_number.setdefault(fields[1].lower(), number)
    return first_abbr, first_number


def short_names(definitions, centre_dir=None):
    """{code: short name} of the plain entries of the WMO (or a centre's) short names."""
    if centre_dir:
        path = os.path.join(definitions, "grib2", "localConcepts", centre_dir, "shortName.def")
    else:
        path = os.path.join(definitions, "grib2", "shortName.def")
    out = {}
    for value, keys in read_concepts(path):
        code = plain_code(keys)
        if code:
            out.setdefault(code, value)
    return out


def choose_name(code, number, short, first_abbr, first_number):
    if number is not None:
        abbr = first_abbr.get(number)
        # The abbreviation must lead back to the number (VAR_search_var_num).
        if abbr and first_number.get(abbr.lower()) == number and len(abbr) <= NAME_MAX:
            return abbr
    if (
        short
        and re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9_.+-]*", short)
        and len(short) <= NAME_MAX
        and short.lower() not in ("unknown",)
        and short.lower() not in first_number
    ):
        return short
    return "g2_{}_{}_{}".format(*code)


def build(definitions, variable_lup):
    version = wmo_version(definitions)
    wmo = read_wmo_parameters(definitions, version)
    ncep = read_local_parameters(definitions, "kwbc")
    numbers = read_edition1_numbers(definitions)
    identities = read_edition2_identities(definitions)
    first_abbr, first_number = read_variable_table(variable_lup)
    wmo_short = short_names(definitions)
    ncep_short = short_names(definitions, "kwbc")
    # NCEP's local codes take only NCEP's identities: other centres give them other meanings.
    ncep_ids = {}
    ncep_path = os.path.join(definitions, "grib2", "localConcepts", "kwbc", "paramId.def")
    for pid, keys in read_concepts(ncep_path):
        code = plain_code(keys)
        if code:
            ncep_ids.setdefault(code, []).append((0, pid))

    rows = []
    problems = []
    for centre, params, short, local in ((0, wmo, wmo_short, False), (NCEP, ncep, ncep_short, True)):
        for code in sorted(params):
            lname, units_text = params[code]
            entries = ncep_ids.get(code, []) if local else identities.get(code, [])
            number = edition1_number(entries, numbers)
            name = choose_name(code, number, short.get(code), first_abbr, first_number)
            try:
                units = edition1_units(units_text or "")
            except UnitsError as e:
                problems.append(f"{centre} {code}: {e}")
                units = "".join((units_text or "-").split()).replace("**", "^")[:UNITS_MAX] or "-"
            rows.append((centre, *code, name, units, long_name(lname) or name))
    return version, rows, problems


def write_table(path, version, rows):
    name_w = max(len(r[4]) for r in rows)
    units_w = max(len(r[5]) for r in rows)
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="ascii") as f:
        f.write("# GRIB edition 2 parameters: centre (0 any), discipline, category, number,\n")
        f.write("# name (the parameter table's abbreviation where the quantity has an edition 1\n")
        f.write("# number), units (\"-\" for none: a number, a code, a fraction), long name.\n")
        f.write("# Built by tools/make_grib2_var.py from libeccodes-data: WMO tables 4.2\n")
        f.write(f"# version {version} and the NCEP (centre 7) local parameters.\n")
        for centre, disc, cat, num, name, units, lname in rows:
            codes = f"{centre:<3d} {disc:<3d} {cat:<3d} {num:<3d}"
            f.write(f"{codes} {name:<{name_w}} {units:<{units_w}} {lname}\n")
    os.replace(tmp, path)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("output")
    ap.add_argument("--definitions", default="/usr/share/eccodes/definitions")
    ap.add_argument("--variables", required=True, help="data/variable.lup")
    args = ap.parse_args(argv)
    try:
        version, rows, problems = build(args.definitions, args.variables)
    except OSError as e:
        raise SystemExit(f"make_grib2_var: {e.filename}: {e.strerror}")
    if not rows:
        raise SystemExit(f"make_grib2_var: no parameters read from {args.definitions}")
    for p in problems:
        print(f"make_grib2_var: {p}", file=sys.stderr)
    keys = [r[:4] for r in rows]
    if len(set(keys)) != len(keys):
        raise SystemExit("make_grib2_var: duplicate parameter codes")
    write_table(args.output, version, rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
