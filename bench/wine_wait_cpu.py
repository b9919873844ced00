#!/usr/bin/env python3
"""CPU time of the programs under Wine while they wait 10 s for the board's move, busy=answer.

    python3 bench/wine_wait_cpu.py LINUX_BUILD_DIR WINDOWS_BUILD_DIR [WINDOWS_BUILD_DIR...]

Against the emulated board of LINUX_BUILD_DIR, Quillrand.exe waits for a person's move that comes
after 13 s (one wait on the board and the GUI), and Dorvane.exe for a search of 13 s (a pause and
a poll of the board's search report every 750 ms). The script prints the CPU time that the
program's process and the Wine server used in the 10 s between 1 s and 11 s after "go". The
programs of several builds are measured in turn in one fresh Wine prefix, so that they compare on
the same machine.
"""
import os
import pathlib
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
WINE_PROGRAM = HERE.parent / "tests" / "wine" / "wine-program.sh"
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User and system time of a process so far; 0 for one that has gone."""
    try:
        fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / TICK


def pids_named(name):
    found = []
    for entry in pathlib.Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if (entry / "comm").read_text().strip().startswith(name):
                    found.append(int(entry.name))
            except OSError:
                pass
    return found


def make_prefix(work):
    env = dict(os.environ, WINEPREFIX=str(work / "prefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", OSA_COM_LINKS=str(work / "ports"))
    env.pop("DISPLAY", None)
    (work / "ports").mkdir()
    (work / "prefix").mkdir()
    link = work / "ports" / "com1"
    link.symlink_to("/nonexistent")
    # The server outlives this call and keeps the streams it was given: never this script's.
    subprocess.run(["wineserver", "-p"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/t", "REG_SZ", "/d",
                    str(link), "/f"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    device = work / "prefix" / "dosdevices" / "com1"  # what the running server reads
    device.unlink(missing_ok=True)
    device.symlink_to(link)
    return env


def read_until(program, word):
    for line in program.stdout:
        if line.startswith(word):
            return line
    raise RuntimeError(f"the program ended before {word}")


# The board's side of each program's wait.
BOARDS = {"Quillrand": ["--human", "random", "--human-delay", "13000"], "Dorvane": ["--think", "13000"]}


def measure(emulator, build, name, env, work):
    (work / "osa.ini").write_text("com=COM1:\nbusy=answer\n")
    exe = str(build / f"{name}.exe")
    program = subprocess.Popen([emulator, *BOARDS[name], "--", str(WINE_PROGRAM), exe], cwd=work, env=env,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        for line, answer in (("uci", "uciok"), ("isready", "readyok")):
            program.stdin.write(line + "\n")
            program.stdin.flush()
            read_until(program, answer)
        program.stdin.write("position startpos\ngo wtime 600000 btime 600000\n")
        program.stdin.flush()
        time.sleep(1)
        watched = pids_named(name) + pids_named("wineserver")
        before = [cpu_seconds(pid) for pid in watched]
        time.sleep(10)
        used = [cpu_seconds(pid) - start for pid, start in zip(watched, before)]
        read_until(program, "bestmove")
        program.stdin.write("quit\n")
        program.stdin.flush()
        program.wait(timeout=30)
    finally:
        if program.poll() is None:
            program.kill()
    print(f"figure: {exe}: CPU in a 10 s board wait with busy=answer: the program {1000 * used[0]:.0f} ms, "
          f"the Wine server {1000 * sum(used[1:]):.0f} ms")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    emulator = str(pathlib.Path(sys.argv[1]).resolve() / "osa-emulator")
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        env = make_prefix(work)
        try:
            for build in sys.argv[2:]:
                for name in BOARDS:
                    measure(emulator, pathlib.Path(build).resolve(), name, env, work)
        finally:
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
