#!/usr/bin/env python3
"""Turn the topic templates in themen-src/ into build sources for kapitolo-tool.

A template is a JSON object with the tool's own keys plus a few helpers:

  * text keys (bemerkung, lueckentext, fragentext) may be arrays of lines;
    they are joined with CR LF, as the tool expects;
  * "bild" says how the base image is made:
      {"karte": {"region", "projektion", "dpi", "ebenen": [[gmt args], ...]}}
          a map drawn with GMT; objects give "lon"/"lat" for their spot;
      {"mvg": "bilder/x.mvg"}  a vector drawing rendered by ImageMagick;
          objects give "x"/"y" in pixels of that drawing;
      {"leer": [w, h]}         a plain white page (cloze texts);
  * "objekte" lists the objects; the label anchor is given either as
    "kx"/"ky" (pixels of the base image, may lie in the white margin) or as
    an offset "dx"/"dy" from the spot (pixels).  Without either, the anchor
    sits a few pixels from the spot on the side given by KAusr.

Everything is written to OUTDIR with the same relative path as the template
(x.json + x.png), so sub-folders are kept.

usage: themen.py SRCDIR OUTDIR       prints the relative paths it wrote
"""

import concurrent.futures
import hashlib
import json
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading

sys.dont_write_bytecode = True  # run from the source tree: leave no __pycache__ there
import laender  # noqa: E402

TEXT_KEYS = ("titel", "autor", "bemerkung", "lueckentext", "fragentext")
DOC_KEYS = ("vers", "titel", "autor", "bemerkung", "lueckentext", "fragentext",
            "AnzFrageNummern", "DokTyp", "RandErw", "NumArt", "GeordnetArt")
OBJ_DEFAULTS = {"Cap": "", "KAusr": 0, "TAusr": 0, "Ebene": 0, "Typ": 0,
                "Sline": 0, "Fsize": 0, "KAusrAkt": 0, "FrageNummer": -1}
SKIP_DIRS = {"scripts", "tests", "bilder", "__pycache__"}

# A label as the program draws it: Arial at 22 px on a card that is 870 px
# wide, scaled with the card, so these sizes are in 1/870 of the card width.
# The box starts 7 units right of its anchor (KAusr 1), ends 7 left of it (3),
# or sits 2 above (2) or below (4).  A quiz shows a 30-unit badge in its place.
CARD_UNITS = 870.0
LABEL_PX = 22.0
LABEL_H = 29.0
BADGE = 30.0
SIDE_GAP = 7.0
TOP_GAP = 2.0
# Advance widths of Arial (Liberation Sans has the same) in 1/2048 em.
_ARIAL = {}
for _chars, _w in (("ijl\'|", 455), ("ft ,.:;!/I[]", 569), ("r-()", 682),
                   ("\"*", 727), ("cksvxyzJ", 1024), ("_", 1139),
                   ("abdeghnopqu0123456789äöüßL", 1139), ("FTZ", 1251),
                   ("ABEKPSVXYÄ", 1366), ("CDHNRUwÜ", 1479), ("GOQÖ", 1593),
                   ("mM", 1706), ("W", 1933), ("–", 1139)):
    for _c in _chars:
        _ARIAL[_c] = _w


def text_units(text):
    """Width of one line of text in card units."""
    return sum(_ARIAL.get(c, 1139) for c in text) * LABEL_PX / 2048.0


def caption_units(cap):
    lines = cap.split("\r\n")
    return (max(text_units(line) for line in lines),
            LABEL_H + (len(lines) - 1) * 25.0)


ANCHOR_GAP = 8.0      # default distance between a spot and its label, pixels
# Offset of the label anchor from the spot for each KAusr without dx/dy.
DEFAULT_OFFSET = {0: (ANCHOR_GAP, 0), 1: (ANCHOR_GAP, 0), 2: (0, -ANCHOR_GAP),
                  3: (-ANCHOR_GAP, 0), 4: (0, ANCHOR_GAP)}

# ImageMagick itself, not whatever "convert" comes first on the PATH.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
PNG_FLAGS = ["-define", "png:exclude-chunks=date,time", "-strip"]


class TemplateError(Exception):
    pass


def find_templates(srcdir):
    """Relative paths of all topic templates below srcdir, sorted."""
    found = []
    for root, dirs, files in os.walk(srcdir):
        dirs[:] = sorted(d for d in dirs if d not in SKIP_DIRS)
        for name in files:
            if name.endswith(".json"):
                found.append(os.path.relpath(os.path.join(root, name), srcdir))
    return sorted(found)


def join_lines(value):
    if isinstance(value, list):
        return "\r\n".join(value)
    return value


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise TemplateError(f"{path}: not a PNG file")
    return struct.unpack(">II", head[16:24])


def run(cmd, cwd, env=None):
    res = subprocess.run(cmd, cwd=cwd, env=env, capture_output=True, text=True)
    if res.returncode != 0:
        raise TemplateError(f"{' '.join(cmd)} failed:\n{res.stderr}")
    return res.stdout


# ---------------------------------------------------------------- images

_borders = {}
_borders_lock = threading.Lock()


def state_borders():
    """The inner borders of Germany as a GMT table, made once per run."""
    with _borders_lock:
        if "text" not in _borders:
            _borders["text"] = laender.gmt_lines(laender.inner_borders(laender.load()))
        return _borders["text"]


def uses_state_borders(tpl):
    layers = ((tpl.get("bild") or {}).get("karte") or {}).get("ebenen", [])
    return any(layer[:1] == ["laender"] for layer in layers)


INSET_FRAME = "0.8p,60/60/60"     # the inset's frame, and the outline of its area on the map
SCALE_FONT = "7p,Helvetica,40/40/40"


def region_outline(region, steps=24):
    """The edge of a region "w/e/s/n" as a closed lon/lat line, with enough
    points that it follows the parallels and meridians of any projection."""
    w, e, s, n = (float(v) for v in region.split("/"))
    edge = ([(w + (e - w) * i / steps, s) for i in range(steps)]
            + [(e, s + (n - s) * i / steps) for i in range(steps)]
            + [(e - (e - w) * i / steps, n) for i in range(steps)]
            + [(w, n - (n - s) * i / steps) for i in range(steps + 1)])
    return "".join(f"{lon:.5f} {lat:.5f}\n" for lon, lat in edge)


def draw_map(karte, png_out, workdir, small=(), decorate=True):
    """Draw a GMT map; returns (project, insets, scale bars): project(points, inset=None)
    turns lon/lat into pixels of the picture, in the main map or in the
    named inset; insets maps each inset's name to its box (x0, y0, x1, y1)
    in pixels.  small: the lon/lat of the tiny areas that the layer "klein"
    rings.  An inset ("ausschnitte") is a map of a small area at a larger
    scale, drawn over a corner of the main map with a white background, a
    frame and a scale bar, its area outlined on the main map.  Without
    decorate the frames, outlines and scale bars are left out (the masks of
    the checks)."""
    region, proj, dpi = karte["region"], karte["projektion"], karte["dpi"]
    rj = ["-R" + region, "-J" + proj]
    env = dict(os.environ)
    # each map gets its own modern-mode session inside our scratch folder
    env["GMT_SESSION_NAME"] = f"{os.getpid()}-{os.path.basename(workdir)}"

    def size(rj):
        return tuple(map(float, run(["gmt", "mapproject"] + rj + ["-W", "-Di"],
                                    workdir, env).split()))

    def layers(rj, ebenen):
        for layer in ebenen:
            if layer[0] == "laender":
                # the borders between the German states, drawn as lines
                table = os.path.join(workdir, "laender.txt")
                with open(table, "w") as f:
                    f.write(state_borders())
                run(["gmt", "plot", table] + rj + layer[1:], workdir, env)
            elif layer[0] == "klein":
                # a ring around each tiny state or city state, as atlases mark them
                table = os.path.join(workdir, "klein.txt")
                with open(table, "w") as f:
                    f.write("".join(f"{lon} {lat}\n" for lon, lat in small))
                run(["gmt", "plot", table] + rj + layer[1:], workdir, env)
            else:
                run(["gmt"] + layer[:1] + rj + layer[1:], workdir, env)

    w_in, h_in = size(rj)
    insets = {}
    for inset in karte.get("ausschnitte", []):
        if not inset["projektion"].startswith("M") or not inset["projektion"].endswith("i"):
            raise TemplateError(f"inset {inset['name']!r}: Mercator in inches (M…i) only")
        irj = ["-R" + inset["region"], "-J" + inset["projektion"]]
        iw, ih = size(irj)
        x, y = inset["ort"]
        # the frame's pen reaches half its width outside the inset
        if x < 0.02 or y < 0.02 or x + iw > w_in - 0.02 or y + ih > h_in - 0.02:
            raise TemplateError(f"inset {inset['name']!r} does not fit into the map")
        insets[inset["name"]] = (irj, x, y, iw, ih)

    stem = "karte"
    run(["gmt", "begin", stem, "png", f"E{dpi}"], workdir, env)
    try:
        layers(rj, karte["ebenen"])
        for inset in karte.get("ausschnitte", []):
            irj, x, y, iw, ih = insets[inset["name"]]
            if decorate:
                table = os.path.join(workdir, "ausschnitt.txt")
                with open(table, "w") as f:
                    f.write(region_outline(inset["region"]))
                run(["gmt", "plot", table] + rj + ["-A", "-W" + INSET_FRAME], workdir, env)
            frame = ["-F+gwhite+p" + INSET_FRAME] if decorate else []
            run(["gmt", "inset", "begin", f"-Dx{x}i/{y}i+w{iw}i/{ih}i"] + frame,
                workdir, env)
            try:
                layers(irj, inset["ebenen"])
                if decorate and inset.get("massstab"):
                    run(["gmt", "basemap"] + irj
                        + [f"-LjBR+w{inset['massstab']}+o0.06i/0.13i",
                           "-F+gwhite@20+c0.02i/0.03i/0.01i/0.01i",
                           "--FONT_ANNOT_PRIMARY=" + SCALE_FONT,
                           "--FONT_LABEL=" + SCALE_FONT, "--MAP_SCALE_HEIGHT=3p",
                           "--MAP_TICK_PEN_PRIMARY=0.5p,40/40/40"], workdir, env)
            finally:
                run(["gmt", "inset", "end"], workdir, env)
    finally:
        run(["gmt", "end"], workdir, env)
    shutil.move(os.path.join(workdir, stem + ".png"), png_out)

    w_px, h_px = png_size(png_out)
    # ghostscript rounds the page up to whole pixels; more than that would
    # mean something else (a frame, a title) widened the picture
    if abs(w_in * dpi - w_px) > 2 or abs(h_in * dpi - h_px) > 2:
        raise TemplateError(f"{png_out}: {w_px}x{h_px} px, expected "
                            f"{w_in * dpi:.0f}x{h_in * dpi:.0f}")
    # the PNG may carry one partly covered pixel more at the right and
    # bottom edge; the map itself starts at pixel 0
    pad = h_px - h_in * dpi

    def project(points, inset=None):
        if not points:
            return []
        if inset is None:
            prj, x0, y0 = rj, 0.0, 0.0
        elif inset in insets:
            prj, x0, y0 = insets[inset][:3]
        else:
            raise TemplateError(f"no inset named {inset!r}")
        text = "".join(f"{lon} {lat}\n" for lon, lat in points)
        res = subprocess.run(["gmt", "mapproject"] + prj + ["-Di"], input=text,
                             cwd=workdir, env=env, capture_output=True,
                             text=True, check=True)
        out = []
        for line in res.stdout.split("\n"):
            if line.strip():
                x, y = map(float, line.split()[:2])
                out.append(((x0 + x) * dpi, (h_in - y0 - y) * dpi + pad))
        return out

    boxes = {name: (x * dpi, (h_in - y - ih) * dpi + pad, (x + iw) * dpi, (h_in - y) * dpi + pad)
             for name, (_, x, y, iw, ih) in insets.items()}
    bars = [scale_bar_box(inset, boxes[inset["name"]], dpi)
            for inset in karte.get("ausschnitte", []) if inset.get("massstab")]
    return project, boxes, bars


def scale_bar_box(inset, box, dpi):
    """The box that an inset's scale bar, its text and background take in
    the bottom right corner of the inset's box (pixels)."""
    x0, y0, x1, y1 = box
    w = scale_bar_inches(inset) + 0.16
    return (x1 - w * dpi, y1 - 0.22 * dpi, x1, y1)


def scale_bar_inches(inset):
    """Length of an inset's scale bar ("50k": 50 km at the middle latitude
    of its Mercator map, as GMT draws it)."""
    km = float(inset["massstab"].rstrip("k"))
    w, e, s, n = (float(v) for v in inset["region"].split("/"))
    width_in = float(inset["projektion"][1:].rstrip("i"))
    return km / ((e - w) * 111.32 * math.cos(math.radians((s + n) / 2))) * width_in


def render_mvg(mvg_path, png_out, workdir):
    run([CONVERT, "mvg:" + mvg_path] + PNG_FLAGS + ["PNG24:" + png_out],
        workdir)


def blank_page(size, png_out, workdir):
    w, h = size
    run([CONVERT, "-size", f"{w}x{h}", "xc:white"] + PNG_FLAGS
        + ["PNG24:" + png_out], workdir)


# ---------------------------------------------------------------- objects

def card_geometry(img_w, img_h, rand):
    left, top, right, bottom = rand
    return (img_w * (1 + left + right), img_h * (1 + top + bottom),
            img_w * left, img_h * top)


def box_at(kx, ky, side, w, h, unit):
    """Box (x0, y0, x1, y1) of w x h units drawn at anchor (kx, ky) on side
    KAusr, in card pixels; unit is card pixels per unit."""
    w, h = w * unit, h * unit
    if side == 2:
        return (kx - w / 2, ky - h - TOP_GAP * unit, kx + w / 2, ky - TOP_GAP * unit)
    if side == 3:
        return (kx - w - SIDE_GAP * unit, ky - h / 2, kx - SIDE_GAP * unit, ky + h / 2)
    if side == 4:
        return (kx - w / 2, ky + TOP_GAP * unit, kx + w / 2, ky + h + TOP_GAP * unit)
    return (kx + SIDE_GAP * unit, ky - h / 2, kx + w + SIDE_GAP * unit, ky + h / 2)


def label_box(obj, card_w, card_h):
    """Box (x0, y0, x1, y1) in card pixels that the label of obj covers, or
    its quiz badge, whichever is larger."""
    w, h = caption_units(obj["Cap"])
    return box_at(obj["Kx"] * card_w, obj["Ky"] * card_h, obj["KAusr"],
                  max(w, BADGE), max(h, BADGE), card_w / CARD_UNITS)


def badge_box(obj, card_w, card_h):
    return box_at(obj["Kx"] * card_w, obj["Ky"] * card_h, obj["KAusr"],
                  BADGE, BADGE, card_w / CARD_UNITS)


def boxes_overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def segments_cross(p1, p2, q1, q2):
    def side(a, b, c):
        return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
    return (side(p1, p2, q1) * side(p1, p2, q2) < 0
            and side(q1, q2, p1) * side(q1, q2, p2) < 0)


def segment_hits_box(p, q, box):
    x0, y0, x1, y1 = box
    if any(x0 <= x <= x1 and y0 <= y <= y1 for x, y in (p, q)):
        return True
    corners = [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
    return any(segments_cross(p, q, corners[i], corners[(i + 1) % 4])
               for i in range(4))


# Directions tried for a leader line, in order of preference.
LEADER_DIRS = [(1, 0), (-1, 0), (0, -1), (0, 1), (1, -1), (-1, -1), (1, 1), (-1, 1),
               (2, -1), (-2, -1), (2, 1), (-2, 1), (1, -2), (-1, -2), (1, 2), (-1, 2)]
LEADER_LENGTHS = (40, 60, 85, 115, 150, 190, 240, 300, 360)


def sheet_box(obj, card_w, card_h):
    """Box of obj's answer field on a worksheet: the label box widened by
    36 % of its width away from the anchor, by 1 % of the card on both sides
    and by 10 % of its height above and below, as the worksheet draws it."""
    unit = card_w / CARD_UNITS
    w, h = caption_units(obj["Cap"])
    x0, y0, x1, y1 = label_box(obj, card_w, card_h)
    m = 0.18 * max(w, BADGE) * unit
    side = obj["KAusr"]
    if side == 1:
        x1 += 2 * m
    elif side == 3:
        x0 -= 2 * m
    else:
        x0, x1 = x0 - m, x1 + m
    grow_x, grow_y = 0.01 * card_w, 0.1 * max(h, BADGE) * unit
    return (x0 - grow_x, y0 - grow_y, x1 + grow_x, y1 + grow_y)


def auto_place(result, srcs, card_w, card_h, insets=None, blocked=(), near=False):
    """Give every object marked for automatic placement a side, and where
    the label does not fit next to its spot, a leader line to a free place.
    A place where the wider field of the worksheet fits too is preferred;
    within that, the first free place in a fixed order wins, so the result
    only depends on the template.  insets: {name: box in card pixels}; a
    label and its leader line keep off every inset but the one its spot
    lies in; no label covers a box of blocked (the insets' scale bars).
    With near, a label takes the nearest free place, even where the wider
    field of a worksheet does not fit (the dense samples of capitals)."""
    insets = insets or {}
    unit = card_w / CARD_UNITS
    margin = 3 * unit
    spots = [(o["Sx"] * card_w, o["Sy"] * card_h) for o in result]
    boxes, sheet_boxes = list(blocked), list(blocked)
    leaders = []
    for n, (o, src) in enumerate(zip(result, srcs)):
        if not src.get("_auto"):
            if o["Typ"] in (0, 1) and o["Cap"]:
                boxes.append(label_box(o, card_w, card_h))
                sheet_boxes.append(sheet_box(o, card_w, card_h) if o["Typ"] == 0 else boxes[-1])
            elif o["Typ"] in (2, 4, 5):
                boxes.append(badge_box(o, card_w, card_h))
            if o["Sline"]:
                leaders.append((spots[n], (o["Kx"] * card_w, o["Ky"] * card_h)))

    def crowding(i):
        return min((length_of(*spots[i], *p) for j, p in enumerate(spots) if j != i),
                   default=0)

    def inside(box):
        return (box[0] >= margin and box[1] >= margin and box[2] <= card_w - margin
                and box[3] <= card_h - margin)

    def free(i, kx, ky, side, line, box):
        sx, sy = spots[i]
        if not inside(box) or any(boxes_overlap(box, b) for b in boxes):
            return False
        others = [b for name, b in insets.items() if name != srcs[i].get("ausschnitt")]
        if any(boxes_overlap(box, b) for b in others):
            return False
        if line and any(segment_hits_box((sx, sy), (kx, ky), b) for b in others):
            return False
        # nor may the label cover a leader line drawn before it
        if any(segment_hits_box(*seg, box) for seg in leaders):
            return False
        grown = (box[0] - margin, box[1] - margin, box[2] + margin, box[3] + margin)
        if any(grown[0] < x < grown[2] and grown[1] < y < grown[3]
               for j, (x, y) in enumerate(spots) if j != i or line):
            return False
        if line:
            seg = ((sx, sy), (kx, ky))
            if any(segments_cross(*seg, *other) for other in leaders):
                return False
            if any(segment_hits_box(*seg, b) for b in boxes):
                return False
            if any(j != i and (x - sx) * (kx - x) + (y - sy) * (ky - y) > 0
                   and abs((kx - sx) * (y - sy) - (ky - sy) * (x - sx))
                   / (length_of(sx, sy, kx, ky) or 1) < margin
                   for j, (x, y) in enumerate(spots)):
                return False
        return True

    # the most crowded spots first: they have the fewest free places
    order = sorted((i for i, src in enumerate(srcs) if src.get("_auto")), key=crowding)
    for i in order:
        o, src = result[i], srcs[i]
        sx, sy = spots[i]
        # a tiny area ("klein") always gets a leader line that points into it
        rings = [] if src.get("klein") else [[(sx, sy, side, 0) for side in (1, 3, 2, 4)]]
        for length in LEADER_LENGTHS:
            rings.append([])
            for dx, dy in LEADER_DIRS:
                n = (dx * dx + dy * dy) ** 0.5
                kx, ky = sx + dx / n * length * unit, sy + dy / n * length * unit
                side = 1 if dx > 0 else 3 if dx < 0 else 2 if dy < 0 else 4
                rings[-1].append((kx, ky, side, 1))
        if near:
            # the nearest free place; room for the worksheet decides only
            # between places at the same distance
            passes = [(ring, for_sheet) for ring in rings for for_sheet in (True, False)]
        else:
            passes = [(c, for_sheet) for for_sheet in (True, False)
                      for c in [[c for ring in rings for c in ring]]]
        chosen = None
        for candidates, for_sheet in passes:
            for kx, ky, side, line in candidates:
                trial = dict(o, KAusr=side, Kx=kx / card_w, Ky=ky / card_h)
                box = label_box(trial, card_w, card_h)
                sbox = sheet_box(trial, card_w, card_h)
                if for_sheet and (not inside(sbox)
                                  or any(boxes_overlap(sbox, b) for b in sheet_boxes)
                                  or any(sbox[0] < x < sbox[2] and sbox[1] < y < sbox[3]
                                         for j, (x, y) in enumerate(spots) if j != i)):
                    continue
                if free(i, kx, ky, side, line, box):
                    chosen = (kx, ky, side, line, box, sbox)
                    break
            if chosen:
                break
        if not chosen:
            raise TemplateError(f"no free place for the label {o['Cap']!r}")
        kx, ky, side, line, box, sbox = chosen
        o["KAusr"], o["Sline"] = side, line
        o["Kx"], o["Ky"] = round(kx / card_w, 5), round(ky / card_h, 5)
        boxes.append(box)
        sheet_boxes.append(sbox)
        if line:
            leaders.append(((sx, sy), (kx, ky)))


def length_of(x0, y0, x1, y1):
    return ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5


def place_objects(objekte, spots, img_w, img_h, rand, auto=False, insets=None,
                  blocked=(), near=False):
    """Build the tool's object list; spots[i] is the spot of objekte[i] in
    pixels of the base image.  With auto, labels (Typ 0) that give neither
    an anchor nor a side are placed by auto_place; insets ({name: box in
    pixels of the base image}) are kept free of the others' labels, the
    boxes of blocked free of all labels; near: see auto_place."""
    card_w, card_h, off_x, off_y = card_geometry(img_w, img_h, rand)
    result = []
    srcs = []
    for src, (sx, sy) in zip(objekte, spots):
        obj = dict(OBJ_DEFAULTS)
        for key in OBJ_DEFAULTS:
            if key in src:
                obj[key] = src[key]
        obj["Cap"] = join_lines(obj["Cap"])
        is_auto = auto and obj["Typ"] == 0 and not any(
            k in src for k in ("kx", "dx", "KAusr"))
        srcs.append(dict(src, _auto=is_auto))
        if "kx" in src:
            kx, ky = src["kx"], src["ky"]
        else:
            dx, dy = DEFAULT_OFFSET[obj["KAusr"]]
            kx, ky = sx + src.get("dx", dx), sy + src.get("dy", dy)
        obj["Sx"] = round((off_x + sx) / card_w, 5)
        obj["Sy"] = round((off_y + sy) / card_h, 5)
        obj["Kx"] = round((off_x + kx) / card_w, 5)
        obj["Ky"] = round((off_y + ky) / card_h, 5)
        for name in ("Sx", "Sy"):
            if not 0.0 <= obj[name] <= 1.0:
                raise TemplateError(f"object {obj['Cap'][:30]!r}: {name}="
                                    f"{obj[name]} lies outside the card")
        result.append(obj)
    if auto:
        def card(box):
            x0, y0, x1, y1 = box
            return (x0 + off_x, y0 + off_y, x1 + off_x, y1 + off_y)
        auto_place(result, srcs, card_w, card_h,
                   {name: card(box) for name, box in (insets or {}).items()},
                   [card(box) for box in blocked], near)
    for obj in result:
        for name in ("Kx", "Ky"):
            if not 0.0 <= obj[name] <= 1.0:
                raise TemplateError(f"object {obj['Cap'][:30]!r}: {name}="
                                    f"{obj[name]} lies outside the card")
    return [{k: obj[k] for k in ("Sx", "Sy", "Kx", "Ky", "Cap", "KAusr", "TAusr",
                                 "Ebene", "Typ", "Sline", "Fsize", "KAusrAkt",
                                 "FrageNummer")} for obj in result]


# ---------------------------------------------------------------- build

def build_one(srcdir, rel, outdir, workdir):
    src_path = os.path.join(srcdir, rel)
    with open(src_path, encoding="utf-8") as f:
        tpl = json.load(f)

    doc = {"vers": "1.00"}
    for key in DOC_KEYS:
        if key in tpl:
            doc[key] = join_lines(tpl[key]) if key in TEXT_KEYS else tpl[key]

    out_json = os.path.join(outdir, rel)
    os.makedirs(os.path.dirname(out_json), exist_ok=True)
    stem = os.path.splitext(os.path.basename(rel))[0]
    png_out = os.path.join(os.path.dirname(out_json), stem + ".png")

    bild = tpl.get("bild")
    objekte = tpl.get("objekte", [])
    insets, scale_bars = {}, []
    if bild is not None:
        if "karte" in bild:
            project, insets, scale_bars = draw_map(
                bild["karte"], png_out, workdir,
                [(o["lon"], o["lat"]) for o in objekte
                 if o.get("klein") and not o.get("ausschnitt")])
            # the spots of the main map and of each inset, in template order
            spots = [None] * len(objekte)
            for name in [None] + sorted(insets):
                mine = [i for i, o in enumerate(objekte) if o.get("ausschnitt") == name]
                for i, p in zip(mine, project([(objekte[i]["lon"], objekte[i]["lat"])
                                               for i in mine], name)):
                    spots[i] = p
            if any(p is None for p in spots):
                raise TemplateError(f"{rel}: an object names an inset the map lacks")
        elif "mvg" in bild:
            mvg = os.path.join(os.path.dirname(src_path), bild["mvg"])
            render_mvg(mvg, png_out, workdir)
            spots = [(o["x"], o["y"]) for o in objekte]
        elif "leer" in bild:
            blank_page(bild["leer"], png_out, workdir)
            spots = [(o["x"], o["y"]) for o in objekte]
        else:
            raise TemplateError(f"{rel}: unknown kind of image {bild}")
        doc["image"] = stem + ".png"
        w, h = png_size(png_out)
        rand = doc.get("RandErw", [0, 0, 0, 0])
        if objekte:
            mode = tpl.get("platzierung")
            if mode not in (None, "auto", "nah"):
                raise TemplateError(f"{rel}: unknown placement {mode!r}")
            doc["objects"] = place_objects(objekte, spots, w, h, rand, mode in ("auto", "nah"),
                                           insets, scale_bars, mode == "nah")
    elif objekte:
        raise TemplateError(f"{rel}: objects need an image")

    with open(out_json, "w", encoding="utf-8", newline="\n") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)
        f.write("\n")
    return rel


def drawing_calls(srcdir, rel):
    """How many GMT layers a template draws, its insets' included: a
    measure of how long its picture takes."""
    try:
        with open(os.path.join(srcdir, rel), encoding="utf-8") as f:
            karte = (json.load(f).get("bild") or {}).get("karte") or {}
    except (OSError, ValueError, AttributeError):
        return 0   # build_one reports what is wrong with it
    return len(karte.get("ebenen", [])) + sum(len(i.get("ebenen", [])) + 2
                                              for i in karte.get("ausschnitte", []))


def cache_key(srcdir, rel, gmt_version):
    """Everything a build source depends on: these scripts, the template, a
    drawing it names, the outlines of the states it draws, and the GMT
    that draws the maps."""
    h = hashlib.sha256()
    for script in (__file__, laender.__file__):
        with open(os.path.abspath(script), "rb") as f:
            h.update(f.read())
    h.update(gmt_version.encode() + b"\0" + rel.encode() + b"\0")
    src_path = os.path.join(srcdir, rel)
    with open(src_path, "rb") as f:
        data = f.read()
    h.update(data)
    tpl = json.loads(data)
    if uses_state_borders(tpl):
        h.update(laender.data_hash().encode())
    bild = tpl.get("bild") or {}
    if "mvg" in bild:
        with open(os.path.join(os.path.dirname(src_path), bild["mvg"]), "rb") as f:
            h.update(f.read())
    return h.hexdigest()


def build_cached(srcdir, rel, outdir, workdir, cache, gmt_version):
    """build_one, or a copy of what an earlier run built from the same inputs."""
    if cache is None:
        return build_one(srcdir, rel, outdir, workdir)
    key = cache_key(srcdir, rel, gmt_version)
    out_json = os.path.join(outdir, rel)
    stem = os.path.splitext(os.path.basename(rel))[0]
    out_png = os.path.join(os.path.dirname(out_json), stem + ".png")
    entry = os.path.join(cache, key)
    if os.path.exists(entry + ".json"):
        os.makedirs(os.path.dirname(out_json), exist_ok=True)
        shutil.copyfile(entry + ".json", out_json)
        if os.path.exists(entry + ".png"):
            shutil.copyfile(entry + ".png", out_png)
        return rel
    build_one(srcdir, rel, outdir, workdir)
    # another run may fill the same entry at the same time: write under a
    # name of our own, rename into place, the picture before the source
    for src, ext in ((out_png, ".png"), (out_json, ".json")):
        if os.path.exists(src):
            tmp = f"{entry}.{os.getpid()}.{os.path.basename(workdir)}{ext}"
            shutil.copyfile(src, tmp)
            os.replace(tmp, entry + ext)
    return rel


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: themen.py SRCDIR OUTDIR\n")
        return 2
    srcdir, outdir = (os.path.abspath(p) for p in argv[1:])
    os.makedirs(outdir, exist_ok=True)
    cache = os.environ.get("KAPITOLO_THEMEN_CACHE") or None
    gmt_version = ""
    if cache:
        cache = os.path.abspath(cache)
        os.makedirs(cache, exist_ok=True)
        gmt_version = run(["gmt", "--version"], outdir).strip()
    workroot = tempfile.mkdtemp(prefix="work-", dir=outdir)
    templates = find_templates(srcdir)
    failed = False
    try:
        # GMT spends much of its time waiting for its data files: two maps
        # at a time; the maps with the most GMT calls (insets) start first,
        # so that no long map is left running alone at the end
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            jobs = {}
            for n, rel in sorted(enumerate(templates),
                                 key=lambda item: -drawing_calls(srcdir, item[1])):
                workdir = os.path.join(workroot, str(n))
                os.mkdir(workdir)
                jobs[rel] = pool.submit(build_cached, srcdir, rel, outdir, workdir,
                                        cache, gmt_version)
            for rel, job in ((rel, jobs[rel]) for rel in templates):
                try:
                    print(job.result())
                except (TemplateError, KeyError, ValueError, OSError) as err:
                    sys.stderr.write(f"{rel}: {err}\n")
                    failed = True
    finally:
        shutil.rmtree(workroot, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
