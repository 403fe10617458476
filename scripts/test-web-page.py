#!/usr/bin/env python3
"""The page in headless Chromium, driven through ChromeDriver (WebDriver over HTTP, Python's
standard library only), served from 127.0.0.1 by scripts/serve-web.py.

  test-web-page.py WEB_FOLDER OUT_FOLDER

Checks, keeping a screenshot of each step in OUT_FOLDER:
  1. the question box shows; Enter answers Yes;
  2. the scene is shown: a real picture in the canvas, not black, not the box;
  3. ArrowLeft held turns the view: the picture moves sideways, the right way, further than the
     scene moves by itself in the same time;
  4. SPACE offers the frame as a download; the Full screen button and F11; Esc ends the
     program and the page says so;
  5. with Data.kqx missing, and with it cut short, the program's own error box shows, and OK
     ends the page.
Steps 1 to 4 run twice: served cross-origin isolated (the build on worker threads) and as a
plain static host serves it (the one-thread build); step 5 on the plain one.
Every step is bounded in time; the browser resolves no name but 127.0.0.1 and uses no proxy.
"""
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

STEP_SECONDS = 60
FAILURES = []


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, probe, seconds=STEP_SECONDS, interval=0.2):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(interval)
    raise TimeoutError(f"{what}: not within {seconds} s")


class Browser:
    """One ChromeDriver session of headless Chromium."""

    def __init__(self, driver_port):
        self.base = f"http://127.0.0.1:{driver_port}"
        args = [
            "--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=900,760",
            "--no-first-run", "--no-default-browser-check", "--disable-extensions",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--no-proxy-server", "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
            "--disable-features=Translate,MediaRouter,OptimizationHints",
            # Frames keep coming while the window is not in front, as in a visible window.
            "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
            "--disable-backgrounding-occluded-windows",
        ]
        caps = {"capabilities": {"alwaysMatch": {
            "browserName": "chrome",
            "goog:chromeOptions": {"binary": shutil.which("chromium") or "/usr/bin/chromium",
                                   "args": args},
        }}}
        self.session = self.call("POST", "/session", caps)["sessionId"]

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=STEP_SECONDS) as response:
                return json.loads(response.read() or b"{}").get("value")
        except urllib.error.HTTPError as e:
            raise RuntimeError(f"WebDriver {method} {path}: {e.read().decode(errors='replace')}")

    def go(self, url):
        self.call("POST", f"/session/{self.session}/url", {"url": url})

    def js(self, script, *args):
        return self.call("POST", f"/session/{self.session}/execute/sync",
                         {"script": script, "args": list(args)})

    def keys(self, *actions):
        """Key actions: ("down", KEY), ("up", KEY), ("pause", MS)."""
        sequence = []
        for kind, value in actions:
            if kind == "pause":
                sequence.append({"type": "pause", "duration": value})
            else:
                sequence.append({"type": "keyDown" if kind == "down" else "keyUp", "value": value})
        self.call("POST", f"/session/{self.session}/actions",
                  {"actions": [{"type": "key", "id": "keyboard", "actions": sequence}]})

    def click(self, css):
        element = self.call("POST", f"/session/{self.session}/element",
                            {"using": "css selector", "value": css})
        self.call("POST", f"/session/{self.session}/element/{list(element.values())[0]}/click", {})

    def screenshot(self, path):
        png = base64.b64decode(self.call("GET", f"/session/{self.session}/screenshot"))
        with open(path, "wb") as f:
            f.write(png)

    def close(self):
        try:
            self.call("DELETE", f"/session/{self.session}")
        except Exception:
            pass


ENTER, ESCAPE, LEFT, F11 = "\ue007", "\ue00c", "\ue012", "\ue03b"

# The canvas's picture, brought down to a grey image of 160 columns for comparing.
CANVAS_SUMMARY = """
const c = document.getElementById('screen');
if (!c || document.getElementById('stage').hidden) return null;
const w = 160, h = Math.round(160 * c.height / c.width);
const t = document.createElement('canvas'); t.width = w; t.height = h;
const g = t.getContext('2d'); g.imageSmoothingEnabled = true; g.drawImage(c, 0, 0, w, h);
const d = g.getImageData(0, 0, w, h).data;
const grey = [], colours = new Set();
let sum = 0;
for (let i = 0; i < d.length; i += 4) {
  const v = (d[i] * 3 + d[i + 1] * 6 + d[i + 2]) / 10;
  grey.push(v); sum += v; colours.add((d[i] >> 3) << 10 | (d[i + 1] >> 3) << 5 | d[i + 2] >> 3);
}
return {w, h, grey, mean: sum / grey.length, colours: colours.size};
"""


def sideways_shift(a, b):
    """The columns b's picture lies to the right of a's (negative: left), from the column
    profiles of the upper two thirds (sky, horizon, islands), and how well that matches."""
    w, h = a["w"], a["h"]
    rows = range(0, h * 2 // 3)

    def profile(s):
        return [sum(s["grey"][y * w + x] for y in rows) / len(rows) for x in range(w)]

    pa, pb = profile(a), profile(b)
    best = None
    for d in range(-60, 61):
        xs = [x for x in range(w) if 0 <= x + d < w]
        if len(xs) < w // 2:
            continue
        err = sum(abs(pa[x] - pb[x + d]) for x in xs) / len(xs)
        if best is None or err < best[1]:
            best = (d, err)
    return best


def changed(a, b):
    return sum(abs(p - q) > 12 for p, q in zip(a["grey"], b["grey"])) / len(a["grey"])


def check(condition, message):
    if condition:
        print(f"  ok: {message}")
    else:
        print(f"  FAILED: {message}")
        FAILURES.append(message)


def state(browser):
    return browser.js("return document.body.dataset.state;")


def frames_shown(browser):
    return browser.js("return window.Module && Module.page ? Module.page.frames.shown : 0;") or 0


def run_page(browser, url, out, expected):
    print(f"The page at {url}")
    browser.go(url)
    # 1. The question, answered with the keyboard.
    wait_for("the question box", lambda: state(browser) == "asking")
    browser.screenshot(os.path.join(out, f"{expected[:-3]}-1-question.png"))
    text = browser.js("return document.getElementById('box-text').textContent;")
    check("Hi-res" in text and "Lo-res" in text, f"the question box asks: {text!r}")
    program = browser.js("return document.body.dataset.program;")
    check(program == expected, f"the page runs {expected}: {program}")
    browser.keys(("down", ENTER), ("up", ENTER))
    wait_for("the scene after Yes", lambda: state(browser) == "running" and frames_shown(browser) > 90)
    # 2. The scene, once the start's fade-in and camera move are over (a few seconds): then
    # only the water and the sky move by themselves.
    def settled():
        a = browser.js(CANVAS_SUMMARY)
        browser.keys(("pause", 1200))
        b = browser.js(CANVAS_SUMMARY)
        return (a, b) if abs(sideways_shift(a, b)[0]) <= 2 and changed(a, b) < 0.5 else None

    idle_a, idle_b = wait_for("the start's fade-in and camera move to end", settled, interval=0)
    browser.screenshot(os.path.join(out, f"{expected[:-3]}-2-scene.png"))
    size = browser.js("const c = document.getElementById('screen'); return [c.width, c.height];")
    check(size == [640, 480], f"Yes draws 640x480 frames: {size}")
    shown = browser.js(CANVAS_SUMMARY)
    check(shown is not None and shown["colours"] > 200 and 20 < shown["mean"] < 235,
          f"a real picture: {shown and shown['colours']} colours, mean grey "
          f"{shown and round(shown['mean'])}")
    check(browser.js("return document.getElementById('box').hidden;"), "the box is gone")
    # 3. The view turned by a held key, against the scene's own motion over the same time.
    before = browser.js(CANVAS_SUMMARY)
    browser.keys(("down", LEFT), ("pause", 700), ("up", LEFT))
    # The turn slows to a stop once the key is up.
    browser.keys(("pause", 500))
    after = browser.js(CANVAS_SUMMARY)
    browser.screenshot(os.path.join(out, f"{expected[:-3]}-3-turned-left.png"))
    idle_shift, turn_shift = sideways_shift(idle_a, idle_b), sideways_shift(before, after)
    print(f"  idle: shift {idle_shift[0]} columns (mismatch {idle_shift[1]:.1f}), "
          f"{changed(idle_a, idle_b):.1%} changed; ArrowLeft: shift {turn_shift[0]} columns "
          f"(mismatch {turn_shift[1]:.1f}), {changed(before, after):.1%} changed")
    # Turning left brings what was on the left into view: the picture moves right.
    check(turn_shift[0] >= 8 and abs(idle_shift[0]) <= 2,
          "ArrowLeft held turns the view left (the picture moves right)")
    # SPACE keeps the frame: offered as a download, which the program says.
    browser.keys(("down", " "), ("pause", 200), ("up", " "))
    kept = wait_for("the picture offered", lambda: [
        line for line in browser.js("return Module.page.output;")
        if line.startswith("Screenshot offered as a download: velmora-")], seconds=10)
    check(kept[0].endswith(".png"), f"SPACE offers the frame: {kept[0]!r}")
    # Full screen: the page's button, then F11 back to the page.
    full = "return document.fullscreenElement ? document.fullscreenElement.id : '';"
    browser.click("#fullscreen")
    check(wait_for("full screen", lambda: browser.js(full) == "stage", seconds=10),
          "the Full screen button puts the frame on the whole screen")
    browser.screenshot(os.path.join(out, f"{expected[:-3]}-3-full-screen.png"))
    browser.keys(("down", F11), ("up", F11))
    wait_for("the page again", lambda: browser.js(full) == "", seconds=10)
    check(state(browser) == "running", "F11 gives the page back, the program running on")
    # 4. Esc, held as a person presses it (the program reads whether it is down).
    browser.keys(("down", ESCAPE), ("pause", 300), ("up", ESCAPE))
    wait_for("the end after Esc", lambda: state(browser) in ("ended", "failed"))
    browser.screenshot(os.path.join(out, f"{expected[:-3]}-4-ended.png"))
    said = browser.js("return document.getElementById('status').textContent;")
    check(state(browser) == "ended" and "has ended" in said, f"Esc ends the program: {said!r}")


def run_missing_data(browser, url, out, what="without Data.kqx", expected="Data.kqx not found"):
    print(f"The page {what} at {url}")
    browser.go(url)
    # The question comes first, as always; the archive is looked for after it.
    wait_for("the question box", lambda: state(browser) == "asking")
    program = browser.js("return document.body.dataset.program;")
    check(program == "velmora.js", f"not isolated, the page runs the one-thread build: {program}")
    browser.keys(("down", ENTER), ("up", ENTER))
    wait_for("the error box", lambda: state(browser) == "asking" and
             "Hi-res" not in browser.js("return document.getElementById('box-text').textContent;"))
    browser.screenshot(os.path.join(out, f"5-{what.replace(' ', '-')}.png"))
    text = browser.js("return document.getElementById('box-text').textContent;")
    check(expected in text, f"the program's error box: {text!r}")
    check(browser.js("return document.getElementById('box').className;") == "error",
          "shown as an error")
    browser.keys(("down", ENTER), ("up", ENTER))
    wait_for("the end after OK", lambda: state(browser) in ("ended", "failed"))
    said = browser.js("return document.getElementById('status').textContent;")
    check(state(browser) == "ended", f"OK ends the program: {said!r}")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    web, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    # The same files without the archive, and with one cut short.
    missing = tempfile.mkdtemp(prefix="velmora-web-")
    damaged = tempfile.mkdtemp(prefix="velmora-web-")
    for name in os.listdir(web):
        if name != "Data.kqx" and os.path.isfile(os.path.join(web, name)):
            shutil.copy(os.path.join(web, name), missing)
            shutil.copy(os.path.join(web, name), damaged)
    with open(os.path.join(web, "Data.kqx"), "rb") as f, \
            open(os.path.join(damaged, "Data.kqx"), "wb") as cut:
        cut.write(f.read(4096))
    here = os.path.dirname(os.path.abspath(__file__))
    servers, driver, browser = [], None, None
    try:
        urls = []
        # The page as make serve-web sends it (isolated: the build on worker threads), and as
        # a plain static host does (one thread).
        for folder, plain in ((web, []), (web, ["--plain"]), (missing, ["--plain"]),
                              (damaged, ["--plain"])):
            server = subprocess.Popen(
                [sys.executable, os.path.join(here, "serve-web.py"), folder, "--port", "0",
                 "--quiet"] + plain, stdout=subprocess.PIPE, text=True)
            servers.append(server)
            urls.append(server.stdout.readline().strip())
        driver_port = free_port()
        driver = subprocess.Popen(["chromedriver", f"--port={driver_port}"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("ChromeDriver", lambda: _answers(driver_port), seconds=30)
        browser = Browser(driver_port)
        run_page(browser, urls[0], out, "velmora-threads.js")
        run_page(browser, urls[1], out, "velmora.js")
        run_missing_data(browser, urls[2], out)
        run_missing_data(browser, urls[3], out, "with Data.kqx cut short", "Data.kqx")
    except Exception as e:  # a step that timed out or a browser that failed counts as a failure
        FAILURES.append(str(e))
        print(f"  FAILED: {e}")
        if browser:
            try:
                browser.screenshot(os.path.join(out, "failure.png"))
            except Exception:
                pass
    finally:
        if browser:
            browser.close()
        for p in servers + ([driver] if driver else []):
            p.terminate()
            p.wait(timeout=10)
        shutil.rmtree(missing, ignore_errors=True)
        shutil.rmtree(damaged, ignore_errors=True)
    print(f"Screenshots in {out}/")
    if FAILURES:
        sys.exit(f"test-web-page: {len(FAILURES)} failed")
    print("test-web-page: all passed")


def _answers(port):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/status", timeout=2) as r:
            return json.loads(r.read())["value"].get("ready")
    except (OSError, ValueError):
        return False


if __name__ == "__main__":
    main()
