#!/usr/bin/env python3
"""A pupil in a real browser joins the teacher's exercise.

The teacher's program runs under Xvfb and initiates a map exercise with browser
participation allowed. Headless Chromium, driven by Selenium, joins with code and
name, plays the map by pointer drags with one wrong drop, reloads the page in the
middle and goes on where it was, and finishes. The teacher's row, the network best
list and the results file are read back. A second exercise on single questions, on a
phone-sized window, is played by a number key and taps.

    web_e2e.py PROGRAM_DIR ARTEFACT_DIR
"""
import json
import os
import random
import shutil
import socket
import string
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quiz_e2e as base  # noqa: E402
import network_e2e as net  # noqa: E402

PROGRAM_DIR = base.PROGRAM_DIR
ARTEFACTS = base.ARTEFACTS
TOOL = os.path.join(PROGRAM_DIR, "kapitolo-tool")
log = base.log
check = base.check
CODE = "4321"
NAME = "Jürgen Łukasz"

MAP = {
    "titel": "Browser-Karte",
    "DokTyp": 0,
    "RandErw": [0.05, 0.05, 0.05, 0.05],
    "objects": [
        {"Cap": "Nordsee", "Sx": 0.15, "Sy": 0.15, "Kx": 0.15, "Ky": 0.15},
        {"Cap": "Ostsee", "Sx": 0.7, "Sy": 0.15, "Kx": 0.7, "Ky": 0.15},
        {"Cap": "Alpen", "Sx": 0.45, "Sy": 0.85, "Kx": 0.45, "Ky": 0.85},
        {"Cap": "Rhein", "Sx": 0.15, "Sy": 0.55, "Kx": 0.15, "Ky": 0.55},
        {"Cap": "Elbe", "Sx": 0.7, "Sy": 0.55, "Kx": 0.7, "Ky": 0.55},
    ],
}
QUESTIONS = {
    "Wie viel ist 3 mal 4?": "12",
    "Wie viel ist 5 mal 6?": "30",
    "Wie viel ist 7 mal 8?": "56",
    "Wie viel ist 9 mal 9?": "81",
}


def free_port():
    with socket.socket() as s:
        s.bind(("0.0.0.0", 0))
        return s.getsockname()[1]


class Teacher(net.Program):
    """The teacher's program with browser participation on a port of this run."""

    def __init__(self, display, home, kom, channel, topic, port):
        super().__init__(display, home, kom, channel, topic,
                         f"NetzWebTeilnahme=1\nNetzWebPort={port}\nNetzWebCode={CODE}\n")

    def initiate(self, dialog):
        self.press("F9")
        self.wait_for(lambda s: s.get("dialog") == dialog, "the network options dialog")
        self.xdo("key", "Return")  # "Übung starten"
        return self.wait_for(lambda s: net.network(s).get("role") == 2 and net.network(s).get("web", {}).get("active"),
                             "the exercise with its web server")

    def end_exercise(self):
        """"Netzwerk-Übung beenden" on the control display, confirmed."""
        found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                                "--name", "Kontrollanzeige"], env=self.env, capture_output=True, text=True)
        window = found.stdout.split()[0]
        self.xdo("windowraise", window)
        self.xdo("windowfocus", "--sync", window)
        self.xdo("key", "alt+b")
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            self.xdo("key", "Return")  # "Ja" of the confirmation, once it stands
            s = self.state()
            if s and net.network(s).get("role") == 0:
                return s
            time.sleep(0.3)
        raise RuntimeError("the exercise did not end")


def build_topics(root):
    def build(name, source):
        json_path = os.path.join(root, name + ".json")
        with open(json_path, "w", encoding="utf-8") as f:
            json.dump(source, f, ensure_ascii=False)
        tsr = os.path.join(root, name + ".tsr")
        subprocess.run([TOOL, "build", json_path, tsr], check=True, capture_output=True)
        return tsr

    image = os.path.join(root, "karte.png")
    subprocess.run(["/usr/bin/convert", "-size", "800x640", "xc:#cfe3c8",
                    "-fill", "#8fb6d8", "-draw", "rectangle 0,0 800,200", image], check=True)
    source = dict(MAP)
    source["image"] = "karte.png"
    topic_map = build("karte", source)
    questions = {"titel": "Einmaleins im Browser", "DokTyp": 2,
                 "fragentext": "\n".join(q + "//" + a for q, a in QUESTIONS.items())}
    topic_questions = build("fragen", questions)
    # Where each place lies: its point on the card, in card fractions.
    places = {obj["Cap"]: (obj["Kx"], obj["Ky"]) for obj in MAP["objects"]}
    return topic_map, topic_questions, places


def start_browser(root):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--window-size=1100,900",
                f"--user-data-dir={os.path.join(root, 'chromium')}"):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait(driver, condition, what, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            value = condition(driver)
            if value:
                return value
        except Exception:  # the page is being rebuilt
            pass
        time.sleep(0.05)
    raise RuntimeError(f"timed out waiting for {what}")


def tiles(driver):
    return {t.text: t for t in driver.find_elements(By.CLASS_NAME, "kachel") if t.is_displayed()}


def figures(driver):
    return {k: driver.find_element(By.ID, k).text for k in ("richtig", "fehlversuche", "offen")}


def join(driver, url):
    driver.get(url)
    wait(driver, lambda d: d.find_element(By.NAME, "code").is_displayed(), "the join page")
    driver.find_element(By.NAME, "code").send_keys(CODE)
    driver.find_element(By.NAME, "name").send_keys(NAME)
    note = wait(driver, lambda d: d.find_element(By.ID, "namenshinweis").text.startswith("In der Bestenliste"),
                "the note on the name")
    check(note, "the join page says how the best list keeps the name")
    check(driver.find_element(By.ID, "namenshinweis").text == "In der Bestenliste steht: Jürgen Lukasz",
          "as the name entry says it")
    driver.find_element(By.NAME, "name").submit()


def drag(driver, tile, place):
    """Drags the tile with the pointer so that its left edge's middle lies on the place's point."""
    card = driver.find_element(By.ID, "karte")
    c = card.rect
    t = tile.rect
    grab_x, grab_y = t["x"] + t["width"] / 2, t["y"] + t["height"] / 2
    fx, fy = place
    # Card fractions are fractions of the image element: (fx, fy) of it is that point.
    to_x = c["x"] + fx * c["width"] + t["width"] / 2
    to_y = c["y"] + fy * c["height"]
    actions = ActionChains(driver)
    pointer = actions.w3c_actions.pointer_action
    pointer.move_to_location(int(grab_x), int(grab_y))
    pointer.pointer_down()
    for i in range(1, 9):
        pointer.move_to_location(int(grab_x + (to_x - grab_x) * i / 8), int(grab_y + (to_y - grab_y) * i / 8))
    pointer.pointer_up()
    actions.perform()


def wait_settled(driver, before):
    """After an answer: the figures changed, and no answer is on its way."""
    wait(driver, lambda d: figures(d) != before and not d.execute_script(
        "return sessionStorage.getItem('kapitolo.offen')"), "the verdict")
    return figures(driver)


def play_map(driver, url, places):
    answered = 0
    wrong_done = False
    reloaded = False
    while True:
        if driver.find_element(By.ID, "ergebnis").is_displayed():
            return
        shown = wait(driver, lambda d: tiles(d) or d.find_element(By.ID, "ergebnis").is_displayed(), "tiles")
        if shown is True:
            return
        caption, tile = sorted(shown.items())[0]
        before = figures(driver)
        if not wrong_done:
            other = [p for p in places if p != caption and p in shown][0]
            drag(driver, tile, places[other])
            wrong_done = True
            after = wait_settled(driver, before)
            check(after["fehlversuche"] == "1", f"one failed attempt after the wrong drop ({after})")
            continue
        drag(driver, tile, places[caption])
        wait(driver, lambda d: caption not in tiles(d) or d.find_element(By.ID, "ergebnis").is_displayed(),
             f"{caption} placed")
        answered += 1
        if answered == 2 and not reloaded:
            seen = figures(driver)
            driver.refresh()
            back = wait(driver, lambda d: tiles(d) and figures(d), "the quiz after the reload")
            check(back == seen, f"after the reload the same figures ({seen} / {back})")
            check(set(tiles(driver)) == set(places) - {c for c in places if c not in shown or c == caption},
                  "and the same tiles")
            reloaded = True


def play_questions(driver):
    by_key = True  # the first answer with a number key, as on the desktop; the others by taps
    while True:
        if driver.find_element(By.ID, "ergebnis").is_displayed():
            return
        question = wait(driver, lambda d: d.find_element(By.ID, "fragetext").text, "a question")
        if not os.path.exists(os.path.join(ARTEFACTS, "web-frage-handy.png")):
            driver.save_screenshot(os.path.join(ARTEFACTS, "web-frage-handy.png"))
        counter = driver.find_element(By.ID, "frage").text
        if by_key:
            order = [t.text for t in driver.find_elements(By.CLASS_NAME, "kachel") if t.is_displayed()]
            ActionChains(driver).send_keys(str(order.index(QUESTIONS[question]) + 1)).perform()
            by_key = False
        else:
            tiles(driver)[QUESTIONS[question]].click()
        wait(driver, lambda d: d.find_element(By.ID, "ergebnis").is_displayed()
             or d.find_element(By.ID, "frage").text != counter, "the next question")


def result(driver):
    return {k: driver.find_element(By.ID, "e-" + k).text
            for k in ("richtig", "fehlversuche", "quote", "gesamtleistung", "zeit", "note")}


def main():
    display = net.Display()
    root = tempfile.mkdtemp(prefix="kapitolo-web-e2e-")
    kom = os.path.join(root, "kom")
    os.makedirs(kom)
    channel = "W" + "".join(random.choice(string.ascii_uppercase + string.digits) for _ in range(7))
    port = free_port()
    url = f"http://127.0.0.1:{port}/"
    teacher = driver = None
    try:
        topic_map, topic_questions, places = build_topics(root)
        teacher = Teacher(display, os.path.join(root, "lehrer"), kom, channel, topic_map, port)
        s = teacher.initiate("TUebOptForm")
        check(net.network(s)["web"]["code"] == CODE and net.network(s)["web"]["port"] == port,
              "the web server runs with the fixed code")
        teacher.screenshot("web-kontrollanzeige.png")

        driver = start_browser(root)
        join(driver, url)
        wait(driver, lambda d: len(tiles(d)) == len(places), "the map's tiles")
        play_map(driver, url, places)
        shown = result(driver)
        log("browser result:", shown)
        driver.save_screenshot(os.path.join(ARTEFACTS, "web-ergebnis.png"))
        check(shown["fehlversuche"] == "1", "one failed attempt in the result")
        check(shown["richtig"].startswith("5"), "every place right in the end")

        s = teacher.wait_for(lambda s: net.network(s).get("finished") == 1, "the browser pupil's finished row")
        row = net.network(s)["rows"][0]
        log("control display row:", json.dumps(row, ensure_ascii=False))
        check(row["Rechner"] == "Browser 127.0.0.1" and row["Benutzer"] == NAME, "the row names the browser and pupil")
        check(row["Status"] == "beendet" and row["Fehlversuche"] == "1" and row["Richtig"] == "5",
              "the row has the pupil's figures")
        check(row["Gesamtleistung"] == shown["gesamtleistung"], "the total performance as the browser showed it")
        check(net.network(s)["discarded"] == 0, "no message was discarded")

        best = os.path.join(kom, channel + "-tsrnetzuebung.hsc")
        text = subprocess.run([TOOL, "bestlist", best], capture_output=True, check=True).stdout.decode("cp1252")
        rows = [r for r in text.split("\r\n") if r]
        log("network best list:", rows)
        check(len(rows) == 2 and rows[1].split("\t")[1] == "Jürgen Lukasz", "the best list keeps the folded name")
        check(rows[1].split("\t")[3] == shown["gesamtleistung"], "with the total performance")

        s = teacher.end_exercise()
        results = net.network(s).get("resultsFile") or ""
        with open(results, encoding="utf-8-sig") as f:
            csv = f.read()
        log("results file:", csv)
        check("Browser 127.0.0.1;" + NAME in csv, "the results file has the browser pupil's row")
        teacher.stop()

        # The second exercise: single questions, answered by taps.
        teacher = Teacher(display, os.path.join(root, "lehrer2"), kom, channel, topic_questions, port)
        teacher.initiate("TUebOptFragenForm")
        driver.set_window_size(390, 844)  # a phone this time
        driver.get(url)  # the old session ended with its exercise: the join page again
        join(driver, url)
        play_questions(driver)
        shown = result(driver)
        driver.save_screenshot(os.path.join(ARTEFACTS, "web-ergebnis-handy.png"))
        log("browser result (questions):", shown)
        check(shown["fehlversuche"] == "0" and shown["note"].startswith("1"), "every question right at once")
        s = teacher.wait_for(lambda s: net.network(s).get("finished") == 1, "the row of the question quiz")
        row = net.network(s)["rows"][0]
        check(row["Richtig"] == str(len(QUESTIONS)) and row["Note"] == "1", "the teacher sees the same")
        return 0
    except Exception as error:  # report, then fail
        log(f"FAILED: {error}")
        if teacher:
            teacher.screenshot("web-fehler.png")
        if driver:
            try:
                driver.save_screenshot(os.path.join(ARTEFACTS, "web-browser-fehler.png"))
            except Exception:  # pylint: disable=broad-except
                pass
        return 1
    finally:
        if driver:
            driver.quit()
        if teacher:
            teacher.stop_and_log()
        display.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    os.makedirs(ARTEFACTS, exist_ok=True)
    sys.exit(main())
