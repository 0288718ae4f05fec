"""Diffusion-limited aggregation on the square lattice: dla.grow() grows one aggregate with
dla-cli's engine and gives its sites, history, measures, JSON line and picture."""
from ._dla import Result, __version__, grow

__all__ = ["Result", "grow", "__version__"]

# Shown as dla.Result, where it is used, rather than where it is built.
Result.__module__ = __name__
