#pragma once

namespace tessellor {

class GenericVolumeStorage;
class PolygonStorage;

// Moves every midpoint of the mesh onto the nearest feature point found in the eight voxels whose
// cell centres surround it, and marks it with that voxel's feature type. Mesh and volume share
// grid coordinates. Only Midpoints pos and attr change; nothing is recomputed afterwards, so the
// moved records are no longer centroids. Voxels outside the volume are never read: near the
// border only the candidates inside count.
void transferFeaturePointsToMidpoints(PolygonStorage& mesh, const GenericVolumeStorage& volume);

}  // namespace tessellor
