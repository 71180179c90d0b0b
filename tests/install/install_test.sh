#!/bin/sh
# Installs the built project into a scratch prefix, then configures, builds and runs a consumer
# program against it, once through the CMake package and once through pkg-config. With a Python
# interpreter and the module's install folder (relative to the prefix), imports the installed module.
set -eu
build=$1 source=$2 scratch=$3 python=${4:-} python_dir=${5:-}
rm -rf "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$source/tests/install/consumer" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
"$scratch/consumer/consumer"
PKG_CONFIG_PATH=$(dirname "$(find "$scratch/prefix" -name tessellor.pc)")
export PKG_CONFIG_PATH
c++ -std=c++17 "$source/tests/install/consumer/main.cpp" -o "$scratch/consumer-pc" \
  $(pkg-config --cflags --libs tessellor) $EXTRA_LDFLAGS
"$scratch/consumer-pc"
if [ -n "$python" ]; then
  case $python_dir in /*) ;; *) python_dir=$scratch/prefix/$python_dir ;; esac
  cd "$scratch"
  PYTHONPATH=$python_dir "$python" -c "
import numpy, tessellor
assert tessellor.__file__.startswith('$python_dir'), tessellor.__file__
V = numpy.array([[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1], [0, 0, -1]], dtype=float)
F = [[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4], [2, 0, 5], [1, 2, 5], [3, 1, 5], [0, 3, 5]]
V2, F2 = tessellor.remesh(V, F)
assert len(F2) > 100 and F2.shape[1] == 4
"
fi
