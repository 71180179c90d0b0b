#pragma once

namespace tessellor {

// How the voxelizer measures the distance of a lattice point and decides on which side it lies.
//   Classic: the point of each triangle found in its affine parameters; the side from the normal of
//            the face, edge or corner that holds it. Polygons of four or more corners are skipped.
//   Exact:   the exact closest point of each triangle; the side as in Classic.
//   Robust:  every polygon triangulated, the exact closest point, and the side from the winding
//            number of the repaired surface (corners welded, faces consistently oriented) along
//            the lattice lines, so that it does not depend on the orientation of the input faces.
enum class VoxelizationMode { Classic, Exact, Robust };

}  // namespace tessellor
