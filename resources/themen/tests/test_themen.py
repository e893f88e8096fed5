#!/usr/bin/env python3
"""Checks of the generated sample topics.  generate.sh runs twice at the
same time with the stand-in tool; the tests look at what comes out."""

import sys
sys.dont_write_bytecode = True  # keep the source folder clean

import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SRC, "scripts"))
import themen  # noqa: E402

STAND_IN = os.path.join(HERE, "stand-in-tool.sh")
SEA = (175, 208, 235)
MAPS = ("europa-hauptstaedte.tsr", "deutschland/landeshauptstaedte-karte.tsr")
MARKUP = re.compile(r"<(/?[BIU]|@LINIE|@POSX=\d{1,3}%|@REB=\d+)>")
R = {}


def snapshot(folder):
    return {os.path.relpath(os.path.join(d, f), folder):
            os.stat(os.path.join(d, f)).st_mtime_ns
            for d, _, files in os.walk(folder) for f in files}


def tree_bytes(folder):
    out = {}
    for rel in snapshot(folder):
        with open(os.path.join(folder, rel), "rb") as f:
            out[rel] = f.read()
    return out


def image_path(rel):
    return os.path.join(R["out"], os.path.dirname(rel), R["docs"][rel]["image"])


def read_pixels(png):
    """(width, height, rgb bytes) of a PNG, through ImageMagick's PPM."""
    ppm = subprocess.run(["convert", png, "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    magic, w, h, _maxval, data = ppm.split(maxsplit=4)
    assert magic == b"P6"
    return int(w), int(h), data


def setUpModule():
    R["tmp"] = tmp = tempfile.mkdtemp(prefix="themen-test-")
    for sub in ("scratch", "cwd"):
        os.mkdir(os.path.join(tmp, sub))
    R["before"] = snapshot(SRC)
    env = dict(os.environ, TMPDIR=os.path.join(tmp, "scratch"))
    runs = [subprocess.Popen(["bash", os.path.join(SRC, "generate.sh"),
                              STAND_IN, os.path.join(tmp, name)],
                             cwd=os.path.join(tmp, "cwd"), env=env, text=True,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            for name in ("out1", "out2")]
    outputs = [p.communicate() for p in runs]
    R["runs"] = [(p.returncode, out, err) for p, (out, err) in zip(runs, outputs)]
    R["out"] = out = os.path.join(tmp, "out1")
    R["docs"] = {}
    for rel in snapshot(out):
        if rel.endswith(".tsr"):
            with open(os.path.join(out, rel), encoding="utf-8") as f:
                R["docs"][rel] = json.load(f)


def tearDownModule():
    shutil.rmtree(R["tmp"], ignore_errors=True)


def texts(doc):
    yield from (doc.get(k, "") for k in ("titel", "bemerkung", "lueckentext",
                                         "fragentext"))
    yield from (o["Cap"] for o in doc.get("objects", []))


def questions(doc):
    return [line.split("//") for line in doc["fragentext"].split("\r\n")]


class Generation(unittest.TestCase):
    def test_parallel_runs_succeed_and_agree(self):
        for rc, _, err in R["runs"]:
            self.assertEqual(rc, 0, err)
        self.assertEqual(tree_bytes(R["out"]),
                         tree_bytes(os.path.join(R["tmp"], "out2")))

    def test_leaves_nothing_behind(self):
        self.assertEqual(snapshot(SRC), R["before"])
        self.assertEqual(os.listdir(os.path.join(R["tmp"], "scratch")), [])
        self.assertEqual(os.listdir(os.path.join(R["tmp"], "cwd")), [])

    def test_one_topic_per_template_with_sub_folders(self):
        want = {t[:-5] + ".tsr" for t in themen.find_templates(SRC)}
        self.assertEqual(set(R["docs"]), want)
        self.assertIn("deutschland/bundeslaender-hauptstaedte.tsr", want)
        for rel in want:
            self.assertRegex(rel, r"^([a-z0-9-]+/)?[a-z0-9-]+\.tsr$")

    def test_failing_tool_fails_the_run_and_cleans_up(self):
        scratch = tempfile.mkdtemp(dir=R["tmp"])
        res = subprocess.run(["bash", os.path.join(SRC, "generate.sh"),
                              "false", os.path.join(scratch, "out")],
                             env=dict(os.environ, TMPDIR=scratch),
                             capture_output=True)
        self.assertNotEqual(res.returncode, 0)
        self.assertEqual(os.listdir(scratch), ["out"])


class Texts(unittest.TestCase):
    def test_line_breaks_and_markup(self):
        for rel, doc in R["docs"].items():
            self.assertTrue(doc["titel"].strip(), rel)
            for text in texts(doc):
                self.assertNotRegex(text, r"(?<!\r)\n|\r(?!\n)", rel)
                tags = MARKUP.findall(text)
                self.assertEqual(len(tags), text.count("<") - 2 * text.count("<<"),
                                 f"{rel}: unknown mark-up in {text[:60]!r}")
                for t in "BIU":
                    opened = [x for x in tags if x in (t, "/" + t)]
                    self.assertEqual(opened, [t, "/" + t] * (len(opened) // 2),
                                     f"{rel}: <{t}> not closed")

    def test_texts_fit_the_topic_files_code_page(self):
        # The real tool refuses a letter that Windows-1252 lacks; the stand-in does not.
        for rel, doc in R["docs"].items():
            for text in texts(doc):
                try:
                    text.encode("cp1252")
                except UnicodeEncodeError as e:
                    self.fail(f"{rel}: {text[e.start:e.end]!r} in {text[:40]!r} has no Windows-1252 code")
        caps = [o["Cap"] for o in R["docs"]["europa-hauptstaedte.tsr"]["objects"]]
        self.assertIn("Chisinau", caps)

    def test_cloze(self):
        doc = R["docs"]["wasserkreislauf.tsr"]
        self.assertEqual(doc["DokTyp"], 1)
        text = doc["lueckentext"]
        gaps = re.findall(r"<<([^<>]+)>>", text)
        self.assertTrue(10 <= len(gaps) <= 20, gaps)
        self.assertEqual(text.count("<<"), len(gaps))
        self.assertEqual(text.count(">>"), len(gaps))
        for tag in ("<B>", "<I>", "<@LINIE>", "<@POSX="):
            self.assertIn(tag, text)
        w, h = themen.png_size(image_path("wasserkreislauf.tsr"))
        self.assertTrue(h > w >= 800, (w, h))

    def test_single_questions(self):
        sizes = {}
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 2:
                continue
            qs = questions(doc)
            for q in qs:
                self.assertEqual(len(q), 2, f"{rel}: {q}")
                self.assertTrue(all(p.strip() == p and p for p in q), q)
            self.assertEqual(len({q for q, _ in qs}), len(qs), rel)
            sizes[doc["titel"]] = len(qs)
        self.assertTrue(any(n >= 25 for t, n in sizes.items()
                            if "zufällig" not in t), sizes)
        self.assertTrue(any(n >= 40 for t, n in sizes.items()
                            if "zufällig" in t), sizes)

    def test_einmaleins_is_right_and_complete(self):
        pairs = set()
        for q, a in questions(R["docs"]["einmaleins-zufaellig.tsr"]):
            x, y = map(int, re.fullmatch(r"(\d+) · (\d+) =", q).groups())
            self.assertEqual(int(a), x * y, q)
            pairs.add((x, y))
        self.assertEqual(pairs, {(x, y) for x in range(2, 11)
                                 for y in range(2, 11)})


class Labelling(unittest.TestCase):
    def card(self, rel):
        w, h = themen.png_size(image_path(rel))
        return themen.card_geometry(w, h, R["docs"][rel]["RandErw"])

    def test_labels_stay_apart_and_inside_the_card(self):
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 0:
                continue
            cw, ch, _, _ = self.card(rel)
            shown = [o for o in doc["objects"] if o["Typ"] in (0, 1, 5)]
            boxes = [themen.label_box(o, cw, ch) for o in shown]
            for o, (x0, y0, x1, y1) in zip(shown, boxes):
                self.assertTrue(x0 >= 0 and y0 >= 0 and x1 <= cw and y1 <= ch,
                                f"{rel}: {o['Cap']} leaves the card")
                for p in doc["objects"]:
                    if p is not o:
                        sx, sy = p["Sx"] * cw, p["Sy"] * ch
                        self.assertFalse(x0 - 3 < sx < x1 + 3 and y0 - 3 < sy < y1 + 3,
                                         f"{rel}: {o['Cap']} covers spot {p['Cap'][:20]}")
            for i, a in enumerate(boxes):
                for j, b in enumerate(boxes[:i]):
                    overlap = a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]
                    self.assertFalse(overlap, f"{rel}: {shown[i]['Cap']} / {shown[j]['Cap']}")

    def test_map_spots_lie_on_land(self):
        for rel in MAPS:
            doc = R["docs"][rel]
            w, h, px = read_pixels(image_path(rel))
            for o in doc["objects"]:
                if o["Typ"] != 0:
                    continue
                x, y = round(o["Sx"] * w), round(o["Sy"] * h)
                near = [tuple(px[3 * (v * w + u):3 * (v * w + u) + 3])
                        for u in range(x - 2, x + 3) for v in range(y - 2, y + 3)]
                self.assertTrue(any(c != SEA for c in near), f"{rel}: {o['Cap']} in the sea")

    def test_europe_map_objects(self):
        objs = R["docs"]["europa-hauptstaedte.tsr"]["objects"]
        labels = [o for o in objs if o["Typ"] == 0]
        self.assertTrue(25 <= len(labels) <= 40)
        self.assertTrue(all(o["Ebene"] == 1 for o in labels))
        self.assertTrue(any(o["Sline"] for o in labels))
        by_type = {o["Typ"]: o for o in objs if o["Typ"] != 0}
        self.assertIn("<B>", by_type[2]["Cap"])
        self.assertTrue(by_type[4]["Cap"].startswith("https://"))
        folder = by_type[5]["Cap"]
        self.assertTrue(folder.endswith("/"))
        self.assertTrue(any(r.startswith(folder) for r in R["docs"]))

    def test_flower_labels_sit_in_the_margin_without_crossing_leaders(self):
        doc = R["docs"]["bluete-aufbau.tsr"]
        left, _, right, _ = doc["RandErw"]
        self.assertTrue(left > 0 and right > 0)
        cw, ch, ox, oy = self.card("bluete-aufbau.tsr")
        w, h, px = read_pixels(image_path("bluete-aufbau.tsr"))
        lines = []
        for o in (o for o in doc["objects"] if o["Typ"] == 0):
            self.assertEqual(o["Sline"], 1, o["Cap"])
            u, v = round(o["Sx"] * cw - ox), round(o["Sy"] * ch - oy)
            self.assertNotEqual(px[3 * (v * w + u):3 * (v * w + u) + 3], b"\xff" * 3,
                                f"{o['Cap']}: spot on the white background")
            lines.append((o["Cap"], o["Sx"] * cw, o["Sy"] * ch, o["Kx"] * cw, o["Ky"] * ch))

        def side(ax, ay, bx, by, cx, cy):
            return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax)
        for i, (n1, *a) in enumerate(lines):
            for n2, *b in lines[:i]:
                crosses = (side(*a, *b[:2]) * side(*a, *b[2:]) < 0 and
                           side(*b, *a[:2]) * side(*b, *a[2:]) < 0)
                self.assertFalse(crosses, f"leaders of {n1} and {n2} cross")

    def test_margin_fractions(self):
        spots = [(0, 0), (200, 100)]
        objs = [{"Cap": "a", "kx": -50, "ky": -10}, {"Cap": "b", "kx": 250, "ky": 110}]
        a, b = themen.place_objects(objs, spots, 200, 100, [0.25, 0.1, 0.25, 0.1])
        self.assertEqual((a["Sx"], a["Sy"], a["Kx"], a["Ky"]), (round(1 / 6, 5), round(1 / 12, 5), 0, 0))
        self.assertEqual((b["Sx"], b["Sy"], b["Kx"], b["Ky"]), (round(5 / 6, 5), round(11 / 12, 5), 1, 1))
        with self.assertRaises(themen.TemplateError):
            themen.place_objects([{"Cap": "c", "kx": -51, "ky": 0}], [(0, 0)], 200, 100,
                                 [0.25, 0.1, 0.25, 0.1])


if __name__ == "__main__":
    unittest.main(verbosity=2)
