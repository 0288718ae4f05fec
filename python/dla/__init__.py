"""Diffusion-limited aggregation on the square lattice: dla.grow() grows one aggregate with
dla-cli's engine and gives its sites, history, measures, JSON line and picture."""
import struct
import zlib
from typing import Callable, Iterable, List, Literal, Optional, Union

import numpy as np
import numpy.typing as npt

from . import _dla
from ._dla import Result, __version__

__all__ = ["Result", "grow", "grow_many", "__version__"]

# Shown as dla.Result, where it is used, rather than where it is built.
Result.__module__ = __name__


def grow(size: Optional[int] = None, particles: Optional[int] = None,
         seed: Optional[int] = None, walk: Literal["jump", "literal"] = "jump",
         kill_factor: float = 2.0, *,
         progress: Union[bool, Callable[[int], object], None] = None) -> Result:
    """Grows one aggregate: to the system size `size` (a run ends with the first particle outside
    the square of half-side size/2; 200 when neither size nor particles is given) or to
    `particles` particles, with the 'jump' walker (default) or the window's 'literal' one,
    walkers killed beyond kill_factor R. Without a seed, one is drawn and kept in the result.

    An argument of the wrong type raises TypeError, one outside its range ValueError, each
    naming it; Ctrl-C stops the growth (KeyboardInterrupt). progress, if a callable, is called
    about ten times a second with the particles stuck so far (an exception it raises stops the
    growth and is raised); progress=True draws a tqdm bar instead, where tqdm is installed.
    """
    if progress is True:
        return _grow_with_bar(size, particles, seed, walk, kill_factor)
    return _dla.grow(size, particles, seed, walk, kill_factor,
                     progress=None if progress is False else progress)


def _grow_with_bar(size: Optional[int], particles: Optional[int], seed: Optional[int],
                   walk: Literal["jump", "literal"], kill_factor: float) -> Result:
    try:
        from tqdm.auto import tqdm  # type: ignore[import]
    except ImportError:
        raise ImportError("progress=True draws a tqdm bar, and tqdm is not installed (apt "
                          "install python3-tqdm, or pip install tqdm); progress= also takes "
                          "any callable") from None
    # A run to a size ends at a count nobody knows beforehand: the bar then counts without a
    # total.
    with tqdm(total=particles, unit=" particles", desc="dla.grow") as bar:
        result = _dla.grow(size, particles, seed, walk, kill_factor,
                           progress=lambda stuck: bar.update(stuck - bar.n))
        bar.update(result.particles - bar.n)
    return result


def grow_many(seeds: Iterable[int], size: Optional[int] = None,
              particles: Optional[int] = None, walk: Literal["jump", "literal"] = "jump",
              kill_factor: float = 2.0, threads: Optional[int] = None) -> List[Result]:
    """Grows one aggregate a seed, as dla.grow(seed=...) grows it, on `threads` threads (default:
    every core) with the GIL released, and gives the results in the order of the seeds:
    dla.grow_many(range(1, 21), size=200) are the runs of dla-cli --size 200 --runs 20 --seed 1.
    Ctrl-C stops them all (KeyboardInterrupt)."""
    return _dla.grow_many(seeds, size, particles, walk, kill_factor, threads)


def _png(rgb: "npt.NDArray[np.uint8]") -> bytes:
    """The bytes of a PNG of an (h, w, 3) uint8 array: the standard library's zlib is all a PNG
    needs, so that a notebook shows a result without an imaging package."""
    height, width, _ = rgb.shape

    def chunk(kind: bytes, data: bytes) -> bytes:
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    rows = b"".join(b"\0" + row.tobytes() for row in rgb)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def _repr_png_(self: Result) -> bytes:
    """What Jupyter shows for a result: its picture, at most 600 pixels a side."""
    return _png(self.picture(size=600))


setattr(Result, "_repr_png_", _repr_png_)
