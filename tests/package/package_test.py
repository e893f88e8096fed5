#!/usr/bin/env python3
"""The Debian package as an administrator gets it: built with CPack from the build
folder, unpacked with dpkg-deb, its tool run on its own sample topics, its desktop
entry, AppStream metainfo and MIME type checked with the desktop's own tools.

    package_test.py BUILD_FOLDER
"""

import glob
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else "build"
R = {}


def run(*args, **kw):
    return subprocess.run(list(args), capture_output=True, text=True, **kw)


def setUpModule():
    R["tmp"] = tmp = tempfile.mkdtemp(prefix="kapitolo-package-")
    made = run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", os.path.join(tmp, "out"))
    if made.returncode != 0:
        raise RuntimeError("cpack failed:\n" + made.stdout + made.stderr)
    debs = glob.glob(os.path.join(tmp, "out", "*.deb"))
    if len(debs) != 1:
        raise RuntimeError(f"expected one package, found {debs}")
    R["deb"] = debs[0]
    R["root"] = root = os.path.join(tmp, "root")
    R["control"] = control = os.path.join(tmp, "control")
    for option, folder in (("-x", root), ("-e", control)):
        done = run("dpkg-deb", option, R["deb"], folder)
        if done.returncode != 0:
            raise RuntimeError(done.stderr)
    R["prog"] = os.path.join(root, "opt", "kapitolo")


def tearDownModule():
    shutil.rmtree(R["tmp"], ignore_errors=True)


def field(name):
    out = run("dpkg-deb", "-f", R["deb"], name).stdout.strip()
    return out


class Package(unittest.TestCase):
    def test_name_and_dependencies(self):
        version = field("Version")
        self.assertEqual(os.path.basename(R["deb"]), f"kapitolo_{version}_amd64.deb")
        depends = field("Depends")
        # Found by dpkg-shlibdeps from the executables, and the ones no library names.
        for package in ("libqt6core6", "libqt6widgets6", "libqt6printsupport6", "libqt6multimedia6", "libpng16-16",
                        "qt6-translations-l10n", "fonts-liberation"):
            self.assertIn(package, depends)

    def test_program_folder_and_launchers(self):
        prog = R["prog"]
        for rel in ("kapitolo", "kapitolo-tool"):
            self.assertTrue(os.access(os.path.join(prog, rel), os.X_OK), rel)
            link = os.path.join(R["root"], "usr", "bin", rel)
            self.assertEqual(os.readlink(link), "/opt/kapitolo/" + rel)
        # The sound output is a module beside the program, loaded at the first sound.
        self.assertTrue(os.path.isfile(os.path.join(prog, "libkapitolo-sound.so")))
        for rel in ("data/kapitolo.png", "data/hintergrund1.png", "data/cursors/HAND.png",
                    "sound/Richtig1.wav", "sound/Falsch1.wav", "hilfe/index.html"):
            self.assertTrue(os.path.isfile(os.path.join(prog, rel)), rel)
        self.assertTrue(os.path.isdir(os.path.join(prog, "setupbasissystem")))
        # Results never go into the program folder of an installation.
        for sub in ("protokolle", "bestenlisten", "kom"):
            self.assertFalse(os.path.exists(os.path.join(prog, sub)), sub)
        for size in (16, 22, 24, 32, 48, 64, 128, 256):
            icon = os.path.join(R["root"], f"usr/share/icons/hicolor/{size}x{size}/apps/kapitolo.png")
            with open(icon, "rb") as f:
                head = f.read(24)
            self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual((int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")), (size, size))

    def test_unpacked_tool_checks_the_unpacked_samples(self):
        tool = os.path.join(R["prog"], "kapitolo-tool")
        topics = sorted(glob.glob(os.path.join(R["prog"], "themen", "**", "*.tsr"), recursive=True))
        self.assertGreaterEqual(len(topics), 7)
        checked = run(tool, "check", *topics)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertIn(f"{len(topics)} Dokument(e) geprüft, alles in Ordnung.", checked.stdout)
        europe = os.path.join(R["prog"], "themen", "europa-hauptstaedte.tsr")
        caps = [o["Cap"] for o in json.loads(run(tool, "info", europe).stdout)["objects"]]
        self.assertIn("Chisinau", caps)
        menu = run(tool, "topics", os.path.join(R["prog"], "themen")).stdout
        self.assertIn("Hauptstädte Europas", menu)

    def test_desktop_entry(self):
        desktop = os.path.join(R["root"], "usr/share/applications/kapitolo.desktop")
        valid = run("desktop-file-validate", desktop)
        self.assertEqual(valid.returncode, 0, valid.stdout + valid.stderr)
        self.assertEqual(valid.stdout.strip(), "")
        with open(desktop, encoding="utf-8") as f:
            text = f.read()
        self.assertRegex(text, r"(?m)^Exec=kapitolo %f$")
        self.assertRegex(text, r"(?m)^MimeType=application/x-kapitolo-topic;$")
        self.assertRegex(text, r"(?m)^Icon=kapitolo$")

    def test_metainfo_in_german_and_english(self):
        metainfo = os.path.join(R["root"], "usr/share/metainfo/de.ostrabel.kapitolo.metainfo.xml")
        valid = run("appstreamcli", "validate", "--no-net", "--pedantic", metainfo)
        self.assertEqual(valid.returncode, 0, valid.stdout + valid.stderr)
        self.assertNotRegex(valid.stdout, r"(?m)^[EWIP]:")
        with open(metainfo, encoding="utf-8") as f:
            text = f.read()
        self.assertIn('<summary xml:lang="de">', text)
        self.assertIn('<p xml:lang="de">', text)
        self.assertIn("<launchable type=\"desktop-id\">kapitolo.desktop</launchable>", text)

    def test_mime_type_by_name_and_by_magic(self):
        data = os.path.join(R["tmp"], "share")
        os.makedirs(os.path.join(data, "mime"))
        shutil.copytree(os.path.join(R["root"], "usr/share/mime/packages"), os.path.join(data, "mime/packages"))
        built = run("update-mime-database", os.path.join(data, "mime"))
        self.assertEqual(built.returncode, 0, built.stderr)
        env = dict(os.environ, XDG_DATA_DIRS=data + ":/usr/share", XDG_DATA_HOME=os.path.join(R["tmp"], "none"))
        sample = os.path.join(R["prog"], "themen", "wasserkreislauf.tsr")
        renamed = os.path.join(R["tmp"], "thema-ohne-endung")
        shutil.copy(sample, renamed)
        other = os.path.join(R["tmp"], "anderes")
        with open(other, "wb") as f:
            f.write(b"\x08\x00\x00\x00XYZ-1.01 not a topic")

        def content_type(path):
            out = run("gio", "info", "-a", "standard::content-type", path, env=env).stdout
            return re.search(r"standard::content-type: (\S+)", out).group(1)
        self.assertEqual(content_type(sample), "application/x-kapitolo-topic")
        self.assertEqual(content_type(renamed), "application/x-kapitolo-topic")
        self.assertNotEqual(content_type(other), "application/x-kapitolo-topic")

    @unittest.skipUnless(os.geteuid() == 0, "the maintainer scripts give the folders to root")
    def test_maintainer_scripts_make_the_shared_folders(self):
        env = dict(os.environ, DPKG_ROOT=R["root"])
        done = run("sh", os.path.join(R["control"], "postinst"), "configure", env=env)
        self.assertEqual(done.returncode, 0, done.stderr)
        shared = os.path.join(R["root"], "var/lib/kapitolo")
        self.assertEqual(stat.S_IMODE(os.stat(shared).st_mode), 0o755)
        for sub in ("protokolle", "bestenlisten", "kom"):
            st = os.stat(os.path.join(shared, sub))
            self.assertEqual(stat.S_IMODE(st.st_mode), 0o1777, sub)
            self.assertEqual((st.st_uid, st.st_gid), (0, 0))
        open(os.path.join(shared, "protokolle", "x.rtf"), "w").close()
        # A removal keeps the pupils' results, a purge takes them away.
        self.assertEqual(run("sh", os.path.join(R["control"], "postrm"), "remove", env=env).returncode, 0)
        self.assertTrue(os.path.exists(os.path.join(shared, "protokolle", "x.rtf")))
        self.assertEqual(run("sh", os.path.join(R["control"], "postrm"), "purge", env=env).returncode, 0)
        self.assertFalse(os.path.exists(shared))


if __name__ == "__main__":
    unittest.main(verbosity=2)
