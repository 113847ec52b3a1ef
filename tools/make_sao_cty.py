#!/usr/bin/python3
"""Builds the station file sao.cty from Debian's weather-util-data.

Input (weather-util-data, iso-codes):
  stations.gz   one section per ICAO station: description, location (radians), zone
  airports.gz   IATA codes mapped to the station that serves them
  places.gz     US census places and counties with their nearest station
  iso_3166-1.json, iso_3166-2.json   country and subdivision codes and names

Output: one line per station with a known position, ten blank-separated fields
  name state country id priority lat lon elevation wmo count
  name      first part of the description, ASCII, blanks as '_', at most 20 characters
  state     the 2-character subdivision code of the description (for US stations
            without one, the state of the station's forecast zone), else "--"
  country   ISO 3166 alpha-2 code of the description's country, else "--"
  id        the ICAO identifier in upper case
  priority  0..9 by the thinning rule below
  lat, lon  degrees, north and east positive
  elevation 9999 (missing: the source has none)
  wmo       99999 (none: the source has no WMO numbers)
  count     the number of places in places.gz whose nearest station it is

Priority rule (a regular thinning, so that a map of any size shows a readable
set). Stations are ranked: first the international airports (an IATA code in
airports.gz and "International" or "Intl" in the description), then the other
stations that serve an IATA airport, then the rest; within each group by
descending count, then by identifier. In
that order each station takes the smallest priority p (0..8) such that every
station already given a priority q lies at least 1600 / 2**max(p, q) km away
(stations of priority 9 do not count); a station that finds no such p takes 9.
So stations of priority p or less are at least 1600 / 2**p km apart: 1600 km
for 0, 400 km for 2 (a continental map), 100 km for 4, 6.25 km for 8.

Stations without a position (the source's "unknown station" entries) are left
out. Nothing is added that the sources do not hold.
"""

import argparse
import gzip
import json
import math
import re
import sys
import unicodedata

EARTH_KM = 6371.0
SPACING_KM = [1600.0 / 2**p for p in range(9)]  # priorities 0..8; the rest is 9
CELL_DEG = 2.0
INTERNATIONAL = re.compile(r"\b(international|intl)\b", re.IGNORECASE)


def read_sections(path):
    """Sections "[name]" with their "key = value" lines, in file order."""
    sections = []
    current = None
    with gzip.open(path, "rt", encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                continue
            if line.startswith("[") and line.endswith("]"):
                current = {"": line[1:-1]}
                sections.append(current)
            elif current is not None and " = " in line:
                key, value = line.split(" = ", 1)
                current[key.strip()] = value.strip()
    return sections


def parse_pair(text):
    """The first item of a tuple text such as "('kden', 0.0025)" or "(0.69, -1.82)"."""
    m = re.match(r"\(\s*'?([^',]+)'?\s*,\s*([^)]+)\)", text or "")
    if not m:
        return None
    return m.group(1).strip(), m.group(2).strip()


def ascii_text(text):
    return unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode("ascii")


def norm_name(text):
    """Lower-case ASCII words, for comparing country and subdivision names."""
    text = ascii_text(text).lower().replace("&", " and ")
    return " ".join(re.findall(r"[a-z0-9]+", text))


class Countries:
    # Names of the station list that differ from the ISO names (the list keeps the
    # older country names of the NWS station catalogue).
    ALIASES = {
        "russia": "RU", "iran": "IR", "syria": "SY", "vietnam": "VN", "laos": "LA",
        "taiwan": "TW", "south korea": "KR", "korea south": "KR", "north korea": "KP",
        "korea north": "KP", "bolivia": "BO", "venezuela": "VE", "tanzania": "TZ",
        "moldova": "MD", "swaziland": "SZ", "macau": "MO", "brunei": "BN",
        "cape verde": "CV", "cote d ivoire": "CI", "ivory coast": "CI",
        "czech republic": "CZ", "islas malvinas": "FK", "falkland islands": "FK",
        "united states of america": "US", "united states": "US", "united kingdom": "GB",
        "virgin islands": "VI", "british virgin islands": "VG", "reunion": "RE",
        "saint helena": "SH", "micronesia federated states of": "FM",
        "congo democratic republic of the": "CD", "congo republic of the": "CG",
        "congo the democratic republic of the": "CD", "macedonia the republic of": "MK",
        "bahamas the": "BS", "gambia the": "GM", "netherlands antilles": "CW",
        "serbia and montenegro": "RS", "turkey": "TR", "south georgia and the islands": "GS",
        "hong kong": "HK", "palestine": "PS", "kosovo": "XK",
    }

    # Abbreviations of Canadian provinces and territories that the station list
    # uses besides the ISO codes (compared after norm_name).
    PROVINCES = {
        "alta": "AB", "b c": "BC", "man": "MB", "n b": "NB", "nfld": "NL", "n s": "NS",
        "n w t": "NT", "nwt": "NT", "ont": "ON", "p e i": "PE", "pei": "PE", "que": "QC",
        "sask": "SK", "y t": "YT",
    }

    def __init__(self, iso1, iso2):
        self.by_name = {}
        self.codes = set()
        for c in json.load(open(iso1, encoding="utf-8"))["3166-1"]:
            code = c["alpha_2"]
            self.codes.add(code)
            for key in ("name", "common_name", "official_name"):
                if key in c:
                    self.by_name.setdefault(norm_name(c[key]), code)
        for name, code in self.ALIASES.items():
            self.by_name[name] = code
        self.codes.add("XK")
        # Subdivisions: country -> {code part: code part, normalised name: code part}
        self.subdivisions = {}
        for s in json.load(open(iso2, encoding="utf-8"))["3166-2"]:
            country, part = s["code"].split("-", 1)
            table = self.subdivisions.setdefault(country, {})
            table[part.upper()] = part.upper()
            table.setdefault(norm_name(s["name"]), part.upper())
        self.subdivisions["CA"].update(self.PROVINCES)

    def country(self, parts):
        """(code, number of trailing parts that named it) for a description split at commas."""
        last = parts[-1]
        if len(parts) > 1 and re.fullmatch(r"[A-Z]{2}", last) and last in self.codes:
            return last, 1
        # "Korea, South", "Congo, Democratic Republic Of The": try two parts joined first.
        for n in (2, 1):
            if len(parts) > n:
                name = norm_name(" ".join(parts[-n:]))
                if name in self.by_name:
                    return self.by_name[name], n
        return None, 0

    def state(self, country, text):
        """The 2-character subdivision code that `text` names in `country`, or None."""
        table = self.subdivisions.get(country, {})
        part = table.get(text.upper()) if re.fullmatch(r"[A-Za-z0-9]{1,3}", text) else None
        if part is None:
            part = table.get(norm_name(text))
        return part if part and len(part) == 2 else None


def station_name(text, ident):
    name = ascii_text(text)
    name = re.sub(r"\s*/\s*", "/", name)
    name = re.sub(r"\s+", "_", name.strip())
    name = re.sub(r"[^\x21-\x7e]", "", name)
    return name[:20].rstrip("_") or ident.upper()


def distance_km(lat1, lon1, lat2, lon2):
    p1, p2 = math.radians(lat1), math.radians(lat2)
    dl = math.radians(lon2 - lon1)
    c = math.sin(p1) * math.sin(p2) + math.cos(p1) * math.cos(p2) * math.cos(dl)
    return EARTH_KM * math.acos(max(-1.0, min(1.0, c)))


class Thinning:
    """Stations already given a priority, in cells of CELL_DEG degrees."""

    def __init__(self):
        self.cells = {}

    def _cell(self, lat, lon):
        return int(math.floor((lat + 90.0) / CELL_DEG)), int(math.floor((lon + 180.0) / CELL_DEG)) % int(
            360 / CELL_DEG)

    def clear_of(self, lat, lon, prior, radius):
        """True when no station of priority q lies within SPACING_KM[max(prior, q)]
        km (radius, the spacing of prior, is the farthest that can matter)."""
        dlat = radius / 111.19 + CELL_DEG
        coslat = math.cos(math.radians(min(89.0, abs(lat) + dlat)))
        ncol = int(360 / CELL_DEG)
        dlon = 360.0 if coslat < 1e-6 else radius / (111.19 * coslat) + CELL_DEG
        r0, _ = self._cell(max(-90.0, lat - dlat), lon)
        r1, _ = self._cell(min(90.0, lat + dlat), lon)
        if dlon >= 180.0:
            cols = range(ncol)
        else:
            c0 = int(math.floor((lon - dlon + 180.0) / CELL_DEG))
            c1 = int(math.floor((lon + dlon + 180.0) / CELL_DEG))
            cols = sorted({c % ncol for c in range(c0, c1 + 1)})
        for r in range(r0, r1 + 1):
            for c in cols:
                for (slat, slon, sprior) in self.cells.get((r, c), ()):
                    q = max(prior, sprior)
                    if q < len(SPACING_KM) and distance_km(lat, lon, slat, slon) < SPACING_KM[q]:
                        return False
        return True

    def add(self, lat, lon, prior):
        self.cells.setdefault(self._cell(lat, lon), []).append((lat, lon, prior))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--stations", default="/usr/share/weather-util/stations.gz")
    ap.add_argument("--airports", default="/usr/share/weather-util/airports.gz")
    ap.add_argument("--places", default="/usr/share/weather-util/places.gz")
    ap.add_argument("--iso3166-1", dest="iso1", default="/usr/share/iso-codes/json/iso_3166-1.json")
    ap.add_argument("--iso3166-2", dest="iso2", default="/usr/share/iso-codes/json/iso_3166-2.json")
    ap.add_argument("output")
    args = ap.parse_args()

    countries = Countries(args.iso1, args.iso2)

    served = set()
    for s in read_sections(args.airports):
        if "station" in s:
            served.add(s["station"].strip().lower())

    count = {}
    for s in read_sections(args.places):
        pair = parse_pair(s.get("station"))
        if pair:
            count[pair[0].lower()] = count.get(pair[0].lower(), 0) + 1

    stations = []
    no_position = 0
    no_country = 0
    for s in read_sections(args.stations):
        ident = s[""].lower()
        loc = parse_pair(s.get("location"))
        if not loc:
            no_position += 1
            continue
        lat = math.degrees(float(loc[0]))
        lon = math.degrees(float(loc[1]))
        parts = [p.strip() for p in s.get("description", "").split(",") if p.strip()]
        if not parts:
            parts = [ident.upper()]
        country, used = countries.country(parts)
        state = None
        if country and len(parts) - used >= 2:
            state = countries.state(country, parts[len(parts) - used - 1])
        if country == "US" and not state:
            zone = parse_pair(s.get("zone"))
            if zone and re.fullmatch(r"[a-z]{2}z\d{3}", zone[0]):
                state = countries.state("US", zone[0][:2])
        if not country:
            no_country += 1
        stations.append({
            "id": ident.upper(),
            "name": station_name(parts[0], ident),
            "state": state or "--",
            "country": country or "--",
            "lat": lat,
            "lon": lon,
            "count": count.get(ident, 0),
            "rank": 0 if ident in served and INTERNATIONAL.search(s.get("description", "")) else
                    1 if ident in served else 2,
        })

    ranked = sorted(stations, key=lambda st: (st["rank"], -st["count"], st["id"]))
    thinning = Thinning()
    for st in ranked:
        prior = 9
        for p, radius in enumerate(SPACING_KM):
            if thinning.clear_of(st["lat"], st["lon"], p, radius):
                prior = p
                break
        st["prior"] = prior
        thinning.add(st["lat"], st["lon"], prior)

    with open(args.output, "w", encoding="ascii") as out:
        for st in stations:
            out.write("%-20s %-2s %-2s %-5s %d %8.4f %9.4f %4d %5d %d\n" % (
                st["name"], st["state"], st["country"], st["id"], st["prior"], st["lat"], st["lon"],
                9999, 99999, st["count"]))

    by_prior = [0] * 10
    for st in stations:
        by_prior[st["prior"]] += 1
    print("make_sao_cty: %d stations written to %s (%d without a position left out, %d without a "
          "known country); by priority: %s" % (len(stations), args.output, no_position, no_country,
                                               " ".join(str(n) for n in by_prior)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
