#!/usr/bin/env python3
"""The headless screenshot tools on a picture they cannot read: each says why on standard error and ends with
status 1, with no message box waiting for an answer nobody gives.

Usage: NUBO_SHELL_BIN=path/to/build/src/shell screenshot_tools_test.py
"""

import os
import shutil
import subprocess
import tempfile
import unittest

BIN = os.environ.get("NUBO_SHELL_BIN", ".")


class MissingPicture(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="nubo-screenshot-test-")
        self.missing = os.path.join(self.folder, "no-such-picture.bmp")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def check_refused(self, tool, *arguments):
        environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        try:
            result = subprocess.run([os.path.join(BIN, tool), *arguments], capture_output=True, text=True,
                                    timeout=60, env=environment)
        except subprocess.TimeoutExpired:
            self.fail(f"{tool} did not end on a missing picture")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("cannot open", result.stderr)
        self.assertEqual(os.listdir(self.folder), [])

    def test_screenshot(self):
        self.check_refused("nubo_screenshot", os.path.join(self.folder, "shot.png"), self.missing)

    def test_compare_screenshots(self):
        self.check_refused("nubo_compare_screenshots", self.folder, self.missing)

    def test_dock_screenshots(self):
        self.check_refused("nubo_dock_screenshots", self.folder, self.missing)


if __name__ == "__main__":
    unittest.main()
