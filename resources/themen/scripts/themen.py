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
import ctypes
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


def caption_units(cap, fsize=0):
    """Width and height of a caption in card units; fsize is the object's
    Fsize, which the program adds twice to the font's 22 px."""
    lines = cap.split("\r\n")
    scale = (LABEL_PX + 2 * fsize) / LABEL_PX
    return (max(text_units(line) for line in lines) * scale,
            (LABEL_H + (len(lines) - 1) * 25.0) * scale)


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


class _Library:
    """GMT's modules called in this process through libgmt (set up by
    use_gmt_library), which spares a map of a dozen GMT programs their
    start: a third of the time the library takes to draw."""
    lib = api = None
    CMD = 0


def use_gmt_library():
    """Run GMT's modules in this process from now on, if libgmt can be
    loaded; for a process that draws one map after the other (the workers
    of main), never for several threads."""
    if os.environ.get("KAPITOLO_GMT_PROGRAMME"):
        return False    # GMT as programs, as the checks of the cache want it
    try:
        lib = ctypes.CDLL("libgmt.so.6")
    except OSError:
        return False
    lib.GMT_Create_Session.restype = ctypes.c_void_p
    lib.GMT_Create_Session.argtypes = [ctypes.c_char_p, ctypes.c_uint, ctypes.c_uint,
                                       ctypes.c_void_p]
    lib.GMT_Call_Module.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int,
                                    ctypes.c_char_p]
    lib.GMT_Get_Enum.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    # a modern-mode session of its own for this process
    os.environ["GMT_SESSION_NAME"] = f"{os.getpid()}-bibliothek"
    api = lib.GMT_Create_Session(b"kapitolo", 2, 0, None)
    if not api:
        return False
    _Library.lib, _Library.api = lib, api
    _Library.CMD = lib.GMT_Get_Enum(api, b"GMT_MODULE_CMD")
    return True


def run(cmd, cwd, env=None, stdin=None):
    if cmd[0] == "gmt" and _Library.api and len(cmd) > 1 and not cmd[1].startswith("-"):
        return _run_in_library(cmd[1], cmd[2:], cwd, stdin)
    res = subprocess.run(cmd, cwd=cwd, env=env, input=stdin, capture_output=True, text=True)
    if res.returncode != 0:
        raise TemplateError(f"{' '.join(cmd)} failed:\n{res.stderr}")
    return res.stdout


def _run_in_library(module, args, cwd, stdin):
    """A GMT module in this process: input through a file, the output of a
    table module ("->file") read back."""
    if stdin is not None:
        path = os.path.join(cwd, "gmt-eingabe.txt")
        with open(path, "w") as f:
            f.write(stdin)
        args = [path] + list(args)
    out = os.path.join(cwd, "gmt-ausgabe.txt") if module in ("mapproject", "select") else None
    if out:
        args = list(args) + ["->" + out]
    if any(" " in a or not a for a in args):
        raise TemplateError(f"gmt {module}: an argument with a blank: {args}")
    here = os.getcwd()
    os.chdir(cwd)
    try:
        code = _Library.lib.GMT_Call_Module(_Library.api, module.encode(), _Library.CMD,
                                            " ".join(args).encode())
    finally:
        os.chdir(here)
    if code != 0:
        raise TemplateError(f"gmt {module} {' '.join(args)} failed ({code})")
    if out:
        with open(out) as f:
            text = f.read()
        os.remove(out)
        return text
    return ""


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

# What kind of feature a label names ("art"), which decides how the map shows
# it and what the checks hold its spot to.  A point feature gets a marker as
# atlases draw them, and its label stands beside the marker; an area's name
# stands inside the area (or, where it does not fit, at the end of a leader
# line that points into it); a line feature (a river, a line of the
# graticule) is named beside the line.
MARKER_ARTS = ("stadt", "landeshauptstadt", "hauptstadt", "gipfel", "gebirge")
AREA_ARTS = ("staat", "bundesland", "meer", "see", "kontinent", "insel", "halbinsel",
             "landschaft", "wueste", "zone")
LINE_ARTS = ("fluss", "linie")
ARTS = MARKER_ARTS + AREA_ARTS + LINE_ARTS

# The markers, as "gmt plot -S" draws them from a table: each symbol a list
# of (size in inches, GMT symbol code, segment options).  A town is a dot, a
# state capital a dot in a ring, a capital a square in a square, a summit
# (and a range, at its main summit) a brown triangle.
MARKERS = {
    "stadt": [(0.075, "c", "-G25 -W0.6p,white")],
    "landeshauptstadt": [(0.105, "c", "-Gwhite -W1p,25"), (0.045, "c", "-G25 -W-")],
    "hauptstadt": [(0.105, "s", "-Gwhite -W1p,25"), (0.05, "s", "-G25 -W-")],
    "gipfel": [(0.13, "t", "-G150/85/40 -W0.6p,40")],
    "gebirge": [(0.13, "t", "-G150/85/40 -W0.6p,40")],
}


def marker_half(art, dpi):
    """Half the width of the marker of art in pixels of a map drawn at dpi (0: none)."""
    return max((size for size, _, _ in MARKERS.get(art, [])), default=0.0) / 2 * dpi


def marker_table(marks):
    """The markers of (art, lon, lat) as a table for "gmt plot -S"."""
    out = []
    for art in MARKER_ARTS:
        points = [(lon, lat) for a, lon, lat in marks if a == art]
        for size, code, opts in (MARKERS[art] if points else []):
            out.append(f"> {opts}\n")
            out.extend(f"{lon} {lat} {size}i {code}\n" for lon, lat in points)
    return "".join(out)


# An inset carries a letter in its top left corner, and the frame of its area
# on the map the same letter beside it: a pupil finds the inset's place even
# where the inset cannot lie next to it.
LETTER_FONT = "9p,Helvetica-Bold,30/30/30"
LETTER_IN = 0.17          # the letter's white square, inches


def region_outline(region, steps=24):
    """The edge of a region "w/e/s/n" as a closed lon/lat line, with enough
    points that it follows the parallels and meridians of any projection."""
    w, e, s, n = (float(v) for v in region.split("/"))
    edge = ([(w + (e - w) * i / steps, s) for i in range(steps)]
            + [(e, s + (n - s) * i / steps) for i in range(steps)]
            + [(e - (e - w) * i / steps, n) for i in range(steps)]
            + [(w, n - (n - s) * i / steps) for i in range(steps + 1)])
    return "".join(f"{lon:.5f} {lat:.5f}\n" for lon, lat in edge)


def densify(points, step=2.0):
    """A lon/lat line with a point at least every step degrees, so that it
    bends with the parallels and meridians of the projection."""
    out = []
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        n = max(1, int(max(abs(x1 - x0), abs(y1 - y0)) / step))
        out += [(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n) for i in range(n)]
    out.append(tuple(points[-1]))
    return "".join(f"{x:.4f} {y:.4f}\n" for x, y in out)


def named_areas(karte):
    """{name: lon/lat points} of the map's own areas ("flaeche" layers)."""
    return {layer[1]: layer[-1] for layer in karte["ebenen"] if layer[0] == "flaeche"}


def map_resolution(ebenen):
    """The GSHHG resolution (-Dl, -Di ...) the first coast layer draws with."""
    for layer in ebenen:
        if layer[0] == "coast":
            for arg in layer[1:]:
                if arg.startswith("-D"):
                    return arg
    return "-Dl"


def draw_map(karte, png_out, workdir, small=(), decorate=True, marks=()):
    """Draw a GMT map; returns (project, insets, blocked): project(points, inset=None)
    turns lon/lat into pixels of the picture, in the main map or in the
    named inset; insets maps each inset's name to its box (x0, y0, x1, y1)
    in pixels; blocked lists the boxes no label may cover (the insets' scale
    bars and letters).  small: the lon/lat of the tiny areas that the layer
    "klein" rings; marks: (art, lon, lat, inset name or None) of the markers
    of point features.  An inset ("ausschnitte") is a map of a small area at
    a larger scale, drawn over a part of the main map with a white
    background, a frame, a letter and a scale bar, its area outlined on the
    main map and lettered alike.  Without decorate the frames, outlines,
    letters, markers and scale bars are left out (the masks)."""
    region, proj, dpi = karte["region"], karte["projektion"], karte["dpi"]
    rj = ["-R" + region, "-J" + proj]
    env = dict(os.environ)
    # each map gets its own modern-mode session inside our scratch folder
    env["GMT_SESSION_NAME"] = f"{os.getpid()}-{os.path.basename(workdir)}"

    def size(rj):
        return tuple(map(float, run(["gmt", "mapproject"] + rj + ["-W", "-Di"],
                                    workdir, env).split()))

    def table(name, text):
        path = os.path.join(workdir, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def layers(rj, ebenen, inset=None):
        # the areas of the topic's own that only fill, drawn in one call where the
        # first of them stands (above the land they lie on)
        fills = [l for l in ebenen if l[0] == "flaeche" and len(l) == 4 and l[2].startswith("-G")]
        for layer in ebenen:
            if any(layer is f for f in fills):
                if layer is fills[0]:
                    text = "".join(f">{l[2]}\n" + densify(l[-1]) for l in fills)
                    run(["gmt", "plot", table("flaechen.txt", text)] + rj + ["-A"], workdir, env)
            elif layer[0] == "laender":
                # the borders between the German states, drawn as lines
                run(["gmt", "plot", table("laender.txt", state_borders())] + rj + layer[1:],
                    workdir, env)
            elif layer[0] in ("flaeche", "linie"):
                # ["flaeche", NAME, GMT options..., points] fills an area of
                # the topic's own (a landscape, a desert, a zone: schematic,
                # as the data has none); ["linie", GMT options..., points]
                # draws a line (the date line)
                opts = layer[2:-1] if layer[0] == "flaeche" else layer[1:-1]
                # -A: the line is densified here, and GMT's own resampling
                # takes a band around the globe for a polar cap
                run(["gmt", "plot", table("flaeche.txt", densify(layer[-1]))] + rj + opts + ["-A"],
                    workdir, env)
            elif layer[0] == "klein":
                # a ring around each tiny state or city state, as atlases mark them
                run(["gmt", "plot", table("klein.txt", "".join(f"{lon} {lat}\n" for lon, lat in small))]
                    + rj + layer[1:], workdir, env)
            else:
                run(["gmt"] + layer[:1] + rj + layer[1:], workdir, env)
        mine = [(a, lon, lat) for a, lon, lat, where in marks if where == inset]
        if decorate and mine:
            run(["gmt", "plot", table("zeichen.txt", marker_table(mine))] + rj + ["-S"],
                workdir, env)

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

    # where the letters go, in inches from the lower left: in the inset's top
    # left corner, and beside the top left corner of its frame on the map
    # (above and to the left of it, or inside the frame where the map ends)
    letters = []
    if decorate and insets:
        names = [i["name"] for i in karte["ausschnitte"]]
        # "buchstabe": "unten" puts the frame's letter beside its lower left
        # corner instead, where a neighbouring frame lies above it
        below = [i.get("buchstabe") == "unten" for i in karte["ausschnitte"]]
        west_edge = [(i["region"].split("/")[0], i["region"].split("/")[2 if low else 3])
                     for i, low in zip(karte["ausschnitte"], below)]
        corners = run(["gmt", "mapproject"] + rj + ["-Di"], workdir, env,
                      "".join(f"{w} {n}\n" for w, n in west_edge)).split("\n")
        half = LETTER_IN / 2
        for n, (name, line) in enumerate(zip(names, corners)):
            _, x, y, iw, ih = insets[name]
            letter = chr(ord("A") + n)
            letters.append((letter, x + half + 0.03, y + ih - half - 0.03))
            cx, cy = map(float, line.split()[:2])
            lx = cx - half - 0.02
            ly = cy - half - 0.02 if below[n] else cy + half + 0.02
            if lx - half < 0.02:
                lx = cx + half + 0.04
            if ly + half > h_in - 0.02:
                ly = cy - half - 0.04
            if ly - half < 0.02:
                ly = cy + half + 0.04
            letters.append((letter, lx, ly))
        # on whole pixels, so both letters of an inset come out alike
        letters = [(t, round(x * dpi) / dpi, round(y * dpi) / dpi) for t, x, y in letters]

    stem = "karte"
    # in the library, "end" would not crop the page: convert it ourselves
    in_library = _Library.api is not None
    run(["gmt", "begin", stem] + (["ps"] if in_library else ["png", f"E{dpi}"]), workdir, env)
    if in_library:
        # a page that holds any map (a PostScript figure gets only A4)
        run(["gmt", "set", "PS_MEDIA", "40ix40i"], workdir, env)
    try:
        layers(rj, karte["ebenen"])
        for inset in karte.get("ausschnitte", []):
            irj, x, y, iw, ih = insets[inset["name"]]
            if decorate:
                run(["gmt", "plot", table("ausschnitt.txt", region_outline(inset["region"]))]
                    + rj + ["-A", "-W" + INSET_FRAME], workdir, env)
            else:
                # the main map's -R and -J back in GMT's history: a second
                # inset begun right after the first fails in GMT's library
                run(["gmt", "plot", "-T"] + rj, workdir, env)
            frame = ["-F+gwhite+p" + INSET_FRAME] if decorate else []
            run(["gmt", "inset", "begin", f"-Dx{x}i/{y}i+w{iw}i/{ih}i"] + frame,
                workdir, env)
            try:
                layers(irj, inset["ebenen"], inset["name"])
                if decorate and inset.get("massstab"):
                    run(["gmt", "basemap"] + irj
                        + [f"-LjBR+w{inset['massstab']}+o0.06i/0.13i",
                           "-F+gwhite@20+c0.02i/0.03i/0.01i/0.01i",
                           "--FONT_ANNOT_PRIMARY=" + SCALE_FONT,
                           "--FONT_LABEL=" + SCALE_FONT, "--MAP_SCALE_HEIGHT=3p",
                           "--MAP_TICK_PEN_PRIMARY=0.5p,40/40/40"], workdir, env)
            finally:
                run(["gmt", "inset", "end"], workdir, env)
        if letters:
            # the letters in the map's own inches, over everything
            paper = [f"-R0/{w_in}/0/{h_in}", f"-Jx1i"]
            run(["gmt", "text", table("buchstaben.txt",
                                      "".join(f"{x} {y} {t}\n" for t, x, y in letters))]
                + paper + ["-F+f" + LETTER_FONT + "+jCM", "-Gwhite", "-W" + INSET_FRAME,
                           "-C0.045i/0.035i"], workdir, env)
        if in_library:
            run(["gmt", "psconvert", "-A", f"-E{dpi}", "-TG", "-F" + stem], workdir, env)
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
        out = []
        for line in run(["gmt", "mapproject"] + prj + ["-Di"], workdir, env, text).split("\n"):
            if line.strip():
                x, y = map(float, line.split()[:2])
                out.append(((x0 + x) * dpi, (h_in - y0 - y) * dpi + pad))
        return out

    boxes = {name: (x * dpi, (h_in - y - ih) * dpi + pad, (x + iw) * dpi, (h_in - y) * dpi + pad)
             for name, (_, x, y, iw, ih) in insets.items()}
    blocked = [scale_bar_box(inset, boxes[inset["name"]], dpi)
               for inset in karte.get("ausschnitte", []) if inset.get("massstab")]
    half = (LETTER_IN / 2 + 0.01) * dpi
    blocked += [(x * dpi - half, (h_in - y) * dpi + pad - half,
                 x * dpi + half, (h_in - y) * dpi + pad + half) for _, x, y in letters]
    if decorate:
        # nor does a label cross the frame of an inset's area on the map
        for inset in karte.get("ausschnitte", []):
            edge = project([tuple(map(float, line.split())) for line in
                            region_outline(inset["region"], 4).splitlines()])
            for (x0, y0), (x1, y1) in zip(edge, edge[1:]):
                blocked.append((min(x0, x1) - 2, min(y0, y1) - 2, max(x0, x1) + 2, max(y0, y1) + 2))
    return project, boxes, blocked


def letter_boxes(blocked, karte):
    """The boxes of the insets' letters among the blocked boxes draw_map
    returns: two for each inset, its own and that of its frame."""
    bars = sum(1 for i in karte.get("ausschnitte", []) if i.get("massstab"))
    return blocked[bars:bars + 2 * len(karte.get("ausschnitte", []))]


# ---------------------------------------------------------------- masks

# A mask is the map drawn again in flat colours, in its projection and with
# its insets in their places, but without anything on top: the sea, the
# lakes and the land each in a colour of their own, and the countries and
# German states that labels name each in a colour of its own.  It tells
# which area a pixel of the picture shows.
OCEAN, LAKE, LAND = (255, 255, 255), (0, 0, 255), (255, 0, 0)
MASK_SCALE = 0.5          # the masks that placing labels draws: half the picture's resolution
WATER_ARTS = {"meer": OCEAN, "see": LAKE}
LAND_ARTS = ("kontinent", "insel", "halbinsel")


def colour_table(names):
    """A colour of its own for each name, none of them OCEAN, LAKE or LAND."""
    return {c: (20 + (i % 12) * 19, 20 + (i // 12) * 40, 50) for i, c in enumerate(sorted(names))}


def read_pixels(png):
    """(width, height, rgb bytes) of a PNG, through ImageMagick's PPM."""
    ppm = subprocess.run([CONVERT, png, "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    magic, w, h, _maxval, data = ppm.split(maxsplit=4)
    if magic != b"P6":
        raise TemplateError(f"{png}: not read as PPM")
    return int(w), int(h), data


def draw_mask(karte, workdir, codes=(), states=None, scale=1.0):
    """The mask of a map: (width, height, pixels, colours, scale), colours
    giving the colour of each country code in codes (DCW) and of each German
    state in states ({name: rings}, the BKG outlines; the larger drawn
    first, so that a city state covers the hole it leaves in the state
    around it).  scale: the mask's pixels per pixel of the picture (a
    coarser mask is quicker to draw)."""
    colours = colour_table(list(codes) + list(states or {}))
    fills = [f"-E{c}+g%d/%d/%d" % colours[c] for c in sorted(codes)]

    def extent(name):
        lons = [p[0] for ring in states[name] for p in ring]
        lats = [p[1] for ring in states[name] for p in ring]
        return (max(lons) - min(lons)) * (max(lats) - min(lats))

    def layers(ebenen):
        out = [["coast", map_resolution(ebenen), "-S%d/%d/%d" % OCEAN, "-C%d/%d/%d" % LAKE,
                "-G%d/%d/%d" % LAND] + fills]
        if states:
            # all states in one table, each ring with its fill
            table = os.path.join(workdir, "laender-maske.txt")
            with open(table, "w") as f:
                for name in sorted(states, key=extent, reverse=True):
                    for ring in states[name]:
                        f.write(">-G%d/%d/%d\n" % colours[name])
                        f.writelines(f"{x:.5f} {y:.5f}\n" for x, y in ring)
            out.append(["plot", table])
        return out
    drawn = dict(karte, dpi=karte["dpi"] * scale, ebenen=layers(karte["ebenen"]),
                 ausschnitte=[dict(i, ebenen=layers(i["ebenen"]))
                              for i in karte.get("ausschnitte", [])])
    png = os.path.join(workdir, "maske.png")
    draw_map(drawn, png, workdir, decorate=False)
    return read_pixels(png) + (colours, scale)


def box_in_area(mask, box, target, step=3.0):
    """Whether the box (x0, y0, x1, y1, pixels of the picture) lies inside
    the area of colour target in the mask: every point of a grid over it
    shows that colour, but for a few inside a sea or a lake (a small island
    under the sea's name).  target LAND means any land, lakes included."""
    # a small island in a sea may lie under its name, nothing in a country
    share = 0.03 if target in (OCEAN, LAKE) else 0.0
    missing, points = _grid_misses(mask, box, target, step, share)
    return missing <= share * points


def area_share(mask, box, target, step=3.0):
    """The share of the box that shows the area of colour target."""
    missing, points = _grid_misses(mask, box, target, step)
    return 1.0 - missing / points


def mask_colour(mask, x, y):
    """The colour of the mask at (x, y), pixels of the picture; None off it."""
    w, h, px = mask[:3]
    scale = mask[4] if len(mask) > 4 else 1.0
    u, v = int(round(x * scale)), int(round(y * scale))
    if not (0 <= u < w and 0 <= v < h):
        return None
    return tuple(px[3 * (v * w + u):3 * (v * w + u) + 3])


def _grid_misses(mask, box, target, step, stop=None):
    """(points of a grid over box that do not show target, all points); with
    stop, the count ends as soon as it passes that share of the points (the
    box's rim is looked at first, where a box that does not fit leaves)."""
    def shows(x, y):
        c = mask_colour(mask, x, y)
        # a continent's or an island's land holds its lakes
        return c is not None and (c != OCEAN if target == LAND else c == target)
    x0, y0, x1, y1 = box
    nx, ny = max(2, int((x1 - x0) / step) + 1), max(2, int((y1 - y0) / step) + 1)
    xs = [x0 + (x1 - x0) * i / (nx - 1) for i in range(nx)]
    ys = [y0 + (y1 - y0) * j / (ny - 1) for j in range(ny)]
    rim = [(x, y) for x in xs for y in (ys[0], ys[-1])] + [(x, y) for x in (xs[0], xs[-1])
                                                          for y in ys[1:-1]]
    inner = [(x, y) for x in xs[1:-1] for y in ys[1:-1]]
    total = len(xs) * len(ys)
    limit = total if stop is None else stop * total
    missing = 0
    for x, y in rim + inner:
        if not shows(x, y):
            missing += 1
            if missing > limit:
                break
    return missing, total


def line_over(mask, p, q, colours, step=3.0):
    """Whether the segment p-q (pixels of the picture) crosses nothing but
    the given colours of the mask, but for a few points (a cape, an island)."""
    n = max(2, int(length_of(*p, *q) / step) + 1)
    off = sum(mask_colour(mask, p[0] + (q[0] - p[0]) * k / (n - 1),
                          p[1] + (q[1] - p[1]) * k / (n - 1)) not in colours for k in range(n))
    return off <= 0.15 * n


def area_target(obj, colours):
    """The mask colour of the area an object names, or None where the mask
    does not show it (a landscape, a desert, a zone: the checks hold those
    to their outlines)."""
    art = obj.get("art")
    if art == "staat":
        return colours.get(obj.get("in"))
    if art == "bundesland":
        return colours.get(obj.get("bundesland"))
    if art in WATER_ARTS:
        return WATER_ARTS[art]
    if art in LAND_ARTS:
        return LAND
    return None


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
    w, h = caption_units(obj["Cap"], obj.get("Fsize", 0))
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
               (2, -1), (-2, -1), (2, 1), (-2, 1), (1, -2), (-1, -2), (1, 2), (-1, 2),
               (3, -1), (-3, -1), (3, 1), (-3, 1), (1, -3), (-1, -3), (1, 3), (-1, 3)]
LEADER_LENGTHS = (40, 50, 60, 72, 85, 100, 115, 130, 150, 170, 190, 215, 240, 270, 300, 330, 360)
# An area's name that needs a leader line goes onto the sea where one of the
# first SEA_RINGS lengths reaches it, before it goes onto a neighbour's land.
SEA_RINGS = 4
# the areas whose names go out onto the sea: states, seas, islands and
# peninsulas (a lake's name stays on the land around it)
SEA_LABELS = ("staat", "bundesland", "meer", "insel", "halbinsel")
# a label counts as one on the sea where this share of its box shows sea
# (a cape or a small island under it does no harm)
SEA_SHARE = 0.6


def sheet_box(obj, card_w, card_h):
    """Box of obj's answer field on a worksheet: the label box widened by
    36 % of its width away from the anchor, by 1 % of the card on both sides
    and by 10 % of its height above and below, as the worksheet draws it."""
    unit = card_w / CARD_UNITS
    w, h = caption_units(obj["Cap"], obj.get("Fsize", 0))
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


def keep_out(spot, half, margin):
    """The box around a spot that no other label may cover: its marker (half
    its width, card pixels; 0 for none) and a margin."""
    x, y = spot
    r = half + margin
    return (x - r, y - r, x + r, y + r)


# Shifts of an area's name from its spot, in card units: the name stays
# centred on the spot where it can, else moves a little within the area, the
# nearest shift first (a vertical shift counts more, as names are wide).
AREA_SHIFTS = sorted(((dx, dy) for dx in range(-64, 65, 8) for dy in range(-40, 41, 8)),
                     key=lambda d: (d[0] ** 2 + (1.5 * d[1]) ** 2, d))


def centred_anchor(cx, cy, obj, unit):
    """Anchor (placement 4, below) of a box centred on (cx, cy), card pixels."""
    w, h = caption_units(obj["Cap"], obj.get("Fsize", 0))
    return cx, cy - (max(h, BADGE) / 2 + TOP_GAP) * unit


def auto_place(result, srcs, card_w, card_h, insets=None, blocked=(), near=False,
               halves=None, area_ok=None, on_sea=None):
    """Give every object marked for automatic placement a side, and where
    the label does not fit next to its spot, a leader line to a free place.
    A place where the wider field of the worksheet fits too is preferred;
    within that, the first free place in a fixed order wins, so the result
    only depends on the template.  insets: {name: box in card pixels}; a
    label and its leader line keep off every inset but the one its spot
    lies in, and the label of a spot in an inset stays inside that inset; no
    label covers a box of blocked (the insets' scale bars and letters).
    halves[i]: half the width of the marker at spot i (card pixels), which
    no label covers, its own included.  An area's name (area_ok[i] is a
    test of a box) is centred on its spot, or moved a little, as long as
    the test says the box lies inside the area; where it fits nowhere, it
    gets a leader line like a point; that line leads first onto the sea
    (on_sea[i]: a test of a box and its leader line), as long as it stays
    short, and only then onto a neighbour's land.  With near, a label takes
    the nearest
    free place, even where the wider field of a worksheet does not fit (the
    dense samples of capitals)."""
    insets = insets or {}
    on_sea = on_sea or [None] * len(result)
    unit = card_w / CARD_UNITS
    margin = 3 * unit
    spots = [(o["Sx"] * card_w, o["Sy"] * card_h) for o in result]
    halves = halves or [0.0] * len(result)
    area_ok = area_ok or [None] * len(result)
    guards = [keep_out(p, h, margin) for p, h in zip(spots, halves)]
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

    def free(i, kx, ky, side, line, box, centred):
        sx, sy = spots[i]
        if not inside(box) or any(boxes_overlap(box, b) for b in boxes):
            return False
        own = srcs[i].get("ausschnitt")
        others = [b for name, b in insets.items() if name != own]
        if any(boxes_overlap(box, b) for b in others):
            return False
        if own and not (box[0] >= insets[own][0] + margin and box[1] >= insets[own][1] + margin
                        and box[2] <= insets[own][2] - margin
                        and box[3] <= insets[own][3] - margin):
            return False
        if line and any(segment_hits_box((sx, sy), (kx, ky), b) for b in others):
            return False
        # nor may the label cover a leader line drawn before it
        if any(segment_hits_box(*seg, box) for seg in leaders):
            return False
        # nor a marker or another spot; its own marker neither, and its own
        # spot only where an area's name stands on it
        if any(boxes_overlap(box, g) for j, g in enumerate(guards)
               if j != i or line or (halves[i] and not centred)):
            return False
        if line:
            seg = ((sx, sy), (kx, ky))
            if any(segments_cross(*seg, *other) for other in leaders):
                return False
            if any(segment_hits_box(*seg, b) for b in boxes):
                return False
            if any(j != i and (x - sx) * (kx - x) + (y - sy) * (ky - y) > 0
                   and abs((kx - sx) * (y - sy) - (ky - sy) * (x - sx))
                   / (length_of(sx, sy, kx, ky) or 1) < margin + halves[j]
                   for j, (x, y) in enumerate(spots)):
                return False
        return True

    def candidates(i):
        """The places for label i: first those at home (an area's name on
        the area, a point's beside its marker), then the ends of leader
        lines, the shorter first: for an area's name first those of the
        short lines whose label lies on the sea."""
        o, src = result[i], srcs[i]
        sx, sy = spots[i]
        home = []
        if area_ok[i] is not None and not src.get("klein"):
            for dx, dy in AREA_SHIFTS:
                kx, ky = centred_anchor(sx + dx * unit, sy + dy * unit, o, unit)
                home.append((kx, ky, 4, 0, True, False))
        elif not src.get("klein"):
            h = halves[i]
            side_gap = max(ANCHOR_GAP, h + margin - SIDE_GAP * unit + 1)
            top_gap = max(ANCHOR_GAP, h + margin - TOP_GAP * unit + 1)
            home = [(sx + side_gap, sy, 1, 0, False, False),
                    (sx - side_gap, sy, 3, 0, False, False),
                    (sx, sy - top_gap, 2, 0, False, False),
                    (sx, sy + top_gap, 4, 0, False, False)]
            if src.get("art") == "linie":
                # a parallel's name above or below it, not across it
                home = home[2:] + home[:2]
        # a tiny area ("klein") always gets a leader line that points into it
        away = []
        for length in LEADER_LENGTHS:
            away.append([])
            for dx, dy in LEADER_DIRS:
                n = (dx * dx + dy * dy) ** 0.5
                kx, ky = sx + dx / n * length * unit, sy + dy / n * length * unit
                side = 1 if dx > 0 else 3 if dx < 0 else 2 if dy < 0 else 4
                away[-1].append((kx, ky, side, 1, False, False))
        if area_ok[i] is not None and on_sea[i] is not None and src.get("art") in SEA_LABELS:
            away = [[c[:5] + (True,) for c in ring] for ring in away[:SEA_RINGS]] + away
        return home, away

    seen_sea = {}

    def sea_at(i, kx, ky, box):
        # the sea test reads the mask: once for each place of a label
        if (i, kx, ky) not in seen_sea:
            seen_sea[i, kx, ky] = on_sea[i](box, spots[i], (kx, ky))
        return seen_sea[i, kx, ky]

    def place(i, rings, need_sheet=False):
        o = result[i]
        sx, sy = spots[i]
        if near:
            # the nearest free place; room for the worksheet decides only
            # between places at the same distance
            passes = [(ring, for_sheet) for ring in rings for for_sheet in (True, False)]
        else:
            # the first place in order where the worksheet's field fits
            # too, else (where allowed) where the label fits
            passes = [(c, for_sheet) for for_sheet in ((True,) if need_sheet else (True, False))
                      for c in [[c for ring in rings for c in ring]]]
        for cands, for_sheet in passes:
            for kx, ky, side, line, centred, sea in cands:
                trial = dict(o, KAusr=side, Kx=kx / card_w, Ky=ky / card_h)
                box = label_box(trial, card_w, card_h)
                sbox = sheet_box(trial, card_w, card_h)
                if for_sheet and (not inside(sbox)
                                  or any(boxes_overlap(sbox, b) for b in sheet_boxes)
                                  or any(sbox[0] < x < sbox[2] and sbox[1] < y < sbox[3]
                                         for j, (x, y) in enumerate(spots) if j != i)):
                    continue
                if (free(i, kx, ky, side, line, box, centred)
                        and (not centred or area_ok[i](box))
                        and (not sea or sea_at(i, kx, ky, box))):
                    o["KAusr"], o["Sline"] = side, line
                    o["Kx"], o["Ky"] = round(kx / card_w, 5), round(ky / card_h, 5)
                    boxes.append(box)
                    sheet_boxes.append(sbox)
                    if line:
                        leaders.append(((sx, sy), (kx, ky)))
                    return True
        return False

    # the most crowded spots first: they have the fewest free places; every
    # label that fits at home goes there before any label is moved away from
    # its spot, so that no leader line takes the place of a name at home.  A
    # label that then finds no place at all is placed before all others in
    # the next attempt.  First every label must leave room for its field on
    # the worksheet; only where that cannot be had need it not.
    order = sorted((i for i, src in enumerate(srcs) if src.get("_auto")), key=crowding)
    start = (list(boxes), list(sheet_boxes), list(leaders))
    for strict in ((False,) if near else (True, False)):
        first = []
        while True:
            boxes[:], sheet_boxes[:], leaders[:] = (list(x) for x in start)
            failed = None
            for i in first:
                home, away = candidates(i)
                if not place(i, ([home] if home else []) + away, strict):
                    failed = i
                    break
            moved = []
            for i in (i for i in order if i not in first and failed is None):
                home, away = candidates(i)
                # an area's name stays on its area even where the wider
                # field of a worksheet does not fit there
                if not home or not place(i, [home], area_ok[i] is None):
                    moved.append(i)
            for i in moved:
                home, away = candidates(i)
                if not place(i, ([home] if home else []) + away, strict):
                    failed = i
                    break
            if failed is None:
                return
            if failed in first:
                break
            first.append(failed)
    raise TemplateError(f"no free place for the label {result[failed]['Cap']!r}")


def length_of(x0, y0, x1, y1):
    return ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5


def place_objects(objekte, spots, img_w, img_h, rand, auto=False, insets=None,
                  blocked=(), near=False, halves=None, area_ok=None, on_sea=None):
    """Build the tool's object list; spots[i] is the spot of objekte[i] in
    pixels of the base image.  With auto, labels (Typ 0) that give neither
    an anchor nor a side are placed by auto_place; insets ({name: box in
    pixels of the base image}) are kept free of the others' labels, the
    boxes of blocked free of all labels; near: see auto_place.  halves[i]:
    half the width of the marker at spot i (pixels of the base image);
    area_ok[i]: None, or a test whether a box (pixels of the base image)
    lies inside the area that objekte[i] names; on_sea[i]: None, or a test
    whether a box (and the leader line from the spot to the anchor) lies on
    the sea off that area."""
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

        def card_to_image(box):
            return (box[0] - off_x, box[1] - off_y, box[2] - off_x, box[3] - off_y)

        def image_test(test):
            if test is None:
                return None
            return lambda box: test(card_to_image(box))
        auto_place(result, srcs, card_w, card_h,
                   {name: card(box) for name, box in (insets or {}).items()},
                   [card(box) for box in blocked], near,
                   halves, [image_test(t) for t in (area_ok or [None] * len(result))],
                   [None if t is None else
                    (lambda box, p, q, t=t: t(card_to_image(box), (p[0] - off_x, p[1] - off_y),
                                             (q[0] - off_x, q[1] - off_y)))
                    for t in (on_sea or [None] * len(result))])
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
    insets, blocked = {}, []
    halves, area_ok, on_sea = None, None, None
    if bild is not None:
        if "karte" in bild:
            for o in objekte:
                if o.get("Typ", 0) == 0 and o.get("art") not in ARTS:
                    raise TemplateError(f"{rel}: {o.get('Cap')!r} names no known art")
            karte = bild["karte"]
            marks = [(o["art"], o["lon"], o["lat"], o.get("ausschnitt")) for o in objekte
                     if o.get("art") in MARKER_ARTS]
            project, insets, blocked = draw_map(
                karte, png_out, workdir,
                [(o["lon"], o["lat"]) for o in objekte
                 if o.get("klein") and not o.get("ausschnitt")], marks=marks)
            # the spots of the main map and of each inset, in template order
            spots = [None] * len(objekte)
            for name in [None] + sorted(insets):
                mine = [i for i, o in enumerate(objekte) if o.get("ausschnitt") == name]
                for i, p in zip(mine, project([(objekte[i]["lon"], objekte[i]["lat"])
                                               for i in mine], name)):
                    spots[i] = p
            if any(p is None for p in spots):
                raise TemplateError(f"{rel}: an object names an inset the map lacks")
            halves = [marker_half(o.get("art"), karte["dpi"]) for o in objekte]
            area_ok, on_sea = area_tests(karte, objekte, workdir)
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
                                           insets, blocked, mode == "nah", halves, area_ok,
                                           on_sea)
    elif objekte:
        raise TemplateError(f"{rel}: objects need an image")

    with open(out_json, "w", encoding="utf-8", newline="\n") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)
        f.write("\n")
    return rel


def area_tests(karte, objekte, workdir):
    """(tests, on_sea): for each object, a test whether a box (pixels of
    the picture) lies inside the area it names, or None; and for each, a
    test whether a label's box lies on the sea off that area with its
    leader line crossing nothing but the area and the sea, or None.  A mask
    is drawn only where a label placed automatically needs one."""
    placed = [o for o in objekte if o.get("Typ", 0) == 0 and not o.get("klein")
              and not any(k in o for k in ("kx", "dx", "KAusr"))]
    needs = [o for o in placed if o.get("art") in WATER_ARTS or o.get("art") in LAND_ARTS
             or o.get("art") in ("staat", "bundesland")]
    own = named_areas(karte)
    outlined = {id(o): own[join_lines(o["Cap"]).replace("\r\n", " ")] for o in placed
                if o.get("art") in ("landschaft", "wueste", "zone") and not o.get("ausschnitt")
                and join_lines(o["Cap"]).replace("\r\n", " ") in own}
    if outlined:
        project = projector(karte, workdir)
        outlined = {k: project(v) for k, v in outlined.items()}
    if not needs:
        return ([(lambda box, ring=outlined[id(o)]: box_in_ring(box, ring))
                 if id(o) in outlined else None for o in objekte] if outlined else None), None
    codes = {o["in"] for o in needs if o.get("art") == "staat"}
    # all the states, so that a city state covers the hole it leaves in
    # the state around it
    states = laender.load() if any(o.get("art") == "bundesland" for o in needs) else None
    # a mask at half the resolution, and every box three mask pixels larger, so
    # that what is placed here passes the check on the full mask
    mask = draw_mask(karte, workdir, codes, states, MASK_SCALE)
    grow = 3 / MASK_SCALE
    chosen = {id(o) for o in needs}
    tests = []
    for o in objekte:
        target = area_target(o, mask[3]) if id(o) in chosen else None
        if id(o) in outlined:
            tests.append(lambda box, ring=outlined[id(o)]: box_in_ring(box, ring))
        else:
            tests.append(None if target is None else
                         (lambda box, target=target: box_in_area(
                             mask, (box[0] - grow, box[1] - grow, box[2] + grow, box[3] + grow),
                             target)))
    seas = []
    for o in objekte:
        target = area_target(o, mask[3]) if id(o) in chosen else None
        seas.append(None if target is None else
                    (lambda box, p, q, target=target: area_share(mask, box, OCEAN) >= SEA_SHARE
                     and line_over(mask, p, q, (target, OCEAN))))
    return tests, seas


def projector(karte, workdir):
    """A function that turns lon/lat points into pixels of the main map."""
    rj = ["-R" + karte["region"], "-J" + karte["projektion"]]
    dpi = karte["dpi"]
    _, h_in = map(float, run(["gmt", "mapproject"] + rj + ["-W", "-Di"], workdir).split())

    def project(points):
        text = densify(points, 1.0)
        out = run(["gmt", "mapproject"] + rj + ["-Di"], workdir, None, text)
        return [(float(x) * dpi, (h_in - float(y)) * dpi)
                for x, y, *_ in (line.split() for line in out.splitlines() if line.strip())]
    return project


def inside_ring(ring, x, y):
    inside = False
    for (x0, y0), (x1, y1) in zip(ring, ring[1:] + ring[:1]):
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def box_in_ring(box, ring, step=6.0):
    """Whether every point of a grid over the box (pixels) lies inside the
    ring (pixels)."""
    x0, y0, x1, y1 = box
    nx, ny = max(2, int((x1 - x0) / step) + 1), max(2, int((y1 - y0) / step) + 1)
    return all(inside_ring(ring, x0 + (x1 - x0) * i / (nx - 1), y0 + (y1 - y0) * j / (ny - 1))
               for i in range(nx) for j in range(ny))


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


_hashes = {}


def _scripts_hash():
    if "scripts" not in _hashes:
        h = hashlib.sha256()
        for script in (__file__, laender.__file__):
            with open(os.path.abspath(script), "rb") as f:
                h.update(f.read())
        _hashes["scripts"] = h.hexdigest()
    return _hashes["scripts"]


def _states_hash():
    if "states" not in _hashes:
        _hashes["states"] = laender.data_hash()
    return _hashes["states"]


def cache_key(srcdir, rel, gmt_version):
    """Everything a build source depends on: these scripts, the template, a
    drawing it names, the outlines of the states it draws, and the GMT
    that draws the maps."""
    h = hashlib.sha256(_scripts_hash().encode())
    h.update(gmt_version.encode() + b"\0" + rel.encode() + b"\0")
    src_path = os.path.join(srcdir, rel)
    with open(src_path, "rb") as f:
        data = f.read()
    h.update(data)
    tpl = json.loads(data)
    if uses_state_borders(tpl):
        h.update(_states_hash().encode())
    bild = tpl.get("bild") or {}
    if "mvg" in bild:
        with open(os.path.join(os.path.dirname(src_path), bild["mvg"]), "rb") as f:
            h.update(f.read())
    return h.hexdigest()


def copy_cached(srcdir, rel, outdir, cache, gmt_version):
    """Copy what an earlier run built from the same inputs, if the cache
    holds it; returns whether it did."""
    key = cache_key(srcdir, rel, gmt_version)
    out_json = os.path.join(outdir, rel)
    stem = os.path.splitext(os.path.basename(rel))[0]
    out_png = os.path.join(os.path.dirname(out_json), stem + ".png")
    entry = os.path.join(cache, key)
    if not os.path.exists(entry + ".json"):
        return False
    os.makedirs(os.path.dirname(out_json), exist_ok=True)
    shutil.copyfile(entry + ".json", out_json)
    if os.path.exists(entry + ".png"):
        shutil.copyfile(entry + ".png", out_png)
    return True


def build_cached(srcdir, rel, outdir, workdir, cache, gmt_version):
    """build_one, or a copy of what an earlier run built from the same inputs."""
    if cache is None:
        return build_one(srcdir, rel, outdir, workdir)
    if copy_cached(srcdir, rel, outdir, cache, gmt_version):
        return rel
    key = cache_key(srcdir, rel, gmt_version)
    out_json = os.path.join(outdir, rel)
    stem = os.path.splitext(os.path.basename(rel))[0]
    out_png = os.path.join(os.path.dirname(out_json), stem + ".png")
    entry = os.path.join(cache, key)
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
    done = {}
    try:
        # what the cache holds is copied here, without starting the workers
        # (a build with unchanged inputs takes no GMT at all)
        if cache:
            for n, rel in enumerate(templates):
                try:
                    if copy_cached(srcdir, rel, outdir, cache, gmt_version):
                        done[rel] = rel
                except (ValueError, OSError):
                    pass    # drawn below, which reports what is wrong
        todo = [rel for rel in templates if rel not in done]
        jobs = {}
        if todo:
            # GMT spends much of its time waiting for its data files: two
            # maps at a time; the maps with the most GMT calls (insets)
            # start first, so that no long map is left running alone at the end
            with concurrent.futures.ProcessPoolExecutor(max_workers=2,
                                                        initializer=use_gmt_library) as pool:
                for n, rel in sorted(enumerate(todo),
                                     key=lambda item: -drawing_calls(srcdir, item[1])):
                    workdir = os.path.join(workroot, str(n))
                    os.mkdir(workdir)
                    jobs[rel] = pool.submit(build_cached, srcdir, rel, outdir, workdir,
                                            cache, gmt_version)
                for rel in todo:
                    try:
                        done[rel] = jobs[rel].result()
                    except (TemplateError, KeyError, ValueError, OSError) as err:
                        sys.stderr.write(f"{rel}: {err}\n")
                        failed = True
        for rel in templates:
            if rel in done:
                print(rel)
    finally:
        shutil.rmtree(workroot, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
