"""Shared fixtures of the Python tests: the built module, tessellor-cli, generated meshes and the
shared mesh folder.

ctest sets PYTHONPATH to the built module and TESSELLOR_CLI, TESSELLOR_SOURCE_DIR and
TESSELLOR_SHARED_DIR; the shared meshes are optional and their tests skip when they are absent.
"""

import os
import subprocess

import numpy as np
import pytest

SOURCE_DIR = os.environ.get("TESSELLOR_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SHARED_DIR = os.environ.get("TESSELLOR_SHARED_DIR", os.path.join(SOURCE_DIR, "..", "shared"))


def shared_mesh(name):
    path = os.path.join(SHARED_DIR, "meshes", name)
    if not os.path.isfile(path):
        pytest.skip(f"shared mesh {name} not present")
    return path


def run_cli(*args):
    cli = os.environ.get("TESSELLOR_CLI")
    if not cli:
        pytest.skip("TESSELLOR_CLI not set (run the tests through ctest)")
    return subprocess.run([cli, *args], capture_output=True, text=True, timeout=300)


def icosphere(levels=2):
    """(V, F) of a unit sphere: an icosahedron subdivided `levels` times (162 vertices at 2)."""
    g = (1 + 5**0.5) / 2
    V = [np.array(p, float) for p in [(-1, g, 0), (1, g, 0), (-1, -g, 0), (1, -g, 0), (0, -1, g), (0, 1, g),
                                        (0, -1, -g), (0, 1, -g), (g, 0, -1), (g, 0, 1), (-g, 0, -1), (-g, 0, 1)]]
    F = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2), (10, 7, 6),
         (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10),
         (8, 6, 7), (9, 8, 1)]
    for _ in range(levels):
        middle = {}

        def m(a, b):
            key = (min(a, b), max(a, b))
            if key not in middle:
                middle[key] = len(V)
                V.append((V[a] + V[b]) / 2)
            return middle[key]

        F = [t for a, b, c in F for t in ((a, m(a, b), m(c, a)), (b, m(b, c), m(a, b)), (c, m(c, a), m(b, c)),
                                          (m(a, b), m(b, c), m(c, a)))]
    V = np.array(V)
    return V / np.linalg.norm(V, axis=1)[:, None], np.array(F)


# A cube of edge 100 without its top, in ten triangles: an open mesh.
OPEN_CUBE = (np.array([[0, 0, 0], [100, 0, 0], [100, 100, 0], [0, 100, 0], [100, 0, 100], [100, 100, 100],
                       [0, 100, 100], [0, 0, 100]], float),
             np.array([[0, 1, 2], [0, 2, 3], [1, 4, 2], [2, 4, 5], [2, 5, 6], [2, 6, 3], [5, 4, 7], [5, 7, 6],
                       [6, 7, 3], [3, 7, 0]]))

# The cube from -1 to 1 in six outward quads.
CUBE_QUAD = (np.array([[-1, -1, -1], [-1, 1, -1], [1, 1, -1], [1, -1, -1], [-1, -1, 1], [-1, 1, 1], [1, 1, 1],
                       [1, -1, 1]], float),
             np.array([[0, 3, 7, 4], [3, 2, 6, 7], [2, 1, 5, 6], [1, 0, 4, 5], [4, 7, 6, 5], [0, 1, 2, 3]]))


@pytest.fixture(scope="session")
def meshes(tmp_path_factory):
    """A folder with sphere.ply, open_cube.ply and cube_quad.ply, written by the module."""
    import tessellor

    folder = tmp_path_factory.mktemp("meshes")
    tessellor.write(folder / "sphere.ply", *icosphere())
    tessellor.write(folder / "open_cube.ply", *OPEN_CUBE)
    tessellor.write(folder / "cube_quad.ply", *CUBE_QUAD)
    return folder


@pytest.fixture(scope="session")
def sphere(meshes):
    """(V, F) of the generated sphere, as read by the module."""
    import tessellor

    return tessellor.read(meshes / "sphere.ply")


def same_mesh(a, b):
    """Equal polygon arrays and vertex arrays equal to the precision of a six-decimal file."""
    return a[0].shape == b[0].shape and np.allclose(a[0], b[0], rtol=0, atol=1e-6) and np.array_equal(a[1], b[1])
