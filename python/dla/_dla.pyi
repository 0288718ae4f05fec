# Types of the compiled part of dla, for type checkers; the docstrings are in the module.
from typing import Callable, Iterable, Literal, Optional, TypedDict

import numpy as np
import numpy.typing as npt

__version__: str

class History(TypedDict):
    sites: npt.NDArray[np.int64]
    radius_of_gyration: npt.NDArray[np.float64]
    arms: npt.NDArray[np.int32]

class Estimate(TypedDict):
    dimension: float
    standard_error: Optional[float]
    r_squared: Optional[float]
    size: int
    sides: npt.NDArray[np.int32]
    masses: npt.NDArray[np.float64]
    draws: int

class Anisotropy(TypedDict):
    cos4: float
    cone_ratio: Optional[float]
    sites: int

class Result:
    @property
    def sites(self) -> npt.NDArray[np.int32]: ...
    @property
    def seed(self) -> int: ...
    @property
    def walker_version(self) -> Optional[int]: ...
    @property
    def hash(self) -> Optional[str]: ...
    @property
    def particles(self) -> int: ...
    @property
    def launch_radius(self) -> int: ...
    @property
    def walkers_killed(self) -> int: ...
    @property
    def steps(self) -> int: ...
    @property
    def jumps(self) -> int: ...
    @property
    def radius_of_gyration(self) -> float: ...
    @property
    def history_dimension(self) -> Optional[float]: ...
    @property
    def anisotropy(self) -> Optional[Anisotropy]: ...
    @property
    def history(self) -> History: ...
    def estimate(self) -> Optional[Estimate]: ...
    def to_json(self) -> str: ...
    def picture(self, size: Optional[int] = None,
                scale: Optional[int] = None) -> npt.NDArray[np.uint8]: ...
    def _repr_png_(self) -> bytes: ...

def grow_many(seeds: Iterable[int], size: Optional[int] = None, particles: Optional[int] = None,
              walk: Literal["jump", "literal"] = "jump", kill_factor: float = 2.0,
              threads: Optional[int] = None) -> list[Result]: ...
def grow(size: Optional[int] = None, particles: Optional[int] = None, seed: Optional[int] = None,
         walk: Literal["jump", "literal"] = "jump", kill_factor: float = 2.0, *,
         progress: Optional[Callable[[int], object]] = None) -> Result: ...
