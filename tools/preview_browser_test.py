#!/usr/bin/env python3
"""Opens an HTML preview of scenario_tool render in headless Chromium and
checks what a person would use: no console error, every station and route
sign drawn, a station's time shown on hover, a wheel zoom that changes the
range in view.

    preview_browser_test.py PAGE.html

Exit status 0 when all checks pass, 1 when one fails, 77 (with "SKIPPED:
<reason>") when selenium, Chromium or its driver is missing.
"""
import json
import os
import shutil
import sys

SKIP = 77
CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("CHROMEDRIVER", "/usr/bin/chromedriver")


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


def main():
    if len(sys.argv) != 2:
        print("usage: preview_browser_test.py PAGE.html", file=sys.stderr)
        return 2
    page = os.path.abspath(sys.argv[1])
    if not os.path.isfile(page):
        print("no such page: " + page, file=sys.stderr)
        return 2
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
    except ImportError:
        skip("selenium is not installed")
    browser = CHROMIUM if os.path.exists(CHROMIUM) else shutil.which("chromium")
    driver_path = CHROMEDRIVER if os.path.exists(CHROMEDRIVER) else shutil.which("chromedriver")
    if not browser:
        skip("chromium is not installed")
    if not driver_path:
        skip("chromedriver is not installed")

    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1500,1000"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(driver_path), options=options)
    failures = []

    def check(ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            failures.append(what)

    try:
        driver.get("file://" + page)
        data = json.loads(driver.find_element(By.ID, "data").get_attribute("textContent"))

        stations = driver.find_elements(By.CSS_SELECTOR, '[data-kind="station"]')
        names = [s.get_attribute("data-name") for s in stations]
        check(sorted(names) == sorted(s["name"] for s in data["stations"]),
              "every station drawn once (%d)" % len(data["stations"]))
        signs = driver.find_elements(By.CSS_SELECTOR, '[data-kind="sign"]')
        check(sorted(s.get_attribute("data-name") for s in signs) ==
              sorted(s["text"] for s in data["signs"]),
              "every route sign drawn once (%d)" % len(data["signs"]))

        # Hover the first station with a time over its line.
        timed = [i for i, s in enumerate(data["stations"]) if s["time_text"]]
        if timed:
            station = data["stations"][timed[0]]
            hit = driver.find_element(
                By.CSS_SELECTOR, '[data-item="station:%d"] .hit' % timed[0])
            ActionChains(driver).move_to_element(hit).perform()
            tooltip = driver.find_element(By.ID, "tooltip")
            check(tooltip.is_displayed() and station["time_text"] in tooltip.text,
                  "hovering %s shows its time %s" % (station["name"], station["time_text"]))

        view = driver.find_element(By.ID, "view")
        before = driver.find_element(By.ID, "range").text
        check(before.startswith("km 0+000 - km "), "the whole line in view: " + before)
        driver.execute_script(
            "const v = arguments[0], b = v.getBoundingClientRect();"
            "v.dispatchEvent(new WheelEvent('wheel', {deltaY: -400, clientX: b.left + b.width / 2,"
            " clientY: b.top + b.height / 2, bubbles: true, cancelable: true}));", view)
        driver.execute_script("return new Promise(r => requestAnimationFrame(() => r()));")
        after = driver.find_element(By.ID, "range").text
        check(after != before, "a wheel zoom changes the range: " + after)

        errors = [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]
        check(not errors, "no console error" + ("" if not errors else ": " + errors[0]["message"]))
    finally:
        driver.quit()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
