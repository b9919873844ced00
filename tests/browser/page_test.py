"""The emulated board's web page, driven in headless Chromium.

The safety checks talk to a lone emulator with plain HTTP requests. The whole game is a fool's
mate that the person on the page gives as Black through Quillrand, against a scripted White. The
short game is one of osa-match: Stockfish as White, a person on the page as Black through
Quillrand, from a position where Black's pawn promotes at once; the test promotes to a knight on
the page, refuses an illegal drag, reloads the page, and reports a take-back before a move. The figures come from
Quillrand run directly, with this script as its GUI.
"""
import select
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

BUILD, LOG_DIR = sys.argv[1], sys.argv[2]
EMULATOR = os.path.join(BUILD, "osa-emulator")
QUILLRAND = os.path.join(BUILD, "Quillrand")
MATCH = os.path.join(BUILD, "osa-match")
SCRIPTED_ENGINE = os.path.join(BUILD, "tests", "fake_uci_engine")
# Debian puts Stockfish among the games, which root's PATH leaves out.
STOCKFISH = shutil.which("stockfish") or "/usr/games/stockfish"
# White to move; Black's pawn on b2 promotes on its first move whatever White plays.
START_FEN = "r3k3/8/8/8/8/8/1p5P/4K3 w - - 0 1"
results = {"passed": 0, "failed": 0}


def check(condition, what):
    results["passed" if condition else "failed"] += 1
    print(("ok   " if condition else "FAIL ") + what, flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and process.poll() is None:
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.1)
    raise RuntimeError(f"nothing listens on port {port}: {process.communicate(timeout=10)[0]}")


def request(url, body=None, host=None, origin=None):
    req = urllib.request.Request(url, data=None if body is None else body.encode(), method="GET" if body is None else "POST")
    if host:
        req.add_header("Host", host)
    if origin:
        req.add_header("Origin", origin)
    try:
        with urllib.request.urlopen(req, timeout=10) as response:
            return response.status, response.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode()


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=1100,800", "--user-data-dir=" + tempfile.mkdtemp(prefix="osa-chromium-")):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"), options=options)


def waiting(driver, timeout=60):
    WebDriverWait(driver, timeout).until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-waiting") == "true")
    return driver.find_element(By.TAG_NAME, "body")


def not_waiting(driver, timeout=30):
    WebDriverWait(driver, timeout).until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-waiting") == "false")


def square(driver, name):
    return driver.find_element(By.CSS_SELECTOR, f"rect[data-square='{name}']")


def on_board(action):
    """The board redraws its squares when the state changes; an action on a redrawn square is tried again."""
    for _ in range(5):
        try:
            return action()
        except StaleElementReferenceException:
            time.sleep(0.2)
    return action()


def click_move(driver, move):
    on_board(lambda: square(driver, move[:2]).click())
    on_board(lambda: square(driver, move[2:4]).click())


def drag_move(driver, move):
    on_board(lambda: ActionChains(driver).drag_and_drop(square(driver, move[:2]), square(driver, move[2:4])).perform())


def safety_checks():
    lone = subprocess.Popen([EMULATOR, "--human", "web"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    pty_path = lone.stdout.readline().strip()
    url = lone.stdout.readline().strip()
    port = url.rsplit(":", 1)[1].strip("/")
    check(url.startswith("http://127.0.0.1:"), "the lone emulator prints the page's address after the pty's: " + url)
    check(request(url, host="evil.example")[0] == 403, "a request with another Host is refused")
    check(request(url + "move", "e2e4", origin="http://evil.example")[0] == 403, "a move from another page is refused")
    check(request(url + "move", "e2e4")[0] == 409, "a move while the board does not wait is refused")
    check(request(url + "move", "e2-e4 please")[0] == 400, "a malformed move is refused")
    check(request(url + "etc/passwd")[0] == 404, "only the page's own files are served")
    status, text = request(url, host="localhost:" + port)
    check(status == 200 and "board" in text, "the page answers to localhost")
    fd = os.open(pty_path, os.O_RDWR | os.O_NOCTTY)
    os.write(fd, b"ANALYSIS\r\n")
    time.sleep(0.3)
    answers = []
    threads = [threading.Thread(target=lambda: answers.append(request(url + "move", "e2e4")[0])) for _ in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    check(sorted(answers) == [200, 409], f"two pages sending a move at once: one counts ({sorted(answers)})")
    os.close(fd)
    lone.stdin.close()
    lone.wait(timeout=10)
    viewer = subprocess.Popen([EMULATOR, "--view"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    viewer.stdout.readline()
    view_url = viewer.stdout.readline().strip()
    check(request(view_url + "move", "e2e4")[0] == 403, "the read-only page refuses moves")
    viewer.stdin.close()
    viewer.wait(timeout=10)


def whole_game():
    port = free_port()
    pgn = os.path.join(LOG_DIR, "mate-game.pgn")
    black = f"{EMULATOR} --human web --web-port {port} -- {QUILLRAND}"
    match = subprocess.Popen([MATCH, "--white", f"{SCRIPTED_ENGINE} script f2f3 g2g4", "--black", black,
                              "--time", "60000", "--pgn", pgn], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    driver = browser()
    try:
        wait_for_port(port, match)
        driver.get(f"http://127.0.0.1:{port}/")
        for move in ("e7e5", "d8h4"):
            waiting(driver)
            drag_move(driver, move)
            not_waiting(driver)
        output, _ = match.communicate(timeout=60)
        time.sleep(1)  # the emulator has ended with Quillrand: the page has seen its stream end
        status = driver.find_element(By.ID, "status").text
        fen = driver.find_element(By.TAG_NAME, "body").get_attribute("data-fen")
    finally:
        driver.quit()
        if match.poll() is None:
            match.kill()
    check(match.returncode == 0 and "0-1" in output, "a whole game played on the page ends in the person's mate")
    check("closed the board" in status and fen.startswith("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w"),
          f"after the game the page keeps the mate and says the program closed the board ({status})")
    with open(pgn) as f:
        check("1. f3 e5 2. g4 Qh4#" in f.read(), "the PGN holds the whole game")


def game():
    port = free_port()
    pgn = os.path.join(LOG_DIR, "page-game.pgn")
    trace = os.path.join(LOG_DIR, "page-game-trace.txt")
    black = f"{EMULATOR} --human web --web-port {port} --trace {trace} -- {QUILLRAND}"
    match = subprocess.Popen([MATCH, "--white", STOCKFISH, "--black", black, "--fen", START_FEN, "--max-moves", "3",
                              "--time", "30000", "--pgn", pgn], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    url = f"http://127.0.0.1:{port}/"
    driver, second = browser(), browser()
    try:
        wait_for_port(port, match)
        driver.get(url)
        second.get(url)
        waiting(driver)
        check(waiting(second) is not None, "a second browser sees the board waiting too")
        fen = driver.find_element(By.TAG_NAME, "body").get_attribute("data-fen")
        drag_move(driver, "e8e5")
        time.sleep(0.5)
        body = driver.find_element(By.TAG_NAME, "body")
        check(body.get_attribute("data-fen") == fen and "Not a legal move" in driver.find_element(By.ID, "message").text,
              "an illegal drag is refused on the page")
        click_move(driver, "b2b1")
        WebDriverWait(driver, 10).until(lambda d: d.find_elements(By.CSS_SELECTOR, "[data-piece='bn']"))
        driver.find_element(By.CSS_SELECTOR, ".promotion-dialog-group [data-piece='bn']").click()
        not_waiting(driver)
        body = waiting(driver)
        check("n" in body.get_attribute("data-fen").split(" ")[0], "the knight chosen on the page stands on the board")
        driver.refresh()
        body = waiting(driver)
        check(body.get_attribute("data-legal") != "", "after a reload the page waits for the move again")
        driver.find_element(By.ID, "takeback").click()
        WebDriverWait(driver, 10).until(lambda d: not d.find_element(By.ID, "takeback").is_enabled())
        king_move = next(m for m in body.get_attribute("data-legal").split() if m.startswith("e"))
        drag_move(driver, king_move)
        not_waiting(driver)
        body = waiting(driver)
        driver.save_screenshot(os.path.join(LOG_DIR, "page.png"))
        print("screenshot: " + os.path.join(LOG_DIR, "page.png"))
        click_move(driver, body.get_attribute("data-legal").split()[0])
        output, _ = match.communicate(timeout=60)
    finally:
        driver.quit()
        second.quit()
        if match.poll() is None:
            match.kill()
    print(output)
    check(match.returncode == 0, "osa-match ends the game on its move limit")
    with open(pgn) as f:
        check("b1=N" in f.read(), "the PGN holds the promotion to a knight")
    with open(trace) as f:
        check("Takeback" in f.read(), "the take-back report went to Quillrand")


def bestmove(program, pending, seconds=20):
    """The next "bestmove" line on the program's output, read unbuffered so that its time counts."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        lines = pending[0].split("\n")
        for i, line in enumerate(lines[:-1]):
            if line.startswith("bestmove"):
                pending[0] = "\n".join(lines[i + 1:])
                return line
        pending[0] = lines[-1]
        if select.select([program.stdout], [], [], 0.1)[0]:
            pending[0] += os.read(program.stdout.fileno(), 4096).decode()
    raise RuntimeError("no bestmove from Quillrand")


def figures():
    """The page's load time, a move request's time until its answer (which comes once the board's
    report has gone out on the line), and from a drop on the page to the human's bestmove on
    Quillrand's output."""
    port = free_port()
    program = subprocess.Popen([EMULATOR, "--human", "web", "--web-port", str(port), "--", QUILLRAND],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    driver = browser()
    url = f"http://127.0.0.1:{port}/"
    loads, drops, pending = [], [], [""]
    try:
        wait_for_port(port, program)
        program.stdin.write("uci\nucinewgame\n")
        program.stdin.flush()
        for _ in range(5):
            driver.get(url)
            WebDriverWait(driver, 10).until(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-fen"))
            loads.append(driver.execute_script(
                "const n = performance.getEntriesByType('navigation')[0]; return n.loadEventEnd - n.startTime"))
        moves = []
        for i in range(20):
            program.stdin.write("position startpos" + (" moves " + " ".join(moves) if moves else "") + "\ngo\n")
            program.stdin.flush()
            waiting(driver)
            human = "g1f3" if i % 2 == 0 else "f3g1"
            square(driver, human[:2]).click()
            start = time.monotonic()
            square(driver, human[2:4]).click()
            line = bestmove(program, pending)
            drops.append((time.monotonic() - start) * 1000)
            not_waiting(driver)
            check(line.split()[1] == human, f"bestmove {human}") if i == 0 else None
            moves += [human, "g8f6" if i % 2 == 0 else "f6g8"]
        answers = driver.execute_script(
            "return performance.getEntriesByType('resource').filter(e => e.name.endsWith('/move'))"
            ".map(e => e.responseEnd - e.startTime)")
        program.stdin.write("quit\n")
        program.stdin.flush()
        program.wait(timeout=20)
    finally:
        driver.quit()
        if program.poll() is None:
            program.kill()
    print(f"figure: page load {statistics.median(loads):.0f} ms (median of {len(loads)} loads)")
    print(f"figure: move request to its answer {statistics.median(answers):.0f} ms (median of {len(answers)}, "
          f"min {min(answers):.0f}, max {max(answers):.0f})")
    print(f"figure: drop to bestmove {statistics.median(drops):.0f} ms (median of {len(drops)}, "
          f"min {min(drops):.0f}, max {max(drops):.0f})")


safety_checks()
whole_game()
game()
figures()
print(f"browser: {results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)
