#!/usr/bin/env python3
"""A real browser against tallixd: headless Chromium loads a till's page from an origin that
the service allows and prints a receipt through fetch, then a page from another origin tries
every way a page has to print and must not reach the printer.

    browser_test.py TALLIXD TALLIX-SIM RECEIPT PAGES-FOLDER

The service listens on a loopback port with a token file and one --allow-origin; the virtual
printer's journal is the truth about what was printed. Each page reports what it saw by
posting it to the server it came from; the test waits for that report (with a deadline), so
nothing here waits on time. Exits 77 (skipped) when chromium is not installed.
"""

import http.server
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

SKIPPED = 77
DEADLINE_SECONDS = 90  # for each awaited condition; a healthy run needs a few seconds
PRINTER = "demo"
SERIAL = "VX37000001"
TOKEN = "browser-test-token-8d1f"

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-dev-shm-usage", "--disable-extensions", "--mute-audio",
    # The pages' console messages go to the log, which a failure shows.
    "--enable-logging=stderr", "--v=0",
]


class Failure(Exception):
    pass


def read_line(process, deadline, what):
    """The first line the process writes on standard output, waiting until deadline."""
    data = b""
    fd = process.stdout.fileno()
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise Failure(f"{what} said nothing in time")
        chunk = os.read(fd, 1)
        if not chunk:
            raise Failure(f"{what} ended before it was ready (status {process.wait()})")
        data += chunk
    return data.decode().rstrip("\n")


def stop(process):
    if process and process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=DEADLINE_SECONDS)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class PageServer(http.server.ThreadingHTTPServer):
    """Serves the pages and the receipt on one loopback origin and takes the pages' reports."""

    def __init__(self, pages, receipt):
        self.pages = pages
        self.receipt = receipt
        self.report = None
        self.reported = threading.Event()
        super().__init__(("127.0.0.1", 0), PageHandler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def origin(self):
        return f"http://127.0.0.1:{self.server_address[1]}"

    def await_report(self):
        if not self.reported.wait(DEADLINE_SECONDS):
            raise Failure(f"the page on {self.origin} reported nothing in time")
        self.reported.clear()
        return self.report


class PageHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        name = self.path.split("?")[0].lstrip("/")
        if name == "receipt.txt":
            self.answer(200, "text/plain; charset=windows-1250", self.server.receipt)
        elif name in ("allowed.html", "foreign.html"):
            with open(os.path.join(self.server.pages, name), "rb") as page:
                self.answer(200, "text/html; charset=utf-8", page.read())
        else:
            self.answer(404, "text/plain", b"not here\n")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path != "/report":
            self.answer(404, "text/plain", b"not here\n")
            return
        self.server.report = json.loads(body)
        self.answer(204, "text/plain", b"")
        self.server.reported.set()

    def answer(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Browser:
    """Headless Chromium, a fresh profile for each page, ended when the page has reported."""

    def __init__(self, program, work):
        self.program = program
        self.work = work
        self.runs = 0
        self.last_log = None

    def show_log(self):
        """The console messages of the last page, and what else Chromium said at the end."""
        if self.last_log:
            with open(self.last_log, errors="replace") as log:
                lines = log.read().splitlines()
            console = [line for line in lines if "CONSOLE" in line]
            sys.stderr.write("\n".join(console + lines[-20:]) + "\n")

    def visit(self, server, page, query):
        self.runs += 1
        profile = os.path.join(self.work, f"profile-{self.runs}")
        log_path = os.path.join(self.work, f"chromium-{self.runs}.log")
        url = f"{server.origin}/{page}?{query}"
        with open(log_path, "wb") as log:
            browser = subprocess.Popen(
                [self.program, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", url],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        self.last_log = log_path
        try:
            return server.await_report()
        finally:
            # Chromium's helpers share its session: end them with it.
            os.killpg(browser.pid, signal.SIGTERM)
            try:
                browser.wait(timeout=DEADLINE_SECONDS)
            except subprocess.TimeoutExpired:
                os.killpg(browser.pid, signal.SIGKILL)
                browser.wait()


def journal(path):
    with open(path) as lines:
        return [json.loads(line) for line in lines if line.strip()]


def executed_commands(journal_path):
    return [e["text"] for e in journal(journal_path) if e["kind"] == "frame" and e["executed"]]


def command_lines(receipt):
    """The command numbers of the receipt's command lines, in order."""
    text = receipt.decode("cp1250").replace("\r", "")
    return [line.split(";")[0] for line in text.split("\n") if line[:1].isdigit()]


def expected_result(receipt):
    """Every command "No error"; a payment (53) carries its empty extra field."""
    return [f'"{c}";"0";"No error";' + ('"";' if c == "53" else "")
            for c in command_lines(receipt)]


def service_get(service, path):
    request = urllib.request.Request(service + path,
                                     headers={"Authorization": f"Bearer {TOKEN}"})
    with urllib.request.urlopen(request, timeout=DEADLINE_SECONDS) as response:
        return response.read()


def check_foreign(outcome, journal_path, service):
    if "error" in outcome:
        raise Failure(f"the foreign page failed: {outcome['error']}")
    # The no-cors post reached the service and was answered, which the page cannot read.
    if not outcome["noCors"]["answered"] or outcome["noCors"]["type"] != "opaque":
        raise Failure(f"the no-cors post was not answered: {outcome['noCors']}")
    # No response the page may read: the service names only the allowed origin.
    for name in ("simple", "withToken"):
        if outcome[name]["answered"]:
            raise Failure(f"the foreign page could read the answer to {name}: {outcome[name]}")
    if not outcome["form"].get("loaded"):
        raise Failure(f"the form post was not answered: {outcome['form']}")
    printed = executed_commands(journal_path)
    if printed:
        raise Failure(f"a page from another origin made the printer execute {len(printed)} "
                      f"commands, the first {printed[0]!r}")
    printer = json.loads(service_get(service, f"/v1/printers/{PRINTER}"))
    if printer.get("jobsQueued") != 0:
        raise Failure(f"a page from another origin left a job queued: {printer}")
    print("foreign origin: no-cors post, simple post, fetch with the token and form post "
          "all refused; the printer executed nothing")


def check_allowed(outcome, receipt, journal_path, service):
    if "error" in outcome:
        raise Failure(f"the till's page failed: {outcome['error']}")
    first, again = outcome["first"], outcome["again"]
    if first["status"] != 200 or first["job"].get("state") != "done":
        raise Failure(f"the receipt did not print in time: {first}")
    if first["job"].get("exitCode") != 0 or first["replayed"] is not None:
        raise Failure(f"the receipt did not end as a new job with exit code 0: {first}")
    if (again["status"] != 200 or again["job"].get("id") != first["job"].get("id")
            or again["replayed"] != "true"):
        raise Failure(f"the same key again did not give the stored job: {again} after {first}")
    commands = command_lines(receipt)
    printed = executed_commands(journal_path)
    if len(printed) != len(commands):
        raise Failure(f"the printer executed {len(printed)} commands for a receipt of "
                      f"{len(commands)} (sent twice?): {printed}")
    job_id = first["job"]["id"]
    result = service_get(service, f"/v1/printers/{PRINTER}/jobs/{job_id}/result")
    if result.decode().splitlines() != expected_result(receipt):
        raise Failure(f"the result file differs from the receipt's: {result!r}")
    print(f"allowed origin: the receipt printed through fetch ({len(printed)} commands, "
          "each once, also after the same request again), result file as batch mode's")


def run(tallixd, sim, receipt_path, pages, chromium, work):
    with open(receipt_path, "rb") as file:
        receipt = file.read()
    deadline = time.monotonic() + DEADLINE_SECONDS
    printer = sim_process = service_process = browser = None
    allowed = PageServer(pages, receipt)
    foreign = PageServer(pages, receipt)
    try:
        journal_path = os.path.join(work, "journal.jsonl")
        sim_process = subprocess.Popen(
            [sim, "--link", os.path.join(work, "printer"), "--journal", journal_path,
             "--paper", os.path.join(work, "paper.txt"), "--serial", SERIAL],
            stdout=subprocess.PIPE)
        ready = read_line(sim_process, deadline, "tallix-sim")
        if not ready.startswith("ready "):
            raise Failure(f"tallix-sim said {ready!r}")
        printer = ready[len("ready "):]

        devices = os.path.join(work, "devices.xml")
        with open(devices, "w") as file:
            file.write(f'<Data><Devices><Device Key="{PRINTER}" Type="VX-37" Path="{printer}" '
                       f'Speed="9600" LogicalID="1" SerialNumber="{SERIAL}" Country="RO"/>'
                       "</Devices></Data>\n")
        tokens = os.path.join(work, "tokens")
        with open(tokens, "w") as file:
            file.write(f"# the till's token\n{TOKEN}\n")
        with open(os.path.join(work, "tallixd.err"), "wb") as errors:
            service_process = subprocess.Popen(
                [tallixd, "--devices", devices, "--state", os.path.join(work, "state"),
                 "--listen", "127.0.0.1:0", "--token-file", tokens,
                 "--allow-origin", allowed.origin],
                stdout=subprocess.PIPE, stderr=errors)
        said = read_line(service_process, deadline, "tallixd")
        if not said.startswith("listening on http://127.0.0.1:"):
            raise Failure(f"tallixd said {said!r}")
        service = said[len("listening on "):]

        browser = Browser(chromium, work)
        query = f"service={service}&printer={PRINTER}&token={TOKEN}"
        # First the foreign page, so that the journal shows what it achieved alone.
        check_foreign(browser.visit(foreign, "foreign.html", query + "&key=foreign-1"),
                      journal_path, service)
        check_allowed(browser.visit(allowed, "allowed.html", query + "&key=till-receipt-1"),
                      receipt, journal_path, service)
    except Failure:
        if browser:
            browser.show_log()
        errors_path = os.path.join(work, "tallixd.err")
        if os.path.exists(errors_path):
            with open(errors_path, errors="replace") as file:
                sys.stderr.write("tallixd's standard error:\n" + file.read()[-3000:])
        raise
    finally:
        stop(service_process)
        stop(sim_process)
        allowed.shutdown()
        foreign.shutdown()


def main():
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    tallixd, sim, receipt, pages = sys.argv[1:]
    chromium = shutil.which("chromium")
    if not chromium:
        print("chromium is not installed (Debian package chromium, in scripts/packages.txt): "
              "the browser test is skipped")
        return SKIPPED
    with tempfile.TemporaryDirectory(prefix="tallix-browser.") as work:
        try:
            run(tallixd, sim, receipt, pages, chromium, work)
        except Failure as failure:
            sys.stderr.write(f"browser test: {failure}\n")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
