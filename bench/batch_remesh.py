#!/usr/bin/env python3
"""tessellor-cli remesh over every shared mesh as one batch, with --jobs 1 and --jobs 2.

    bench/batch_remesh.py [CLI] [MESH_DIR]     (defaults: build/src/cli/tessellor-cli, ../shared/meshes)

Per voxel budget: the wall time of the whole batch (best of RUNS runs, default 3), the CPU time
(user + system) of that run, and the speed-up of --jobs 2 over --jobs 1. Prints Markdown rows.
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


def batch(jobs, voxels, out):
    """Wall and CPU seconds of one batch run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([cli, "remesh", *meshes, "--output-dir", out, "--jobs", str(jobs), "--max-voxels", str(voxels),
                    "--quiet"], stdout=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


print(f"load average before: {os.getloadavg()[0]:.1f}")
print("| voxels | files | --jobs 1 wall s | CPU s | --jobs 2 wall s | CPU s | speed-up |")
print("|---:|---:|---:|---:|---:|---:|---:|")
with tempfile.TemporaryDirectory() as out:
    for voxels in (100000, 1000000):
        best = {jobs: min(batch(jobs, voxels, out) for _ in range(runs)) for jobs in (1, 2)}
        print(f"| {voxels} | {len(meshes)} | {best[1][0]:.2f} | {best[1][1]:.2f} | {best[2][0]:.2f} | "
              f"{best[2][1]:.2f} | {best[1][0] / best[2][0]:.2f} |")
print(f"load average after: {os.getloadavg()[0]:.1f}")
