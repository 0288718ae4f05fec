"""The Python package dla for pip and python3 -m build: scikit-build runs the project's CMake
build with only the engine's libraries and the module, and takes what the module's install
component puts in place (see pyproject.toml)."""
import re
from pathlib import Path

from skbuild import setup

here = Path(__file__).resolve().parent
version = re.search(r"project\(dla VERSION ([0-9.]+)", (here / "CMakeLists.txt").read_text())[1]

setup(
    name="dla",
    version=version,
    description="Diffusion-limited aggregates on the square lattice, grown and measured",
    long_description=(here / "python" / "README.md").read_text(),
    long_description_content_type="text/markdown",
    python_requires=">=3.9",
    install_requires=["numpy"],
    extras_require={"progress": ["tqdm"]},  # progress=True's bar
    packages=["dla"],
    package_dir={"": "python"},
    package_data={"dla": ["py.typed", "*.pyi"]},
    cmake_install_dir="python",
    cmake_install_target="install-python",
    cmake_args=[
        "-DCMAKE_BUILD_TYPE=Release",
        "-DDLA_BUILD_GUI=OFF",
        "-DDLA_BUILD_TESTS=OFF",
        "-DDLA_BUILD_BENCH=OFF",
        "-DDLA_BUILD_WEB=OFF",
        "-DDLA_BUILD_PACKAGES=OFF",
        "-DDLA_PYTHON_INSTALL_DIR=.",
    ],
)
