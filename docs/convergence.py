#!/usr/bin/python3
"""How the measures of square-lattice DLA move with the number of particles: a table with error
bars from independent runs, beside the published values it can be held against.

    PYTHONPATH=build/python /usr/bin/python3 docs/convergence.py [--quick]
    /usr/bin/python3 docs/convergence.py --files RUN.json HISTORY.csv SITES.npy

The second form measures one run that dla-cli grew and wrote out, too large to grow twice:
`dla-cli --particles M --seed S --json --history HISTORY.csv --sites SITES.npy > RUN.json`.

Each row grows `runs` aggregates of M particles (seeds 1, 2, ...) with the module's jump walker,
on every core (a growth releases the GIL), and gives means with their standard errors:

- D, the box-mass dimension (the window's estimate at the size that spans the aggregate);
- D_h, the history dimension: the slope of ln(sites) against ln(Rg) over the last decade;
- nu_arm, the arm exponent: the slope of ln l against ln(sites) over the last decade, l the mean
  reach of the four arms (how far the sites go along +x, -x, +y and -y);
- nu_w, the arm-width exponent: the same slope for w, the mean over the four arms of the root mean
  square distance from the axis of the arm's outer sites (those within 45 degrees of the axis and
  beyond half its reach), read from the sites in arrival order at eight counts over the last decade;
- <cos 4 theta> of the outer sites (+1 all on the axes, 0 isotropic).

Published values: on the square lattice the arms' length grows as M^nu with nu rising from about
0.585 toward 0.61 by 4 x 10^6 sites and their width as M^nu_w with nu_w falling to about 0.48
(Meakin, Ball, Ramanlal and Sander, Phys. Rev. A 35, 5233, 1987; they measure the width their
own way, so hold nu_w against theirs for its trend, not its last digit), the growth being
fastest along the axes (Grebenkov and Beliaev, arXiv:1708.01514); the dimension read from the
whole aggregate moves from about 1.71 for small clusters toward Kesten's bound 3/2 as the
anisotropy takes over, by 10^8 particles (Y. L. Loh, arXiv:1407.2586).
"""
import math
import os
import sys
from concurrent.futures import ThreadPoolExecutor

import json

import numpy as np

PLAN = [(10**4, 40), (10**5, 20), (10**6, 12), (10**7, 4)]
QUICK = [(10**4, 4), (10**5, 2)]


def last_decade_slope(x, y):
    """Least-squares slope of ln y against ln x over the points from x[-1]/10 to x[-1]."""
    x, y = np.asarray(x, float), np.asarray(y, float)
    keep = (x >= x[-1] / 10) & (y > 0)
    return np.polyfit(np.log(x[keep]), np.log(y[keep]), 1)[0]


def arm_width(sites):
    """Mean over the four arms of the rms distance from the axis of the arm's outer sites."""
    widths = []
    for axis in (0, 1):
        for sign in (1, -1):
            along = sign * sites[:, axis]
            across = sites[:, 1 - axis]
            outer = (along >= along.max() / 2) & (np.abs(across) <= along)
            widths.append(math.sqrt(np.mean(across[outer].astype(float) ** 2)))
    return np.mean(widths)


def width_exponent(sites):
    counts = np.unique(np.geomspace(len(sites) / 10, len(sites), 8).astype(int))
    return last_decade_slope(counts, [arm_width(sites[:count]) for count in counts])


def measure(particles, seed):
    import dla

    result = dla.grow(particles=particles, seed=seed)
    history = result.history
    reach = history["arms"].mean(axis=1)
    estimate = result.estimate()  # None below N = 100
    return {
        "D": estimate["dimension"] if estimate else float("nan"),
        "D_h": result.history_dimension,
        "nu_arm": last_decade_slope(history["sites"], reach),
        "nu_w": width_exponent(result.sites),
        "cos4": result.anisotropy["cos4"],
        "Rg": result.radius_of_gyration,
    }


def mean_and_error(values):
    values = np.asarray(values, float)
    error = values.std(ddof=1) / math.sqrt(len(values)) if len(values) > 1 else float("nan")
    return values.mean(), error


def main(plan):
    print("| particles M | runs | D (box mass) | D_h (history) | nu_arm | nu_w | <cos 4θ> | Rg |")
    print("|---|---|---|---|---|---|---|---|")
    with ThreadPoolExecutor(max_workers=os.cpu_count()) as pool:
        for particles, runs in plan:
            rows = list(pool.map(lambda seed: measure(particles, seed), range(1, runs + 1)))
            cells = []
            for key in ("D", "D_h", "nu_arm", "nu_w", "cos4"):
                mean, error = mean_and_error([row[key] for row in rows])
                cells.append(f"{mean:.3f} ± {error:.3f}")
            rg = np.mean([row["Rg"] for row in rows])
            exponent = int(round(math.log10(particles)))
            print(f"| 10^{exponent} | {runs} | " + " | ".join(cells) + f" | {rg:.0f} |", flush=True)


def measure_files(run_json, history_csv, sites_npy):
    """The row of one run from dla-cli's run line, history and sites (read from the disk as
    needed, not loaded whole)."""
    with open(run_json, encoding="utf-8") as f:
        run = json.loads(f.readline())
    history = np.loadtxt(history_csv, delimiter=",", skiprows=2)
    sites = np.load(sites_npy, mmap_mode="r")[:, :2]
    nu_w = width_exponent(sites)
    print("| particles M | runs | D (box mass) | D_h (history) | nu_arm | nu_w | <cos 4θ> | Rg |")
    print("|---|---|---|---|---|---|---|---|")
    exponent = int(math.floor(math.log10(run["particles"])))
    leading = run["particles"] / 10**exponent
    name = (f"{leading:g} x " if leading != 1 else "") + f"10^{exponent}"
    cells = [run["dimension"], run["history_dimension"],
             last_decade_slope(history[:, 0], history[:, 2:6].mean(axis=1)), nu_w,
             run["anisotropy"]["cos4"]]
    print(f"| {name} | 1 | " + " | ".join(f"{c:.3f}" for c in cells) +
          f" | {run['radius_of_gyration']:.0f} |")


if __name__ == "__main__":
    if sys.argv[1:2] == ["--files"]:
        measure_files(*sys.argv[2:5])
    else:
        main(QUICK if "--quick" in sys.argv else PLAN)
