#!/usr/bin/env python3
"""Remesh every mesh of a folder through Dask distributed.

    dask_remesh.py DIR OUTDIR [--scheduler ADDRESS] [--workers N] [--format ply|obj|pc|inp|bdf]
                   [--max-voxels N] [--mode MODE] [--features] [--psi P]

Without --scheduler the script starts a LocalCluster on this machine (loopback only, N worker
processes of one thread each; default: one per core). With an address (tcp://host:8786) it uses
the workers of that scheduler, so the same script runs on a real cluster; there every worker needs
the tessellor module and must see DIR and OUTDIR at the same paths (a shared file system).

Each task reads one file, remeshes it, writes OUTDIR/STEM.FORMAT and returns its summary with
the quality report of the output (tessellor.quality against the input: topology, element shapes,
distances). A file
that fails is reported on standard error and the others go on. The table of every file that
`tessellor-cli remesh --output-dir` prints ends the output; the exit status is 1 when any file
failed, 2 for a bad command line.
"""

import argparse
import os
import sys
import time

MESH_EXTENSIONS = (".ply", ".obj", ".stl", ".off")


def remesh_file(source, target, options):
    """One task: read, remesh, write. Returns the file's summary; a failure is part of it."""
    import tessellor

    start = time.perf_counter()
    summary = {"file": source, "ok": False, "error": None, "quality": None}
    try:
        V, F = tessellor.read(source)
        V2, F2 = tessellor.remesh(V, F, **options)
        tessellor.write(target, V2, F2)
        summary["quality"] = tessellor.quality(V2, F2, reference=(V, F))
        summary["ok"] = True
    except Exception as error:  # every failure is this file's own; the batch goes on
        named = isinstance(error, tessellor.Error) and error.file
        summary["error"] = str(error) if named else f"{source}: {error}"
    summary["seconds"] = time.perf_counter() - start
    return summary


def print_table(summaries):
    """The table of tessellor-cli remesh --output-dir: file, status, time, polygons, quads."""
    width = max([4] + [len(s["file"]) for s in summaries])
    print(f"{'file':<{width}}  {'status':<7}  {'time s':>8}  {'polygons':>9}  {'quads':>6}")
    for s in summaries:
        if s["ok"]:
            q = s["quality"]
            print(f"{s['file']:<{width}}  {'ok':<7}  {s['seconds']:8.2f}  {q['polygons']:9d}  {q['quad_share']:6.3f}")
        else:
            print(f"{s['file']:<{width}}  {'failed':<7}  {s['seconds']:8.2f}  {'-':>9}  {'-':>6}")


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Remesh every mesh of a folder through Dask distributed.")
    parser.add_argument("dir", help="folder of meshes (.ply, .obj, .stl, .off)")
    parser.add_argument("outdir", help="folder for the remeshed files")
    parser.add_argument("--scheduler", metavar="ADDRESS", help="an existing Dask scheduler (default: a LocalCluster)")
    parser.add_argument("--workers", type=int, metavar="N", help="LocalCluster worker processes (default: cores)")
    parser.add_argument("--format", default="ply", choices=("ply", "obj", "pc", "inp", "bdf"),
                        help="output format (default ply)")
    parser.add_argument("--max-voxels", type=int, metavar="N", help="voxel budget (default 100000)")
    parser.add_argument("--mode", help="voxelization mode (default: the module's)")
    parser.add_argument("--features", action="store_true", help="detect sharp features and edges")
    parser.add_argument("--psi", type=float, help="threshold on |cos| between face normals (default 0.3)")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_arguments(argv)
    if not os.path.isdir(args.dir):
        print(f"dask_remesh: '{args.dir}' is not a folder", file=sys.stderr)
        return 2
    names = sorted(n for n in os.listdir(args.dir)
                   if n.lower().endswith(MESH_EXTENSIONS) and os.path.isfile(os.path.join(args.dir, n)))
    if not names:
        print(f"dask_remesh: no mesh files in '{args.dir}'", file=sys.stderr)
        return 2
    stems = {}
    for name in names:
        stem = os.path.splitext(name)[0]
        if stem in stems:
            print(f"dask_remesh: '{stems[stem]}' and '{name}' would both be written to '{stem}.{args.format}'",
                  file=sys.stderr)
            return 2
        stems[stem] = name
    os.makedirs(args.outdir, exist_ok=True)

    options = {"features": args.features}
    for key in ("max_voxels", "mode", "psi"):
        if getattr(args, key) is not None:
            options[key] = getattr(args, key)
    files = [os.path.join(args.dir, n) for n in names]
    # Absolute paths: a worker's working folder is not ours.
    sources = [os.path.abspath(f) for f in files]
    targets = [os.path.abspath(os.path.join(args.outdir, os.path.splitext(n)[0] + "." + args.format)) for n in names]

    from distributed import Client, LocalCluster, as_completed

    if args.scheduler:
        cluster, client = None, Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers or os.cpu_count() or 1, threads_per_worker=1,
                               processes=True, host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    try:
        futures = client.map(remesh_file, sources, targets, [options] * len(sources), pure=False)
        position = {future.key: i for i, future in enumerate(futures)}
        summaries = [None] * len(files)
        for future in as_completed(futures):
            i = position[future.key]
            try:
                summary = future.result()
            except Exception as error:  # the task itself could not run (e.g. no module on the worker)
                summary = {"ok": False, "error": f"{files[i]}: {error}", "seconds": 0.0}
            summary["file"] = files[i]
            summaries[i] = summary
            if not summary["ok"]:
                print(f"dask_remesh: {summary['error']}", file=sys.stderr, flush=True)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    print_table(summaries)
    failed = sum(not s["ok"] for s in summaries)
    if failed:
        print(f"dask_remesh: {failed} of {len(summaries)} files failed", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
