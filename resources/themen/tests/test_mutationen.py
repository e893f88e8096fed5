#!/usr/bin/env python3
"""Proof that the identity checks (identitaet.py) tell places apart: in a
copy of the topic sources, two features of one kind on a map swap their
spots, a capital moves to another town of its country, two questions about
capitals swap their answers, two states their names.  Every such change
must make the checks fail, and the failure must name the file and the
feature."""

import sys
sys.dont_write_bytecode = True  # keep the source folder clean

import itertools
import json
import os
import shutil
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import identitaet  # noqa: E402

R = {}


def setUpModule():
    R["tmp"] = tmp = tempfile.mkdtemp(prefix="themen-mutationen-")
    R["copy"] = copy = os.path.join(tmp, "quellen")
    shutil.copytree(SRC, copy, ignore=shutil.ignore_patterns("tests", "scripts", "__pycache__"))
    gmt = os.path.join(tmp, "gmt")
    os.mkdir(gmt)
    R["ref"] = identitaet.Referenz(dict(os.environ, GMT_TMPDIR=gmt, GMT_USERDIR=gmt))
    R["templates"] = identitaet.find_templates(copy)


def tearDownModule():
    shutil.rmtree(R["tmp"], ignore_errors=True)


def load(rel):
    with open(os.path.join(R["copy"], rel), encoding="utf-8") as f:
        return json.load(f)


def save(rel, tpl):
    with open(os.path.join(R["copy"], rel), "w", encoding="utf-8") as f:
        json.dump(tpl, f, ensure_ascii=False)


def checked(rel, changed):
    """Write the changed template into the copy, check it as it is read
    back from there, and restore the original."""
    original = load(rel)
    save(rel, changed)
    try:
        tpl = load(rel)
        return identitaet.check_map(rel, tpl, R["ref"]) + identitaet.check_questions(rel, tpl, R["ref"])
    finally:
        save(rel, original)


def maps():
    for rel in R["templates"]:
        tpl = load(rel)
        if "karte" in (tpl.get("bild") or {}):
            yield rel, tpl


class Mutations(unittest.TestCase):
    def test_the_sources_pass_unchanged(self):
        for rel in R["templates"]:
            self.assertEqual(checked(rel, load(rel)), [], rel)

    def test_every_swap_of_two_features_of_a_kind_fails(self):
        swaps = 0
        for rel, tpl in maps():
            labels = [i for i, o in enumerate(tpl["objekte"]) if o.get("Typ", 0) == 0]
            for a, b in itertools.combinations(labels, 2):
                oa, ob = tpl["objekte"][a], tpl["objekte"][b]
                if oa.get("art") != ob.get("art"):
                    continue
                changed = json.loads(json.dumps(tpl))
                ca, cb = changed["objekte"][a], changed["objekte"][b]
                ca["lon"], ca["lat"], cb["lon"], cb["lat"] = ob["lon"], ob["lat"], oa["lon"], oa["lat"]
                failures = checked(rel, changed)
                names = (identitaet.clean(oa["Cap"]), identitaet.clean(ob["Cap"]))
                self.assertTrue(any(f.startswith(f"{rel}: {n}:") for f in failures for n in names),
                                f"{rel}: {names[0]} and {names[1]} swapped, and no check noticed")
                swaps += 1
        self.assertGreater(swaps, 3000)

    def test_a_capital_moved_within_its_country_fails(self):
        # each capital goes to the GeoNames place of its country that lies
        # next beyond 30 km from it (in a tiny state the farthest one): still
        # in the right country, but wrong; the Vatican has no other place
        ref = R["ref"]
        moved = 0
        for rel, tpl in maps():
            for i, o in enumerate(tpl["objekte"]):
                if o.get("art") not in ("hauptstadt", "landeshauptstadt"):
                    continue
                lon, lat, country = ref.place(identitaet.clean(o["Cap"]))
                others = sorted(((identitaet.km(lon, lat, float(p["lng"]), float(p["lat"])), p)
                                 for (name, c), places in ref.places.items() if c == country
                                 for p in places), key=lambda dp: (dp[0], dp[1]["name"]))
                others = [p for d, p in others if d > identitaet.TOWN_KM]
                if not others:
                    continue
                beyond = [p for p in others
                          if identitaet.km(lon, lat, float(p["lng"]), float(p["lat"])) > 30]
                other = beyond[0] if beyond else others[-1]
                changed = json.loads(json.dumps(tpl))
                changed["objekte"][i]["lon"], changed["objekte"][i]["lat"] = \
                    float(other["lng"]), float(other["lat"])
                failures = checked(rel, changed)
                self.assertTrue(any(f.startswith(f"{rel}: {identitaet.clean(o['Cap'])}:")
                                    for f in failures), f"{rel}: {o['Cap']} moved to {other['name']}")
                moved += 1
        self.assertGreaterEqual(moved, 60)

    def test_a_state_named_as_another_fails(self):
        # two states swap their names (and the codes that go with them)
        swaps = 0
        for rel, tpl in maps():
            states = [i for i, o in enumerate(tpl["objekte"]) if o.get("art") == "staat"]
            for a, b in itertools.combinations(states, 2):
                changed = json.loads(json.dumps(tpl))
                ca, cb = changed["objekte"][a], changed["objekte"][b]
                for key in ("Cap", "in"):
                    ca[key], cb[key] = cb[key], ca[key]
                self.assertTrue(any(f.startswith(f"{rel}: ") for f in checked(rel, changed)),
                                f"{rel}: {ca['Cap']} and {cb['Cap']} renamed")
                swaps += 1
        self.assertGreater(swaps, 500)

    def test_a_wrong_answer_about_a_capital_fails(self):
        swaps = 0
        for rel in R["templates"]:
            tpl = load(rel)
            text = tpl.get("fragentext")
            if not text:
                continue
            lines = text if isinstance(text, list) else text.split("\r\n")
            capital = [n for n, line in enumerate(lines) if "hauptstadt" in line.lower()]
            for a, b in itertools.combinations(capital, 2):
                qa, aa = lines[a].split("//")
                qb, ab = lines[b].split("//")
                if aa == ab:
                    continue
                changed = dict(tpl, fragentext=[f"{qa}//{ab}" if n == a else f"{qb}//{aa}" if n == b
                                                else line for n, line in enumerate(lines)])
                failures = checked(rel, changed)
                self.assertTrue(any(f.startswith(f"{rel}: {qa}//{ab}") for f in failures),
                                f"{rel}: {qa} answered {ab}")
                swaps += 1
        self.assertGreaterEqual(swaps, 300)


if __name__ == "__main__":
    unittest.main(verbosity=2)
