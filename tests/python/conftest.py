"""Shared fixtures of the Python tests: the built module, tessellor-cli and the mesh folders.

ctest sets PYTHONPATH to the built module and TESSELLOR_CLI, TESSELLOR_SOURCE_DIR and
TESSELLOR_SHARED_DIR; the shared meshes are optional and their tests skip when they are absent.
"""

import os
import subprocess

import numpy as np
import pytest

SOURCE_DIR = os.environ.get("TESSELLOR_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SHARED_DIR = os.environ.get("TESSELLOR_SHARED_DIR", os.path.join(SOURCE_DIR, "..", "shared"))
DATA_MESHES = os.path.join(SOURCE_DIR, "tests", "data", "meshes")


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


@pytest.fixture(scope="session")
def sphere():
    """(V, F) of tests/data/meshes/sphere.ply, as read by the module."""
    import tessellor

    return tessellor.read(os.path.join(DATA_MESHES, "sphere.ply"))


def same_mesh(a, b):
    """Equal vertex arrays and equal polygon arrays."""
    return np.array_equal(a[0], b[0]) and np.array_equal(a[1], b[1])
