"""quillmark serve, measured on loopback against its peers in the same run:

- the server's time for the official notice's .docx (from its request log),
  beside the command converting the same file in a process of its own;
- .docx requests a second from concurrent clients, with one worker and
  with two;
- edit to new page image: a changed two-page notice posted to /api/preview
  until its page images are back, with a warm LibreOffice, beside the
  command rendering the same notice's PDF with a LibreOffice of its own;
  and, where Chromium and Selenium are here, the same seen in the editor
  page, from the last keystroke (the page waits half a second after
  typing stops before it asks).

    python bench/service.py            # writes bench/results/service.{json,md}
    python bench/service.py --quick
    python bench/service.py --screenshot docs/service-editor.png

Every request goes to 127.0.0.1, and every loop is bounded in count and
time.
"""

import argparse
import asyncio
import json
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import httpx

HERE = Path(__file__).resolve().parent
NOTICE = (HERE.parent / "examples" / "notice.md").read_bytes()
MARKDOWN = {"Content-Type": "text/markdown"}
TITLE = "关于开展2026年度安全生产检查工作的通知".encode("utf-8")
_LOGGED = re.compile(r" POST /api/docx 200 \d+ ([\d.]+)ms$")


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def summary(values):
    return {"n": len(values), "p50": percentile(values, 0.5), "p95": percentile(values, 0.95),
            "mean": statistics.mean(values)}


class Server:
    def __init__(self, *arguments):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        self.url = "http://127.0.0.1:%d" % self.port
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen([sys.executable, "-m", "quillmark_cli", "serve", "--port", str(self.port),
                                         *arguments], stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 180
        while True:
            assert self.process.poll() is None and time.monotonic() < deadline, "the server did not start"
            try:
                state = httpx.get(self.url + "/api/health").json()["libreoffice"]
                if not state["available"] or state["ready"] == state["renderers"]:
                    break
            except httpx.HTTPError:
                pass
            time.sleep(0.1)

    def logged(self):
        self.log.seek(0)
        return self.log.read().decode("utf-8", "replace").splitlines()

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(60)
        self.log.close()


def edited(number):
    """The notice with its title changed: a new edit each time."""
    return NOTICE.replace(TITLE, TITLE + str(number % 100).encode("ascii"), 1)


def docx_server_time(requests):
    server = Server("--renderers", "0")
    try:
        with httpx.Client(base_url=server.url) as client:
            round_trips = []
            for number in range(requests + 20):
                started = time.perf_counter()
                response = client.post("/api/docx", content=NOTICE, headers=MARKDOWN)
                assert response.status_code == 200
                if number >= 20:  # after a warm-up
                    round_trips.append((time.perf_counter() - started) * 1000)
        time.sleep(0.5)
        served = [float(match.group(1)) for match in map(_LOGGED.search, server.logged()) if match][20:]
    finally:
        server.stop()
    command = _command_ms("docx", 5)
    return {"server_ms": summary(served), "round_trip_ms": summary(round_trips), "command_ms": summary(command)}


def _command_ms(suffix, runs):
    """Wall milliseconds of the command converting the notice to `suffix`,
    each run a process of its own."""
    with tempfile.TemporaryDirectory() as directory:
        source = Path(directory) / "notice.md"
        source.write_bytes(NOTICE)
        times = []
        for _ in range(runs):
            started = time.perf_counter()
            target = source.with_suffix("." + suffix)
            subprocess.run([sys.executable, "-m", "quillmark_cli", str(source), "-o", str(target)], check=True,
                           capture_output=True)
            times.append((time.perf_counter() - started) * 1000)
    return times


async def _load(url, clients, seconds):
    deadline = time.monotonic() + seconds
    done, failed = [], []
    limits = httpx.Limits(max_connections=clients, max_keepalive_connections=clients)
    async with httpx.AsyncClient(base_url=url, timeout=60, limits=limits) as client:
        async def one():
            while time.monotonic() < deadline:
                response = await client.post("/api/docx", content=NOTICE, headers=MARKDOWN)
                (done if response.status_code == 200 else failed).append(response.status_code)

        started = time.monotonic()
        await asyncio.gather(*(one() for _ in range(clients)))
    return len(done) / (time.monotonic() - started), len(failed)


def _cpu_seconds(pids):
    """User and system time of the processes `pids`."""
    total = 0
    for pid in pids:
        try:
            fields = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += int(fields[11]) + int(fields[12])
    return total / os.sysconf("SC_CLK_TCK")


def _family(pid):
    """`pid` and the processes below it (the workers)."""
    children = {}
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                parent = int((entry / "stat").read_text().rsplit(")", 1)[1].split()[1])
            except OSError:
                continue
            children.setdefault(parent, []).append(int(entry.name))
    found, waiting = [pid], [pid]
    while waiting:
        for child in children.get(waiting.pop(), []):
            found.append(child)
            waiting.append(child)
    return found


def docx_throughput(clients, seconds):
    """Requests a second with one worker and with two, and the CPU time a
    request costs the server and the client: on a machine with nothing else
    running, its cores divided by their sum is what the server can serve."""
    rows = {}
    for workers in (1, 2):
        server = Server("--renderers", "0", "--workers", str(workers), "--log-level", "warning")
        try:
            asyncio.run(_load(server.url, clients, 2))  # warm-up
            family = _family(server.process.pid)
            server_cpu, client_cpu, started = _cpu_seconds(family), time.process_time(), time.monotonic()
            rate, failed = asyncio.run(_load(server.url, clients, seconds))
            requests = rate * (time.monotonic() - started)
            server_cpu = (_cpu_seconds(family) - server_cpu) / requests * 1000
            client_cpu = (time.process_time() - client_cpu) / requests * 1000
        finally:
            server.stop()
        rows[workers] = {"requests_per_second": rate, "failed": failed, "server_cpu_ms": server_cpu,
                         "client_cpu_ms": client_cpu,
                         "capacity_idle_machine": min(workers, os.cpu_count()) * 1000 / server_cpu}
    rows["ratio_2_to_1"] = rows[2]["requests_per_second"] / rows[1]["requests_per_second"]
    return {"clients": clients, "seconds": seconds, "workers": rows}


def edit_to_image(edits):
    server = Server("--renderers", "1")
    try:
        with httpx.Client(base_url=server.url, timeout=60) as client:
            latencies = []
            for number in range(edits + 3):
                started = time.perf_counter()
                response = client.post("/api/preview", content=edited(number), headers=MARKDOWN)
                assert response.status_code == 200 and len(response.json()["pages"]) == 2
                if number >= 3:
                    latencies.append((time.perf_counter() - started) * 1000)
        browser = _in_the_browser(server.url, max(3, edits // 3))
    finally:
        server.stop()
    command = _command_ms("pdf", 3)
    return {"preview_ms": summary(latencies), "browser_ms": browser, "command_pdf_ms": summary(command)}


def _chromium():
    """A headless Chromium driven by Selenium, or None where Chromium,
    chromedriver or Selenium is missing."""
    if not (shutil.which("chromium") and shutil.which("chromedriver")):
        return None
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        return None
    os.environ["SE_OFFLINE"] = "true"  # Selenium Manager downloads nothing
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,900", "--lang=en-US"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def screenshot(path):
    """The editor page on the bundled notice, as a PNG at `path`."""
    from selenium.webdriver.support.ui import WebDriverWait

    server = Server("--renderers", "1")
    driver = _chromium()
    try:
        driver.get(server.url)
        WebDriverWait(driver, 120).until(
            lambda d: d.find_element("id", "status").text.startswith("Up to date"))
        time.sleep(0.5)
        driver.save_screenshot(str(path))
    finally:
        driver.quit()
        server.stop()


def _in_the_browser(url, edits):
    """Last keystroke to new page image in the editor page, or None where
    Chromium, chromedriver or Selenium is missing."""
    driver = _chromium()
    if driver is None:
        return None
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.support.ui import WebDriverWait

    # The page's own clock: the keystroke, and the first page image loaded
    # after it.
    watch = ("window.typedAt = null; window.shownAt = null;"
             "document.addEventListener('keydown', function () { window.typedAt = performance.now(); }, true);"
             "document.getElementById('pages').addEventListener('load', function () {"
             "  if (window.typedAt !== null && window.shownAt === null) { window.shownAt = performance.now(); }"
             "}, true);")
    try:
        driver.get(url)
        WebDriverWait(driver, 120).until(
            lambda d: d.execute_script("return document.querySelectorAll('#pages img').length;") == 2)
        driver.execute_script(watch)
        latencies = []
        for number in range(edits):
            driver.execute_script("window.typedAt = null; window.shownAt = null;"
                                  "var cm = document.querySelector('.CodeMirror').CodeMirror; cm.focus(); "
                                  "cm.setCursor({line: 16, ch: cm.getLine(16).length});")
            ActionChains(driver).send_keys("%d" % (number % 10)).perform()
            WebDriverWait(driver, 60, poll_frequency=0.05).until(
                lambda d: d.execute_script("return window.shownAt;") is not None)
            latencies.append(driver.execute_script("return window.shownAt - window.typedAt;"))
            time.sleep(0.3)
        return summary(latencies)
    finally:
        driver.quit()


def markdown_table(results):
    docx, load, edit = results["docx"], results["throughput"], results["edit_to_image"]
    lines = [
        "| measure | p50 | p95 | peer | ratio |",
        "|---|---:|---:|---|---:|",
        "| server time, official notice .docx | %.1f ms | %.1f ms | command, same file, own process: %.0f ms | %.0f× |"
        % (docx["server_ms"]["p50"], docx["server_ms"]["p95"], docx["command_ms"]["p50"],
           docx["command_ms"]["p50"] / docx["server_ms"]["p50"]),
        "| round trip, official notice .docx | %.1f ms | %.1f ms | | |"
        % (docx["round_trip_ms"]["p50"], docx["round_trip_ms"]["p95"]),
        "| edit to new page images (POST /api/preview, 2 pages, warm LibreOffice) | %.0f ms | %.0f ms | "
        "command's PDF, own LibreOffice: %.0f ms | %.1f× |"
        % (edit["preview_ms"]["p50"], edit["preview_ms"]["p95"], edit["command_pdf_ms"]["p50"],
           edit["command_pdf_ms"]["p50"] / edit["preview_ms"]["p50"]),
    ]
    if edit["browser_ms"]:
        lines.append("| last keystroke to new page image in the page (500 ms pause included) | %.0f ms | %.0f ms "
                     "| | |" % (edit["browser_ms"]["p50"], edit["browser_ms"]["p95"]))
    lines += [
        "",
        "| .docx requests a second, %d clients for %d s | 1 worker | 2 workers | 2 to 1 |" % (
            load["clients"], load["seconds"]),
        "|---|---:|---:|---:|",
        "| official notice | %.0f | %.0f | %.2f× |" % (
            load["workers"][1]["requests_per_second"], load["workers"][2]["requests_per_second"],
            load["workers"]["ratio_2_to_1"]),
        "",
        "| CPU time a .docx request costs | 1 worker | 2 workers |",
        "|---|---:|---:|",
        "| the server | %.1f ms | %.1f ms |" % (load["workers"][1]["server_cpu_ms"], load["workers"][2]["server_cpu_ms"]),
        "| the clients | %.1f ms | %.1f ms |" % (load["workers"][1]["client_cpu_ms"], load["workers"][2]["client_cpu_ms"]),
        "| requests a second the workers' cores give, the machine otherwise idle | %.0f | %.0f |" % (
            load["workers"][1]["capacity_idle_machine"], load["workers"][2]["capacity_idle_machine"]),
    ]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="fewer requests, shorter loads")
    parser.add_argument("--clients", type=int, default=16, help="concurrent clients for the throughput")
    parser.add_argument("--screenshot", metavar="PNG", help="only take a screenshot of the editor page")
    args = parser.parse_args()
    if args.screenshot:
        return screenshot(args.screenshot)
    requests, seconds, edits = (60, 5, 9) if args.quick else (300, 20, 30)
    results = {
        "machine": {"cpus": os.cpu_count(), "load_average": os.getloadavg(), "python": sys.version.split()[0]},
        "docx": docx_server_time(requests),
        "throughput": docx_throughput(args.clients, seconds),
        "edit_to_image": edit_to_image(edits),
    }
    out = HERE / "results"
    out.mkdir(exist_ok=True)
    (out / "service.json").write_text(json.dumps(results, indent=2) + "\n")
    table = markdown_table(results)
    (out / "service.md").write_text(table)
    print(table)
    print("load average at the start: %.2f %.2f %.2f" % results["machine"]["load_average"])


if __name__ == "__main__":
    main()
