#!/bin/sh
# Runs tessellor-cli over every shared mesh at 10^5 and 10^6 voxels in each distance/feature mode,
# keeping every output file and every log (Duration lines removed) in OUTDIR, so that two builds,
# or two thread counts, can be compared with `diff -r`:
#
#   tools/cli-outputs.sh OLD/tessellor-cli /tmp/old
#   tools/cli-outputs.sh NEW/tessellor-cli /tmp/new --threads 2
#   diff -r /tmp/old /tmp/new && echo identical
#
# Extra arguments go to every remesh and mesh command. MESHES (a directory of .ply files) and
# BUDGETS override the defaults.
set -eu
[ $# -ge 2 ] || { echo "usage: $0 TESSELLOR_CLI OUTDIR [extra options]" >&2; exit 2; }
cli=$1
out=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
meshes=${MESHES:-$here/../../shared/meshes}
budgets=${BUDGETS:-"100000 1000000"}
mkdir -p "$out"

for mesh in "$meshes"/*.ply; do
  name=$(basename "$mesh" .ply)
  for budget in $budgets; do
    for mode in plain features exact features-exact; do
      case $mode in
        plain) flags= ;;
        features) flags=--features ;;
        exact) flags=--exact-distance ;;
        features-exact) flags="--features --exact-distance" ;;
      esac
      run=$out/$name-$budget-$mode
      # shellcheck disable=SC2086
      status=0
      "$cli" remesh "$mesh" --max-voxels "$budget" $flags "$@" -o "$run.out.ply" --save-volume "$run.vol" \
        > "$run.remesh.log" 2>&1 || status=$?
      echo "exit $status" >> "$run.remesh.log"
      if [ -f "$run.vol" ]; then
        status=0
        "$cli" mesh "$run.vol" "$@" -o "$run.dual.obj" --mc-mesh "$run.mc.ply" > "$run.mesh.log" 2>&1 || status=$?
        echo "exit $status" >> "$run.mesh.log"
      fi
      for log in "$run".*.log; do
        grep -v '^Duration: ' "$log" > "$log.tmp" && mv "$log.tmp" "$log"
      done
    done
  done
done
