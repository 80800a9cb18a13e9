#!/usr/bin/env python3
"""scenario_tool watch with a real page open: starts the watch on a copy of
the built-in descriptions, opens its preview in headless Chromium, edits a
gradient and expects the open page to redraw by itself within two seconds;
plants an error and expects it over the last good picture, mends it, and
ends the watch with Ctrl-C (SIGINT), which must end it cleanly.

    watch_browser_test.py SCENARIO_TOOL

Exit status 0 when all checks pass, 1 when one fails, 77 (with "SKIPPED:
<reason>") when selenium, Chromium or its driver is missing or cannot start.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from browser_support import Checks, builtin_pair, console_errors, start_browser

GRADIENT_ROW = "pendenza,  850,   4"


def main():
    if len(sys.argv) != 2:
        print("usage: watch_browser_test.py SCENARIO_TOOL", file=sys.stderr)
        return 2
    tool = os.path.abspath(sys.argv[1])
    driver = start_browser()
    from selenium.webdriver.common.by import By

    check = Checks()
    with tempfile.TemporaryDirectory(prefix="watch_browser_") as work:
        route, train = builtin_pair(tool, work)
        with open(route, "rb") as f:
            original = f.read()
        check(GRADIENT_ROW.encode() in original, "the built-in route has the row " + GRADIENT_ROW)

        def save(text):
            # As an editor saves: a new file renamed over the old one.
            with open(route + ".saving", "wb") as f:
                f.write(text)
            os.replace(route + ".saving", route)

        watch = subprocess.Popen(
            [tool, "watch", "--route", route, "--train", train, "--out",
             os.path.join(work, "out"), "--port", "0"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            url = None
            deadline = time.monotonic() + 30
            while url is None and time.monotonic() < deadline:
                line = watch.stdout.readline()
                if not line:
                    break
                found = re.search(r"http://127\.0\.0\.1:\d+/", line)
                if found:
                    url = found.group(0)
            check(url is not None, "the watch says where its preview is: %s" % url)
            if url is None:
                return check.status()

            driver.get(url)

            def settled(read):
                # The page redraws by replacing its elements: a read that
                # meets one being replaced is made again.
                for _ in range(50):
                    try:
                        return read()
                    except Exception:
                        time.sleep(0.02)
                return read()

            elevation = lambda: settled(lambda: driver.find_element(
                By.CSS_SELECTOR, "polyline.elevation").get_attribute("points"))
            stations = lambda: settled(lambda: len(driver.find_elements(
                By.CSS_SELECTOR, '[data-kind="station"]')))
            error_box = lambda: driver.find_element(By.ID, "error")
            error_text = lambda: settled(lambda: error_box().text if error_box().is_displayed()
                                         else "")

            def wait_until(what, limit):
                end = time.monotonic() + limit
                while time.monotonic() < end:
                    try:
                        if what():
                            return True
                    except Exception:  # the page is being redrawn
                        pass
                    time.sleep(0.02)
                return False

            check(wait_until(lambda: stations() == 27, 5), "the live page draws the 27 stations")
            # The first event reaches a page that has loaded: the edit is seen
            # by the stream, not by the page's loading.
            time.sleep(0.5)
            before = elevation()

            started = time.monotonic()
            save(original.replace(GRADIENT_ROW.encode(), b"pendenza,  850,  25"))
            redrawn = wait_until(lambda: elevation() != before, 2)
            check(redrawn, "a gradient edit redraws the open page within 2 s (%.2f s)" %
                  (time.monotonic() - started))

            good = elevation()
            save(original.replace(GRADIENT_ROW.encode(), b"pendenza,  999999,   4"))
            shown = wait_until(lambda: "error" in error_text(), 2)
            check(shown, "a failing route shows its error over the picture: %s" %
                  (error_text().splitlines() or [""])[0])
            check(stations() == 27 and elevation() == good, "the last good picture stays")

            save(original)
            check(wait_until(lambda: error_text() == "" and elevation() != good, 2),
                  "mended, the error goes and the picture is drawn again")

            errors = console_errors(driver)
            check(not errors, "no console error" + ("" if not errors else ": " +
                                                    errors[0]["message"]))
        finally:
            driver.quit()
            watch.send_signal(signal.SIGINT)
            try:
                status = watch.wait(10)
            except subprocess.TimeoutExpired:
                watch.kill()
                status = None
            rest = watch.stdout.read()
            check(status == 0 and "stopped after" in rest,
                  "Ctrl-C ends the watch cleanly (status %s)" % status)
            err = watch.stderr.read()
            check(err == "", "nothing on standard error" + ("" if not err else ": " + err))
    return check.status()


if __name__ == "__main__":
    sys.exit(main())
