"""examples/dask_remesh.py on a two-worker LocalCluster on loopback: three small meshes and a
damaged file; the good outputs equal the module's, the damaged file fails alone."""

import os
import subprocess
import sys

import pytest

import tessellor
from conftest import SOURCE_DIR, same_mesh

pytest.importorskip("distributed")


def test_dask_example_remeshes_a_folder(tmp_path, meshes):
    folder, out = tmp_path / "in", tmp_path / "out"
    folder.mkdir()
    names = ["sphere", "open_cube", "small"]
    for name in names[:2]:
        (folder / f"{name}.ply").write_bytes(open(meshes / f"{name}.ply", "rb").read())
    V, F = tessellor.read(folder / "sphere.ply")
    tessellor.write(folder / "small.ply", V * 3 + 1, F)
    (folder / "damaged.ply").write_text("ply\nformat ascii 1.0\nelement vertex 1\n")
    (folder / "notes.txt").write_text("not a mesh")

    script = os.path.join(SOURCE_DIR, "examples", "dask_remesh.py")
    run = subprocess.run([sys.executable, script, str(folder), str(out), "--workers", "2"],
                         capture_output=True, text=True, timeout=240)
    assert run.returncode == 1, run.stdout + run.stderr
    assert "damaged.ply" in run.stderr and "1 of 4 files failed" in run.stderr
    table = run.stdout.splitlines()
    assert len(table) == 5 and table[0].split() == ["file", "status", "time", "s", "polygons", "quads"], run.stdout
    assert sorted(os.listdir(out)) == sorted(f"{n}.ply" for n in names)
    for name in names:
        row = next(r for r in table if f"{name}.ply" in r).split()
        written = tessellor.read(out / f"{name}.ply")
        expected = tessellor.remesh(*tessellor.read(folder / f"{name}.ply"))
        tessellor.write(tmp_path / "expected.ply", *expected)
        assert same_mesh(written, tessellor.read(tmp_path / "expected.ply")), name
        assert row[1] == "ok" and int(row[3]) == len(expected[1]), row
