"""The Python module against dla-cli: the same aggregates, the same estimate, the same refusals;
and dla-cli's data files read back through numpy alone."""
import json
import os
import signal
import subprocess
import threading
import time
import warnings

import numpy as np
import pytest

import dla

DLA_CLI = os.environ["DLA_CLI"]


def cli_runs(*args, cwd=None):
    """dla-cli's JSON run lines for `args`."""
    out = subprocess.run([DLA_CLI, *args, "--json", "--quiet"], check=True, capture_output=True,
                         text=True, cwd=cwd).stdout
    return [line for line in map(json.loads, out.splitlines()) if line["type"] == "run"]


@pytest.mark.parametrize("args, kwargs", [
    (["--particles", "20000", "--seed", "5"], dict(particles=20000, seed=5)),
    (["--size", "300", "--seed", "8", "--kill-factor", "3.5"], dict(size=300, seed=8, kill_factor=3.5)),
    (["--size", "120", "--seed", "3", "--walk", "literal"], dict(size=120, seed=3, walk="literal")),
])
def test_grows_and_measures_as_dla_cli(args, kwargs):
    [line] = cli_runs(*args)
    result = dla.grow(**kwargs)
    assert result.seed == line["seed"]
    assert result.hash == line["hash"]
    assert result.walker_version == line["walker_version"]
    assert result.particles == line["particles"]
    assert result.sites.shape == (line["sites"], 2)
    assert tuple(result.sites[0]) == (0, 0)
    assert result.radius_of_gyration == line["radius_of_gyration"]
    assert result.history_dimension == line["history_dimension"]
    estimate = result.estimate()
    assert estimate["dimension"] == line["dimension"]
    assert estimate["draws"] == line["fit"]["draws"]
    assert estimate["standard_error"] == line["fit"]["slope_standard_error"]
    assert list(estimate["sides"]) == [p["side"] for p in line["fit"]["points"]]
    assert list(estimate["masses"]) == [p["mean_mass"] for p in line["fit"]["points"]]
    # Its repr names the call that grows it again.
    call = repr(result).removeprefix("<dla.Result of ").split(": ")[0]
    assert eval(call, {"dla": dla}).sites.tolist() == result.sites.tolist()
    assert repr(result).endswith(f"): {line['particles']} particles, {line['sites']} sites>")


def test_without_a_seed_the_result_keeps_the_one_drawn():
    first = dla.grow(size=100)
    assert 0 <= first.seed < 2**52
    assert dla.grow(size=100, seed=first.seed).hash == first.hash


@pytest.mark.parametrize("kwargs, error, words", [
    (dict(size=0), ValueError, "size must be at least 1, got 0"),
    (dict(size=1001, walk="literal"), ValueError, "size must be at most 1000, got 1001"),
    (dict(particles=5, walk="literal"), ValueError, "particles needs the jump walk"),
    (dict(size=100, particles=10), ValueError, "give size or particles, not both"),
    (dict(size=100, seed=-1), ValueError, "seed must be at least 0, got -1"),
    (dict(size=100, seed=2**64), ValueError, "seed must be at most 18446744073709551615, got"),
    (dict(particles=2**70), ValueError, "particles must be at most 10000000000, got 1180591"),
    (dict(kill_factor=16.5), ValueError, "kill_factor must be from 2 to 16, got 16.5"),
    (dict(size=100.0), TypeError, "size must be a whole number, got float"),
    (dict(seed=True), TypeError, "seed must be a whole number, got bool"),
    (dict(kill_factor="3"), TypeError, "kill_factor must be a number, got str"),
    (dict(walk="fast"), ValueError, "walk must be 'literal' or 'jump', got 'fast'"),
])
def test_bad_arguments_raise_errors_naming_them(kwargs, error, words):
    with pytest.raises(error, match=words):
        dla.grow(**kwargs)


@pytest.mark.parametrize("particles, words", [
    (10**8, "expected to need about 1.31 GB of memory$"),
    (10**10, "about 130 GB of memory, more than the .* this machine has"),
])
def test_a_large_growth_says_its_memory_first(particles, words):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(UserWarning, match=words):
            dla.grow(particles=particles)


def test_numpy_integers_and_a_fine_kill_factor_reach_the_engine_whole():
    # Just below 2.25, which a float would round to: the kill square at R = 4 is 80, not 81.
    [line] = cli_runs("--particles", "3000", "--seed", "6", "--kill-factor", "2.2499999999")
    result = dla.grow(particles=np.int64(3000), seed=np.uint64(6), kill_factor=2.2499999999)
    assert result.hash == line["hash"]
    assert result.hash != dla.grow(particles=3000, seed=6, kill_factor=2.25).hash


@pytest.mark.filterwarnings("ignore:this growth is expected to need")
@pytest.mark.parametrize("growth", [lambda: dla.grow(particles=10**9, seed=1),
                                    lambda: dla.grow_many(range(4), particles=10**8, threads=2)])
def test_ctrl_c_ends_a_long_growth_within_a_second(growth):
    def interrupt():
        time.sleep(0.3)
        os.kill(os.getpid(), signal.SIGINT)
    threading.Thread(target=interrupt).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        growth()
    assert time.monotonic() - start < 1.3


def test_data_files_read_back_through_numpy(tmp_path):
    # A newline in an argument stays inside the table's comment on the command line.
    runs = cli_runs("--size", "150", "--runs", "2", "--seed", "11", "--sites", "s.csv",
                    "--history", "h.csv", "--csv", "t.csv", "--fit", "f.csv", "--plot", "p\n'.svg",
                    cwd=tmp_path)
    subprocess.run([DLA_CLI, "--size", "150", "--seed", "12", "--sites", "s.npy", "--quiet"],
                   check=True, capture_output=True, cwd=tmp_path)
    second = dla.grow(size=150, seed=12)
    sites = np.load(tmp_path / "s.npy")
    # The format's rule: magic, version, length and header together a multiple of 64 bytes,
    # the header ending in a newline.
    raw = (tmp_path / "s.npy").read_bytes()
    header_end = 10 + int.from_bytes(raw[8:10], "little")
    assert header_end % 64 == 0 and raw[header_end - 1:header_end] == b"\n"
    assert sites.dtype == np.int32 and sites.shape == (runs[1]["sites"], 3)
    assert np.array_equal(sites[:, :2], second.sites)
    assert np.array_equal(np.loadtxt(tmp_path / "s-02.csv", delimiter=",", skiprows=1, dtype=np.int32), sites)
    assert list(sites[:, 2]) == list(range(len(sites)))

    history = np.loadtxt(tmp_path / "h-02.csv", delimiter=",", skiprows=1)
    assert np.array_equal(history[:, 0], second.history["sites"])
    assert np.array_equal(history[:, 1], second.history["radius_of_gyration"])
    assert np.array_equal(history[:, 2:], second.history["arms"])
    assert history[-1, 0] == runs[1]["sites"]

    table = np.genfromtxt(tmp_path / "t.csv", delimiter=",", names=True, dtype=None,
                          encoding="utf-8")
    assert list(table["seed"]) == [11, 12]
    assert list(table["particles"]) == [run["particles"] for run in runs]
    assert list(table["dimension"]) == [run["dimension"] for run in runs]
    assert list(table["anisotropy_cos4"]) == [run["anisotropy"]["cos4"] for run in runs]
    assert list(table["hash"]) == [run["hash"] for run in runs]

    # Every CSV file has its columns' names on its first line and comments after them: numpy
    # and pandas read it with its names, and loadtxt with skiprows=1.
    columns = {"s-02.csv": ("x", "y", "arrival"),
               "h-02.csv": ("sites", "radius_of_gyration", "arm_plus_x", "arm_minus_x",
                            "arm_plus_y", "arm_minus_y"),
               "f.csv": ("run", "seed", "size", "side", "mean_mass", "ln_l_over_l0",
                         "ln_m_over_m0", "slope", "slope_standard_error", "r_squared"),
               "t.csv": table.dtype.names}
    import pandas
    for name, names in columns.items():
        read = np.genfromtxt(tmp_path / name, delimiter=",", names=True, dtype=None,
                             encoding="utf-8")
        assert read.dtype.names == names and len(read) > 1, name
        assert (tmp_path / name).read_text().splitlines()[1].startswith("# dla-cli "), name
        assert tuple(pandas.read_csv(tmp_path / name, comment="#").columns) == names, name
    # Each numbered file says which run it holds.
    for run in (1, 2):
        for kind in ("s", "h"):
            said = (tmp_path / f"{kind}-0{run}.csv").read_text().splitlines()[1]
            assert said.endswith(f", run {run} of 2, N = 150, seed {10 + run}"), said
    fit = np.genfromtxt(tmp_path / "f.csv", delimiter=",", names=True)
    assert list(np.unique(fit["run"])) == [1, 2]
    assert list(fit["side"][fit["run"] == 2]) == [p["side"] for p in runs[1]["fit"]["points"]]


@pytest.mark.parametrize("args, kwargs, picture", [
    (["--particles", "3000", "--seed", "4", "--image-size", "40"], dict(particles=3000, seed=4),
     dict(size=40)),
    (["--size", "80", "--seed", "9", "--walk", "literal", "--scale", "3"],
     dict(size=80, seed=9, walk="literal"), dict(scale=3)),
])
def test_the_json_line_and_the_picture_are_dla_cli_s(tmp_path, args, kwargs, picture):
    from PIL import Image
    out = subprocess.run([DLA_CLI, *args, "--image", "a.png", "--json", "--quiet"], check=True,
                         capture_output=True, text=True, cwd=tmp_path).stdout
    result = dla.grow(**kwargs)
    # Every member as dla-cli writes it, but for the times the run took.
    mine, theirs = json.loads(result.to_json()), json.loads(out.splitlines()[0])
    assert {k for k in theirs if k.endswith("_seconds")} == {"grow_seconds", "estimate_seconds"}
    for line in (mine, theirs):
        del line["grow_seconds"], line["estimate_seconds"]
    assert mine == theirs
    png = np.asarray(Image.open(tmp_path / "a.png").convert("RGB"))
    assert np.array_equal(result.picture(**picture), png)
    with pytest.raises(ValueError, match="give size or scale"):
        result.picture(size=40, scale=2)


class Stop(Exception):
    pass


@pytest.mark.filterwarnings("ignore:this growth is expected to need")
def test_progress_sites_once_and_a_notebook_picture():
    import io
    from PIL import Image
    seen = []
    result = dla.grow(particles=400_000, seed=2, progress=seen.append)
    assert seen and seen == sorted(seen) and 0 < seen[-1] <= 400_000
    # The sites are made once and cannot be changed under the result.
    assert result.sites is result.sites and not result.sites.flags.writeable
    png = np.asarray(Image.open(io.BytesIO(result._repr_png_())).convert("RGB"))
    assert np.array_equal(png, result.picture(size=600))

    def stop(particles):
        raise Stop(particles)
    with pytest.raises(Stop):
        dla.grow(particles=10**8, seed=2, progress=stop)
    with pytest.raises(TypeError, match="progress must be callable, got int"):
        dla.grow(size=100, progress=3)


def test_progress_true_draws_a_tqdm_bar_where_tqdm_is(capsys, monkeypatch):
    import inspect
    assert list(inspect.signature(dla.grow).parameters)[:2] == ["size", "particles"]
    result = dla.grow(particles=3000, seed=2, progress=True)
    assert result.hash == dla.grow(particles=3000, seed=2).hash
    assert "3000/3000" in capsys.readouterr().err
    dla.grow(size=100, seed=2, progress=False)
    assert capsys.readouterr().err == ""
    monkeypatch.setitem(__import__("sys").modules, "tqdm.auto", None)
    with pytest.raises(ImportError, match="tqdm is not installed"):
        dla.grow(size=100, progress=True)


def test_an_ensemble_is_dla_cli_s_runs_in_the_order_of_its_seeds():
    lines = cli_runs("--size", "100", "--runs", "3", "--seed", "5")
    results = dla.grow_many(range(5, 8), size=100, threads=2)
    assert [r.seed for r in results] == [5, 6, 7]
    assert [r.hash for r in results] == [line["hash"] for line in lines]
    # Literal runs each keep a lattice of their own.
    literal = dla.grow_many([9, 3], size=60, walk="literal", threads=2)
    for seed, result in zip([9, 3], literal):
        assert np.array_equal(result.sites, dla.grow(size=60, seed=seed, walk="literal").sites)
    with pytest.raises(ValueError, match="seeds must hold at least one seed"):
        dla.grow_many([], size=100)
    with pytest.raises(ValueError, match="threads must be at least 1, got 0"):
        dla.grow_many([1], size=100, threads=0)


def grown_elsewhere(kwargs):
    return dla.grow(**kwargs)


@pytest.mark.parametrize("kwargs", [dict(particles=20000, seed=4),
                                    dict(size=120, seed=2, walk="literal")])
def test_a_result_comes_back_from_a_process_pool_as_it_was(kwargs):
    import concurrent.futures
    with concurrent.futures.ProcessPoolExecutor(max_workers=1) as pool:
        there = pool.submit(grown_elsewhere, kwargs).result()
    here = dla.grow(**kwargs)
    assert np.array_equal(there.sites, here.sites)
    mine, theirs = json.loads(here.to_json()), json.loads(there.to_json())
    for line in (mine, theirs):
        del line["grow_seconds"], line["estimate_seconds"]
    assert mine == theirs
    with pytest.raises(ValueError, match="not the state of a dla.Result"):
        dla.Result.__new__(dla.Result).__setstate__(("jump", b"DLA?", 0.0))
