#pragma once

// Conversions between NumPy arrays and the library's mesh container, for the Python module.
// Called with the GIL held.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "tessellor/Tessellor.h"

namespace tessellor {
namespace python {

// Fills mesh (Scale 1, Offset 0) from V, an (n, 3) array of numbers, and F, either an (m, k)
// integer array or a sequence of one-dimensional integer arrays (one per polygon). Trailing -1
// entries of a polygon are padding and are dropped. Wrong types raise TypeError, wrong shapes and
// indices that are no int raise ValueError; the index range is left to prepareMesh.
void meshFromArrays(const pybind11::handle& V, const pybind11::handle& F, PolygonStorage& mesh);

// (V, F) of mesh: V as (n, 3) float64 holding the 32-bit file coordinates the writers print, F as
// (m, k) int64 with k the largest corner count but at least minWidth, shorter polygons padded with
// -1. Polygons with fewer than three corners (emptied ones) are left out; every vertex is kept, so
// the ids are those of the mesh and of its files.
pybind11::tuple arraysFromMesh(const PolygonStorage& mesh, std::size_t minWidth);

}  // namespace python
}  // namespace tessellor
