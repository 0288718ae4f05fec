"""Diffusion-limited aggregation on the square lattice: dla.grow() grows one aggregate with
dla-cli's engine and gives its sites, history, measures, JSON line and picture."""
import struct
import zlib

from ._dla import Result, __version__, grow, grow_many

__all__ = ["Result", "grow", "grow_many", "__version__"]

# Shown as dla.Result, where it is used, rather than where it is built.
Result.__module__ = __name__


def _png(rgb):
    """The bytes of a PNG of an (h, w, 3) uint8 array: the standard library's zlib is all a PNG
    needs, so that a notebook shows a result without an imaging package."""
    height, width, _ = rgb.shape

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    rows = b"".join(b"\0" + row.tobytes() for row in rgb)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def _repr_png_(self):
    """What Jupyter shows for a result: its picture, at most 600 pixels a side."""
    return _png(self.picture(size=600))


Result._repr_png_ = _repr_png_
