#!/usr/bin/env python3
"""Preview of a built source: the card (base image plus white margin) with a
red dot on every spot, the leader lines, and each caption in the box that
the label is expected to take.  Used to check by eye that spots land on the
right places and that labels stay apart.

usage: vorschau.py SOURCE.json OUT.png
"""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import themen  # noqa: E402

COLOURS = {0: "blue", 1: "darkgreen", 2: "purple", 3: "blue", 4: "darkorange",
           5: "darkorange"}


def mvg_text(s):
    return s.replace("\\", "\\\\").replace("'", "\\'")


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: vorschau.py SOURCE.json OUT.png\n")
        return 2
    src, out = argv[1], argv[2]
    with open(src, encoding="utf-8") as f:
        doc = json.load(f)
    img = os.path.join(os.path.dirname(src), doc["image"])
    w, h = themen.png_size(img)
    card_w, card_h, off_x, off_y = themen.card_geometry(
        w, h, doc.get("RandErw", [0, 0, 0, 0]))
    card_w, card_h = round(card_w), round(card_h)

    draw = ["font-size 13", "stroke-width 1"]
    for obj in doc.get("objects", []):
        sx, sy = obj["Sx"] * card_w, obj["Sy"] * card_h
        kx, ky = obj["Kx"] * card_w, obj["Ky"] * card_h
        colour = COLOURS.get(obj["Typ"], "black")
        if obj["Sline"]:
            draw.append(f"stroke gray30 line {sx:.1f},{sy:.1f} {kx:.1f},{ky:.1f}")
        draw.append(f"stroke none fill red circle {sx:.1f},{sy:.1f} "
                    f"{sx + 3.5:.1f},{sy:.1f}")
        if obj["Typ"] in (2, 4, 5):
            x0, y0, x1, y1 = themen.badge_box(obj, card_w, card_h)
            draw.append(f"stroke {colour} fill none rectangle "
                        f"{x0:.1f},{y0:.1f} {x1:.1f},{y1:.1f}")
            continue
        # the whole box, all lines of a caption in it
        x0, y0, x1, y1 = themen.label_box(obj, card_w, card_h)
        draw.append(f"stroke {colour} fill none rectangle "
                    f"{x0:.1f},{y0:.1f} {x1:.1f},{y1:.1f}")
        lines = obj["Cap"].split("\r\n")
        step = (y1 - y0) / len(lines)
        for n, line in enumerate(lines):
            draw.append(f"stroke none fill {colour} text {x0 + 4:.1f},"
                        f"{y0 + (n + 1) * step - 6:.1f} '{mvg_text(line)}'")

    cmd = ["convert", img, "-background", "white",
           "-gravity", "northwest", "-extent",
           f"{card_w}x{card_h}-{round(off_x)}-{round(off_y)}",
           "+gravity", "-font", "DejaVu-Sans", "-draw", "\n".join(draw), out]
    subprocess.run(cmd, check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
