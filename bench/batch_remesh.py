#!/usr/bin/env python3
"""tessellor-cli remesh over every shared mesh as one batch, with --jobs 1 and --jobs 2.

    bench/batch_remesh.py [CLI] [MESH_DIR]     (defaults: build/src/cli/tessellor-cli, ../shared/meshes)

Per voxel budget and configuration: the wall time of the whole batch (best of RUNS interleaved runs,
default 3), the CPU time (user + system) of that run, and the speed-up over --jobs 1. Prints
Markdown rows.
"""

import glob
import os
import resource
import subprocess
import sys
import tempfile
import time

cli = sys.argv[1] if len(sys.argv) > 1 else "build/src/cli/tessellor-cli"
meshes = sorted(glob.glob(os.path.join(sys.argv[2] if len(sys.argv) > 2 else "../shared/meshes", "*.ply")))
runs = int(os.environ.get("RUNS", "3"))


def batch(voxels, out, *options):
    """Wall and CPU seconds of one batch run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([cli, "remesh", *meshes, "--output-dir", out, "--max-voxels", str(voxels), "--quiet", *options],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


# --jobs 1 with the parallel passes on every core (the default), --jobs 2 likewise, and --jobs 2
# with each file's passes on one thread.
CONFIGURATIONS = [("--jobs", "1"), ("--jobs", "2"), ("--jobs", "2", "--threads", "1")]
print(f"load average before: {os.getloadavg()[0]:.1f}")
print("| voxels | files | configuration | wall s | CPU s | speed-up |")
print("|---:|---:|---|---:|---:|---:|")
with tempfile.TemporaryDirectory() as out:
    for voxels in (100000, 1000000):
        # Interleaved runs, so that a change of load falls on every configuration alike.
        times = {c: [] for c in CONFIGURATIONS}
        for _ in range(runs):
            for c in CONFIGURATIONS:
                times[c].append(batch(voxels, out, *c))
        base = min(times[CONFIGURATIONS[0]])[0]
        for c in CONFIGURATIONS:
            wall, cpu = min(times[c])
            print(f"| {voxels} | {len(meshes)} | `{' '.join(c)}` | {wall:.2f} | {cpu:.2f} | {base / wall:.2f} |")
print(f"load average after: {os.getloadavg()[0]:.1f}")
