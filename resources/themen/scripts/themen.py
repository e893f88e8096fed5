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

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

TEXT_KEYS = ("titel", "autor", "bemerkung", "lueckentext", "fragentext")
DOC_KEYS = ("vers", "titel", "autor", "bemerkung", "lueckentext", "fragentext",
            "AnzFrageNummern", "DokTyp", "RandErw", "NumArt", "GeordnetArt")
OBJ_DEFAULTS = {"Cap": "", "KAusr": 0, "TAusr": 0, "Ebene": 0, "Typ": 0,
                "Sline": 0, "Fsize": 0, "KAusrAkt": 0, "FrageNummer": -1}
SKIP_DIRS = {"scripts", "tests", "bilder", "__pycache__"}

# Rough size of a label as the program shows it at 100 %: used to keep
# labels apart on the crowded maps and for the preview.
LABEL_CHAR_W = 8.0
LABEL_PAD_W = 8.0
LABEL_H = 22.0
ANCHOR_GAP = 8.0      # default distance between a spot and its label

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

def draw_map(karte, png_out, workdir):
    """Draw a GMT map; returns a function lon/lat list -> pixel list."""
    region, proj, dpi = karte["region"], karte["projektion"], karte["dpi"]
    rj = ["-R" + region, "-J" + proj]
    env = dict(os.environ)
    # each map gets its own modern-mode session inside our scratch folder
    env["GMT_SESSION_NAME"] = f"{os.getpid()}-{os.path.basename(png_out)}"
    stem = "karte"
    run(["gmt", "begin", stem, "png", f"E{dpi}"], workdir, env)
    try:
        for layer in karte["ebenen"]:
            run(["gmt"] + layer[:1] + rj + layer[1:], workdir, env)
    finally:
        run(["gmt", "end"], workdir, env)
    shutil.move(os.path.join(workdir, stem + ".png"), png_out)

    w_in, h_in = map(float, run(["gmt", "mapproject"] + rj + ["-W", "-Di"],
                                workdir, env).split())
    w_px, h_px = png_size(png_out)
    # ghostscript rounds the page up to whole pixels; more than that would
    # mean something else (a frame, a title) widened the picture
    if abs(w_in * dpi - w_px) > 2 or abs(h_in * dpi - h_px) > 2:
        raise TemplateError(f"{png_out}: {w_px}x{h_px} px, expected "
                            f"{w_in * dpi:.0f}x{h_in * dpi:.0f}")

    def project(points):
        if not points:
            return []
        text = "".join(f"{lon} {lat}\n" for lon, lat in points)
        res = subprocess.run(["gmt", "mapproject"] + rj + ["-Di"], input=text,
                             cwd=workdir, env=env, capture_output=True,
                             text=True, check=True)
        out = []
        for line in res.stdout.split("\n"):
            if line.strip():
                x, y = map(float, line.split()[:2])
                # the PNG may carry one partly covered pixel more at the
                # right and bottom edge; the map itself starts at pixel 0
                out.append((x * dpi, (h_in - y) * dpi + (h_px - h_in * dpi)))
        return out

    return project


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


def place_objects(objekte, spots, img_w, img_h, rand):
    """Build the tool's object list; spots[i] is the spot of objekte[i] in
    pixels of the base image."""
    card_w, card_h, off_x, off_y = card_geometry(img_w, img_h, rand)
    result = []
    for src, (sx, sy) in zip(objekte, spots):
        obj = dict(OBJ_DEFAULTS)
        for key in OBJ_DEFAULTS:
            if key in src:
                obj[key] = src[key]
        obj["Cap"] = join_lines(obj["Cap"])
        if "kx" in src:
            kx, ky = src["kx"], src["ky"]
        else:
            dx, dy = DEFAULT_OFFSET[obj["KAusr"]]
            kx, ky = sx + src.get("dx", dx), sy + src.get("dy", dy)
        obj["Sx"] = round((off_x + sx) / card_w, 5)
        obj["Sy"] = round((off_y + sy) / card_h, 5)
        obj["Kx"] = round((off_x + kx) / card_w, 5)
        obj["Ky"] = round((off_y + ky) / card_h, 5)
        for name in ("Sx", "Sy", "Kx", "Ky"):
            if not 0.0 <= obj[name] <= 1.0:
                raise TemplateError(f"object {obj['Cap'][:30]!r}: {name}="
                                    f"{obj[name]} lies outside the card")
        result.append({k: obj[k] for k in ("Sx", "Sy", "Kx", "Ky", "Cap",
                                           "KAusr", "TAusr", "Ebene", "Typ",
                                           "Sline", "Fsize", "KAusrAkt",
                                           "FrageNummer")})
    return result


def label_box(obj, card_w, card_h):
    """Approximate box (x0, y0, x1, y1) in card pixels that the label of obj
    covers, judging from its anchor and KAusr."""
    w = len(obj["Cap"]) * LABEL_CHAR_W + LABEL_PAD_W
    h = LABEL_H
    x, y = obj["Kx"] * card_w, obj["Ky"] * card_h
    side = obj["KAusr"]
    if side == 2:
        return (x - w / 2, y - h, x + w / 2, y)
    if side == 3:
        return (x - w, y - h / 2, x, y + h / 2)
    if side == 4:
        return (x - w / 2, y, x + w / 2, y + h)
    return (x, y - h / 2, x + w, y + h / 2)


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
    if bild is not None:
        if "karte" in bild:
            project = draw_map(bild["karte"], png_out, workdir)
            spots = project([(o["lon"], o["lat"]) for o in objekte])
        elif "mvg" in bild:
            mvg = os.path.join(os.path.dirname(src_path), bild["mvg"])
            render_mvg(mvg, png_out, workdir)
            spots = [(o["x"], o["y"]) for o in objekte]
        elif "leer" in bild:
            blank_page(bild["leer"], png_out, workdir)
            spots = []
        else:
            raise TemplateError(f"{rel}: unknown kind of image {bild}")
        doc["image"] = stem + ".png"
        w, h = png_size(png_out)
        rand = doc.get("RandErw", [0, 0, 0, 0])
        if objekte:
            doc["objects"] = place_objects(objekte, spots, w, h, rand)
    elif objekte:
        raise TemplateError(f"{rel}: objects need an image")

    with open(out_json, "w", encoding="utf-8", newline="\n") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)
        f.write("\n")
    return rel


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: themen.py SRCDIR OUTDIR\n")
        return 2
    srcdir, outdir = (os.path.abspath(p) for p in argv[1:])
    os.makedirs(outdir, exist_ok=True)
    workdir = tempfile.mkdtemp(prefix="work-", dir=outdir)
    try:
        for rel in find_templates(srcdir):
            try:
                print(build_one(srcdir, rel, outdir, workdir))
            except (TemplateError, KeyError, ValueError) as err:
                sys.stderr.write(f"{rel}: {err}\n")
                return 1
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
