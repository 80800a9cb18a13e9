#!/usr/bin/env python3
"""Opens the HTML preview of the built-in scenario (scenario_tool render
--html) in headless Chromium and checks what a person would use: no console
error, every station and route sign drawn, a station's time shown on hover,
a wheel zoom that changes the range in view, a search that moves it.

    preview_browser_test.py SCENARIO_TOOL

Exit status 0 when all checks pass, 1 when one fails, 77 (with "SKIPPED:
<reason>") when selenium, Chromium or its driver is missing or cannot start.
"""
import json
import os
import sys
import tempfile

from browser_support import Checks, builtin_pair, console_errors, run_tool, start_browser


def main():
    if len(sys.argv) != 2:
        print("usage: preview_browser_test.py SCENARIO_TOOL", file=sys.stderr)
        return 2
    tool = os.path.abspath(sys.argv[1])
    driver = start_browser()
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    check = Checks()
    with tempfile.TemporaryDirectory(prefix="preview_browser_") as work:
        route, train = builtin_pair(tool, os.path.join(work, "src"))
        out = os.path.join(work, "out")
        run_tool(tool, "compile", "--route", route, "--train", train, "--out", out)
        page = os.path.join(work, "preview.html")
        run_tool(tool, "render", out, "--html", page)
        try:
            driver.get("file://" + page)
            data = json.loads(driver.find_element(By.ID, "data").get_attribute("textContent"))

            stations = driver.find_elements(By.CSS_SELECTOR, '[data-kind="station"]')
            check(sorted(s.get_attribute("data-name") for s in stations) ==
                  sorted(s["name"] for s in data["stations"]) and len(data["stations"]) == 27,
                  "every station drawn once (%d)" % len(data["stations"]))
            signs = driver.find_elements(By.CSS_SELECTOR, '[data-kind="sign"]')
            check(sorted(s.get_attribute("data-name") for s in signs) ==
                  sorted(s["text"] for s in data["signs"]) and len(data["signs"]) == 51,
                  "every route sign drawn once (%d)" % len(data["signs"]))

            # Hover the first station with a time over its line.
            timed = [i for i, s in enumerate(data["stations"]) if s["time_text"]]
            check(bool(timed), "a station with a time")
            if timed:
                station = data["stations"][timed[0]]
                hit = driver.find_element(
                    By.CSS_SELECTOR, '[data-item="station:%d"] .hit' % timed[0])
                ActionChains(driver).move_to_element(hit).perform()
                tooltip = driver.find_element(By.ID, "tooltip")
                check(tooltip.is_displayed() and station["time_text"] in tooltip.text,
                      "hovering %s shows its time %s" % (station["name"], station["time_text"]))

            # Every other kind of mark tells its values too: the first of
            # each, pointed at where it is drawn.
            words = {"sign": "route sign", "signal": "signal", "slowdown": "slowdown",
                     "indicator": "speed indicator", "mountain": "mountain stretch",
                     "cell": "cell"}
            for kind, word in words.items():
                text = driver.execute_script(
                    "const e = document.querySelector('[data-kind=\"' + arguments[0] + '\"]');"
                    "if (!e) return null;"
                    "const b = e.getBoundingClientRect();"
                    "e.dispatchEvent(new PointerEvent('pointermove', {bubbles: true,"
                    " clientX: b.left + b.width / 2, clientY: b.top + b.height / 2}));"
                    "const t = document.getElementById('tooltip');"
                    "return t.hidden ? '' : t.textContent;", kind)
                check(text is not None and word in text and "km " in text,
                      "pointing at a %s shows its values: %s" %
                      (kind, (text or "nothing drawn").replace("\n", " / ")[:90]))
                # Each value on a line of its own, the heading's included.
                if kind in ("slowdown", "mountain"):
                    check(text is not None and "\nfrom km " in text,
                          "the %s's heading ends its line: %s" %
                          (kind, (text or "").replace("\n", " / ")[:90]))

            view = driver.find_element(By.ID, "view")
            shown = lambda: driver.find_element(By.ID, "range").text
            before = shown()
            check(before.startswith("km 0+000 - km "), "the whole line in view: " + before)
            driver.execute_script(
                "const v = arguments[0], b = v.getBoundingClientRect();"
                "v.dispatchEvent(new WheelEvent('wheel', {deltaY: -400,"
                " clientX: b.left + b.width / 2, clientY: b.top + b.height / 2,"
                " bubbles: true, cancelable: true}));", view)
            driver.execute_script("return new Promise(r => requestAnimationFrame(() => r()));")
            zoomed = shown()
            check(zoomed != before, "a wheel zoom changes the range: " + zoomed)

            last = data["stations"][-1]
            search = driver.find_element(By.ID, "search")
            search.send_keys(last["name"], Keys.ENTER)
            driver.execute_script("return new Promise(r => requestAnimationFrame(() => r()));")
            found = shown()
            check(found != zoomed, "searching %s moves the view: %s" % (last["name"], found))

            errors = console_errors(driver)
            check(not errors, "no console error" + ("" if not errors else ": " +
                                                    errors[0]["message"]))
        finally:
            driver.quit()
    return check.status()


if __name__ == "__main__":
    sys.exit(main())
