#!/usr/bin/env bash
# The package as a Python user installs it, from a copy of the source tree SRC: pip into a new
# venv (Debian's python3 and its packages, no build isolation), imported from another folder
# with its distribution's version; a wheel from python3 -m build; a typed client mypy accepts.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
tar -C "$src" --exclude='./build*' --exclude=./_skbuild --exclude=./.git --exclude=./dist \
    -cf - . | tar -C "$work/src" -xf -
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --quiet --no-build-isolation "$work/src"
cd "$work"
"$work/venv/bin/python" - <<'PY'
import importlib.metadata
import dla
assert importlib.metadata.version("dla") == dla.__version__, dla.__version__
assert dla.__file__.startswith(__import__("sys").prefix), dla.__file__
r = dla.grow(size=200, seed=1)
assert repr(r).startswith("<dla.Result of dla.grow(size=200, seed=1, walk='jump'): "), repr(r)
PY
(cd "$work/src" && /usr/bin/python3 -m build --no-isolation --wheel --outdir "$work/wheels" >/dev/null)
ls "$work"/wheels/dla-*.whl >/dev/null
cat > "$work/client.py" <<'PY'
from typing import Optional

import dla

result: dla.Result = dla.grow(particles=500, seed=3)
size: int = result.sites.shape[0]
estimate = result.estimate()
dimension: Optional[float] = estimate["dimension"] if estimate is not None else None
history_sites = result.history["sites"]
PY
cat > "$work/wrong.py" <<'PY'
import dla

dla.grow(size="200")
PY
"$work/venv/bin/python" -m mypy --strict --no-error-summary "$work/client.py"
"$work/venv/bin/python" -m mypy --strict --no-error-summary -p dla
if "$work/venv/bin/python" -m mypy --no-error-summary "$work/wrong.py" >/dev/null; then
    echo "package_check: mypy took a string for size" >&2
    exit 1
fi
echo "package_check: installed, imported, built as a wheel and type-checked"
