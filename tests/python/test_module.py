"""The tessellor module: the command line's results, refusals that never crash, threads."""

import os
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import tessellor
from conftest import DATA_MESHES, run_cli, same_mesh, shared_mesh

# A mesh, the command line's options and the same options as keyword arguments.
CASES = [
    ("sphere.ply", [], {"mode": "classic"}),
    ("fandisk.ply", ["--features", "--max-voxels", "200000"], {"mode": "classic", "features": True, "max_voxels": 200000}),
    ("joint.ply", ["--exact-distance", "--features", "--psi", "0.5"], {"mode": "exact", "features": True, "psi": 0.5}),
]


def mesh_path(name):
    local = os.path.join(DATA_MESHES, name)
    return local if os.path.isfile(local) else shared_mesh(name)


@pytest.mark.parametrize("name, cli_options, keywords", CASES)
def test_remesh_equals_command_line(tmp_path, name, cli_options, keywords):
    path = mesh_path(name)
    run = run_cli("remesh", path, "-o", str(tmp_path / "cli.ply"), "--quiet", *cli_options)
    assert run.returncode == 0, run.stderr
    V, F = tessellor.remesh(*tessellor.read(path), **keywords)
    assert F.shape[1] == 4 and F.dtype == np.int64 and V.dtype == np.float64
    # Both through the same writer and reader: equal arrays, to the last printed digit.
    tessellor.write(tmp_path / "module.ply", V, F)
    cli, module = tessellor.read(tmp_path / "cli.ply"), tessellor.read(tmp_path / "module.ply")
    assert same_mesh(cli, module)
    assert np.allclose(V, cli[0], rtol=0, atol=1e-5 * np.abs(V).max())


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
]


@pytest.mark.parametrize("vertices, polygons, error", BAD_MESHES)
def test_bad_arrays_raise(tmp_path, vertices, polygons, error):
    with pytest.raises(error):
        tessellor.remesh(vertices, polygons, mode="classic")
    with pytest.raises(error):
        tessellor.write(tmp_path / "out.ply", vertices, polygons)
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
    jobs = [{"mode": "classic", "max_voxels": 300000}, {"mode": "exact", "features": True}] * 2
    sequential = [tessellor.remesh(*sphere, **job) for job in jobs]
    with ThreadPoolExecutor(2) as pool:
        parallel = list(pool.map(lambda job: tessellor.remesh(*sphere, **job), jobs))
    assert all(same_mesh(a, b) for a, b in zip(sequential, parallel))
