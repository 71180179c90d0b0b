"""The tessellor module: the command line's results, refusals that never crash, threads."""

import json
import os
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import tessellor
from conftest import run_cli, same_mesh, shared_mesh

# A mesh, the command line's options and the same options as keyword arguments.
CASES = [
    ("sphere.ply", ["--mode", "classic"], {"mode": "classic"}),
    ("fandisk.ply", ["--features", "--max-voxels", "200000", "--mode", "classic"],
     {"mode": "classic", "features": True, "max_voxels": 200000}),
    ("joint.ply", ["--exact-distance", "--features", "--psi", "0.5"], {"mode": "exact", "features": True, "psi": 0.5}),
    # The defaults (robust, which also takes quads) and sizing in model units.
    ("cube_quad.ply", [], {}),
    ("open_cube.ply", ["--element-size", "4"], {"element_size": 4}),
]


@pytest.mark.parametrize("name, cli_options, keywords", CASES)
def test_remesh_and_quality_equal_command_line(tmp_path, meshes, name, cli_options, keywords):
    path = str(meshes / name) if os.path.isfile(meshes / name) else shared_mesh(name)
    run = run_cli("remesh", path, "-o", str(tmp_path / "cli.ply"), "--quiet", *cli_options)
    assert run.returncode == 0, run.stderr
    reference = tessellor.read(path)
    V, F = tessellor.remesh(*reference, **keywords)
    assert F.shape[1] == 4 and F.dtype == np.int64 and V.dtype == np.float64
    # The same writer, the same bytes.
    tessellor.write(tmp_path / "module.ply", V, F)
    assert (tmp_path / "cli.ply").read_bytes() == (tmp_path / "module.ply").read_bytes()
    report = run_cli("quality", str(tmp_path / "cli.ply"), "--reference", path, "--json")
    assert report.returncode == 0, report.stderr
    assert tessellor.quality(V, F, reference=reference) == json.loads(report.stdout)


def test_polygon_forms_agree(sphere):
    """Rows, rows padded with -1, and a list of index arrays are the same polygons."""
    V, F = sphere
    padded = np.hstack([F, np.full((len(F), 2), -1)])
    results = [tessellor.remesh(V.astype(np.float32), f, mode="classic") for f in (F, padded, [row for row in F])]
    assert all(same_mesh(results[0], r) for r in results[1:])


OCTAHEDRON_V = np.array([[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1], [0, 0, -1]], dtype=np.float64)
OCTAHEDRON_F = np.array([[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4], [2, 0, 5], [1, 2, 5], [3, 1, 5], [0, 3, 5]])
V, F = OCTAHEDRON_V, OCTAHEDRON_F
# Arguments that must be refused, for remesh and for write alike.
BAD_MESHES = [
    (V[:, :2], F, ValueError),
    (V.ravel(), F, ValueError),
    (V.astype(complex), F, TypeError),
    (np.array([["a", "b", "c"]]), F, TypeError),
    (None, F, TypeError),
    (np.where(V == 1, np.nan, V), F, ValueError),
    (V, F.astype(float), TypeError),
    (V, F.ravel(), ValueError),
    (V, F[None], ValueError),
    (V, F + 6, ValueError),
    (V, -F - 2, ValueError),
    (V, F + 2**40, ValueError),
    (V, F.astype(np.uint64) + np.uint64(2**63), ValueError),
    (V, [[0, -1, 2]], ValueError),
    (V, [[0, 1, 2], [0.5, 1, 2]], TypeError),
    (V, [[0, 1, 2], [[0, 1, 2]]], ValueError),
    (V, "0 1 2", TypeError),
]
BAD_OPTIONS = [
    ({"max_voxels": 0}, ValueError),
    ({"max_voxels": 2**31}, ValueError),
    ({"max_voxels": "1000"}, TypeError),
    ({"max_voxels": True}, TypeError),
    ({"psi": float("nan")}, ValueError),
    ({"mode": "fast"}, ValueError),
    ({"features": "yes"}, TypeError),
    ({"max_voxels": 1000, "element_size": 0.1}, ValueError),
    ({"element_size": -1.0}, ValueError),
    ({"target_faces": 0}, ValueError),
]


@pytest.mark.parametrize("vertices, polygons, error", BAD_MESHES)
def test_bad_arrays_raise(tmp_path, vertices, polygons, error):
    with pytest.raises(error):
        tessellor.remesh(vertices, polygons, mode="classic")
    with pytest.raises(error):
        tessellor.write(tmp_path / "out.ply", vertices, polygons)
    with pytest.raises(error):
        tessellor.quality(V, F, reference=(vertices, polygons))
    assert not os.listdir(tmp_path)


@pytest.mark.parametrize("options, error", BAD_OPTIONS)
def test_bad_options_raise(options, error):
    with pytest.raises(error):
        tessellor.remesh(V, F, **{"mode": "classic", **options})


def test_errors_name_the_file_and_line(tmp_path):
    damaged = tmp_path / "damaged.ply"
    damaged.write_text("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                       "property float z\nelement face 0\nend_header\n0 0 0\n1 0\n")
    flat = (np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], dtype=float), [[0, 1, 2]])
    cases = [  # call, file, line
        (lambda: tessellor.read(damaged), str(damaged), 10),
        (lambda: tessellor.read(tmp_path / "missing.ply"), str(tmp_path / "missing.ply"), None),
        (lambda: tessellor.write(tmp_path / "no" / "out.ply", V, F), str(tmp_path / "no" / "out.ply"), None),
        (lambda: tessellor.remesh(*flat, mode="classic"), None, None),
    ]
    for call, file, line in cases:
        with pytest.raises(tessellor.Error) as caught:
            call()
        assert isinstance(caught.value, RuntimeError)
        assert (caught.value.file, caught.value.line, caught.value.byte) == (file, line, None), str(caught.value)
        assert str(caught.value)


def test_threads_give_the_sequential_results(sphere):
    jobs = [{"max_voxels": 300000}, {"mode": "exact", "features": True}] * 2
    sequential = [tessellor.remesh(*sphere, **job) for job in jobs]
    with ThreadPoolExecutor(2) as pool:
        parallel = list(pool.map(lambda job: tessellor.remesh(*sphere, **job), jobs))
    assert all(same_mesh(a, b) for a, b in zip(sequential, parallel))
