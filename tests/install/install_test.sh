#!/bin/sh
# Installs the built project into a scratch prefix, then configures, builds and runs a consumer
# program against it, once through the CMake package and once through pkg-config.
set -eu
build=$1 source=$2 scratch=$3
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
