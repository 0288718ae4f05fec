#!/usr/bin/python3
"""The page against the native programs, side by side in one run on one machine:
  - a literal run of size N (default 1000) in headless Chromium against the same run (same
    seed, same aggregate) in the window, offscreen (bench/window/dla_window_bench);
  - the jump walker's M particles (default 10^6) in the page against dla-cli;
  - the size of what the page loads.
Each timing is the median of --repetitions runs, and the ratios are printed.

  /usr/bin/python3 bench/web/page_bench.py [--build build] [--size 1000] [--particles 1000000]
"""
import argparse
import re
import shutil
import statistics
import subprocess
import time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service


def browser():
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def wait(driver, script, timeout=3600):
    end = time.time() + timeout
    while not driver.execute_script(script):
        if time.time() > end:
            raise TimeoutError(script)
        time.sleep(0.005)


def page_literal(driver, page, size, seed):
    driver.get(page.as_uri() + f"?semente={seed}")
    wait(driver, "return document.body.dataset.pronta === '1'")
    driver.execute_script("document.getElementById('TXTN').value = arguments[0]", str(size))
    start = time.perf_counter()
    driver.execute_script("document.getElementById('CMDExecutar').click()")
    wait(driver, "return document.body.dataset.ocupada === '0'")
    return time.perf_counter() - start


def page_jump(driver, page, particles, seed):
    driver.get(page.as_uri())
    wait(driver, "return document.body.dataset.pronta === '1'")
    driver.execute_script("""
        document.getElementById('particulas').value = arguments[0];
        document.getElementById('semente').value = arguments[1];""", str(particles), str(seed))
    start = time.perf_counter()
    driver.execute_script("document.getElementById('crescer').click()")
    wait(driver, "return document.body.dataset.grande === 'fim'")
    seconds = time.perf_counter() - start
    summary = driver.find_element("id", "resumo").text
    return seconds, re.search(r"hash ([0-9a-f]{16})", summary).group(1)


def window_literal(build, size, seed):
    out = subprocess.run([str(build / "bench/window/dla_window_bench"), str(size), str(seed), "1"],
                         check=True, capture_output=True, text=True,
                         env={"QT_QPA_PLATFORM": "offscreen", "PATH": "/usr/bin:/bin"}).stdout
    total = next(line for line in out.splitlines() if line.startswith("total"))
    return float(total.split("|")[1].split()[1])  # the window's wall-clock seconds


def cli_jump(build, particles, seed):
    start = time.perf_counter()
    out = subprocess.run([str(build / "cli/dla-cli"), "--particles", str(particles), "--seed",
                          str(seed), "--json"], check=True, capture_output=True, text=True).stdout
    seconds = time.perf_counter() - start
    return seconds, re.search(r'"hash":"([0-9a-f]{16})"', out).group(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, default=Path("build"))
    parser.add_argument("--size", type=int, default=1000)
    parser.add_argument("--particles", type=int, default=1_000_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--repetitions", type=int, default=3)
    args = parser.parse_args()
    dist = args.build / "web/dist"
    page = (dist / "index.html").resolve()
    driver = browser()
    try:
        rows = {"window": [], "page literal": [], "dla-cli": [], "page jump": []}
        hashes = set()
        for _ in range(args.repetitions):
            rows["window"].append(window_literal(args.build, args.size, args.seed))
            rows["page literal"].append(page_literal(driver, page, args.size, args.seed))
            seconds, cli_hash = cli_jump(args.build, args.particles, args.seed)
            rows["dla-cli"].append(seconds)
            seconds, page_hash = page_jump(driver, page, args.particles, args.seed)
            rows["page jump"].append(seconds)
            hashes |= {cli_hash, page_hash}
    finally:
        driver.quit()
    median = {name: statistics.median(times) for name, times in rows.items()}
    loaded = {f.name: f.stat().st_size for f in sorted(dist.iterdir()) if f.is_file()}
    print(f"literal N = {args.size}, seed {args.seed}: window {median['window']:.2f} s, "
          f"page {median['page literal']:.2f} s, ratio {median['page literal'] / median['window']:.2f}")
    print(f"jump {args.particles} particles, seed {args.seed}: dla-cli {median['dla-cli']:.2f} s, "
          f"page {median['page jump']:.2f} s, ratio {median['page jump'] / median['dla-cli']:.2f}"
          f" (hashes {', '.join(sorted(hashes))})")
    print("page files: " + ", ".join(f"{name} {size / 1000:.1f} KB" for name, size in loaded.items())
          + f"; total {sum(loaded.values()) / 1000:.1f} KB")
    print("medians of", args.repetitions, "repetitions; every time", {k: [round(t, 2) for t in v]
                                                                      for k, v in rows.items()})


if __name__ == "__main__":
    main()
