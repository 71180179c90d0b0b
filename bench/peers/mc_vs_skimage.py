#!/usr/bin/python3
"""Marching Cubes 33 alone against scikit-image's marching_cubes (Lewiner) on the same volumes.

Volumes: a dense signed distance field of a sphere (every grid point has a value, so both sweep
every cell) and the narrow-band volumes our voxelizer makes of the peer benchmark's inputs (only
the band has values; scikit-image is given the array as it stands, the "no value" mark 1e7
included, and sweeps every cell; it also draws a surface where the inner band meets the mark).

Ours is timed by bench's mc_time (one run of release, initialize, extract: the two passes, then the
mesh set-up with indices, midpoints and normals), scikit-image by timing
marching_cubes(volume, 0.0, method="lewiner") in this process; the two alternate, best of N each.

  mc_vs_skimage.py --cli build/src/cli/tessellor-cli --mc-time build/bench/mc_time [--reps 5]
                   [--threads 1,2] [--budgets 1000000,10000000] [--meshes bunny,fandisk]
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np
from skimage.measure import marching_cubes

NO_VALUE = np.float32(10000000.0)
RECORD = np.dtype([("d", "<f4"), ("o", "<f4", (3,)), ("t", "u1")])


def read_vol(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:6] == b"VOLUME", path
    nx, ny, nz = struct.unpack_from("<3i", data, 22)
    records = np.frombuffer(data, dtype=RECORD, count=nx * ny * nz, offset=34)
    # Records run with x outermost and z innermost.
    return records["d"].reshape(nx, ny, nz).copy()


def write_vol(path, distances):
    nx, ny, nz = distances.shape
    records = np.empty(nx * ny * nz, dtype=RECORD)
    records["d"] = distances.reshape(-1)
    records["o"] = NO_VALUE
    records["t"] = 0
    with open(path, "wb") as f:
        f.write(b"VOLUME" + struct.pack("<f3f3i", 1.0, 0.0, 0.0, 0.0, nx, ny, nz))
        f.write(records.tobytes())
        f.write(b"END")


def sphere(voxels):
    n = int(round(voxels ** (1.0 / 3.0)))
    c = 0.5 * (n - 1)
    g = np.arange(n, dtype=np.float32) - c
    x, y, z = np.meshgrid(g, g, g, indexing="ij")
    return (np.sqrt(x * x + y * y + z * z) - np.float32(0.35 * n)).astype(np.float32)


def time_skimage(volume, reps):
    best = float("inf")
    for _ in range(reps):
        start = time.perf_counter()
        verts, faces, _, _ = marching_cubes(volume, 0.0, method="lewiner")
        best = min(best, time.perf_counter() - start)
    return best * 1000.0, len(verts), len(faces)


def time_ours(mc_time, path, reps, threads):
    out = subprocess.run([mc_time, path, str(reps), str(threads)], check=True, capture_output=True, text=True).stdout
    fields = out.split()
    values = dict(zip(fields[0::2], fields[1::2]))
    return float(values["passes_ms"]), float(values["whole_ms"]), int(values["vertices"]), int(values["polygons"])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    shared = os.path.join(here, "..", "..", "..", "shared", "meshes")
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--mc-time", required=True)
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--threads", default="1,2")
    parser.add_argument("--budgets", default="1000000,10000000")
    parser.add_argument("--meshes", default="bunny,fandisk")
    args = parser.parse_args()
    threads = [int(t) for t in args.threads.split(",") if t]
    budgets = [int(b) for b in args.budgets.split(",") if b]

    print("Best of %d; ms. 'passes': our two passes over the volume (vertices and polygons);"
          " 'whole': the Marching task with the mesh set-up.\n" % args.reps)
    header = "| volume | grid | skimage ms | skimage verts / tris |"
    rule = "|---|---|---:|---|"
    for t in threads:
        header += " ours passes ms (%d thr) | ours whole ms (%d thr) | passes / skimage (%d thr) |" % (t, t, t)
        rule += "---:|---:|---:|"
    print(header + " ours verts / polygons |")
    print(rule + "---|")
    with tempfile.TemporaryDirectory() as work:
        cases = []
        for budget in budgets:
            cases.append(("sphere SDF (dense)", budget, None))
            for mesh in args.meshes.split(","):
                path = os.path.join(shared, mesh + ".ply")
                if os.path.exists(path):
                    cases.append((mesh + " band", budget, path))
        for name, budget, mesh in cases:
            vol_path = os.path.join(work, "volume.vol")
            if mesh is None:
                write_vol(vol_path, sphere(budget))
            else:
                subprocess.run([args.cli, "voxelize", mesh, "--max-voxels", str(budget), "--quiet", "-o", vol_path],
                               check=True)
            volume = read_vol(vol_path)
            # Interleaved: one run of each per repetition, the best of each kept.
            sk_ms = float("inf")
            ours = {t: (float("inf"), float("inf")) for t in threads}
            for _ in range(args.reps):
                ms, sk_v, sk_f = time_skimage(volume, 1)
                sk_ms = min(sk_ms, ms)
                for t in threads:
                    passes, whole, v, p = time_ours(args.mc_time, vol_path, 1, t)
                    ours[t] = (min(ours[t][0], passes), min(ours[t][1], whole))
            row = "| %s | %s | %.1f | %d / %d |" % (name, " x ".join(map(str, volume.shape)), sk_ms, sk_v, sk_f)
            for t in threads:
                row += " %.1f | %.1f | %.2f |" % (ours[t][0], ours[t][1], ours[t][0] / sk_ms)
            print(row + " %d / %d |" % (v, p))
            sys.stdout.flush()


if __name__ == "__main__":
    main()
