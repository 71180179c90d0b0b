// The peer's side of the side-by-side benchmark: what `tessellor-cli remesh` does, with OpenVDB's
// meshToSignedDistanceField and volumeToMesh in place of our pipeline.
//
//   openvdb_remesh IN.ply MAX_VOXELS THREADS OUT.ply
//
// The input is read with our PLY reader, fitted into 50 x 50 x 50 and sized from the voxel budget
// exactly as our pipeline does, and fitted into that grid with the same 1.5-voxel border, so both
// tools sample the same lattice: OpenVDB gets the fitted positions in index space (voxel size 1).
// The narrow band is 2 voxels on each side (ours keeps |d| < 1.9). The extracted mesh (quads and
// triangles, adaptivity 0) is written with our PLY writer in the input file's coordinates.
// THREADS limits oneTBB, which OpenVDB runs on (0: all cores).
#include <openvdb/openvdb.h>
#include <openvdb/tools/MeshToVolume.h>
#include <openvdb/tools/VolumeToMesh.h>

#include <tbb/global_control.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <vector>

#include "pipeline/QuadDominantTessellor.h"
#include "tessellor/Tessellor.h"

using namespace tessellor;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s IN.ply MAX_VOXELS THREADS OUT.ply\n", argv[0]);
    return 2;
  }
  const int budget = std::atoi(argv[2]);
  const int threads = std::atoi(argv[3]);
  std::unique_ptr<tbb::global_control> limit;
  if (threads > 0)
    limit = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                  static_cast<std::size_t>(threads));
  try {
    openvdb::initialize();
    PolygonStorage mesh;
    readMesh(argv[1], mesh);
    fitIntoWorkingBox(mesh);
    int nx = 0, ny = 0, nz = 0;
    QuadDominantTessellor::volumeSize(mesh.BBoxMax.x - mesh.BBoxMin.x, mesh.BBoxMax.y - mesh.BBoxMin.y,
                                      mesh.BBoxMax.z - mesh.BBoxMin.z, budget, nx, ny, nz);
    if (!mesh.fitIntoVolume(nx, ny, nz)) throw ProcessingError("cannot be fitted");

    std::vector<openvdb::Vec3s> points;
    points.reserve(mesh.Vertices.size());
    for (const Vertex& v : mesh.Vertices) points.emplace_back(v.pos.x, v.pos.y, v.pos.z);
    std::vector<openvdb::Vec3I> triangles;
    std::vector<openvdb::Vec4I> quads;
    for (const VertexIDList& p : mesh.Polygons) {
      if (p.size() == 3) triangles.emplace_back(p[0], p[1], p[2]);
      if (p.size() == 4) quads.emplace_back(p[0], p[1], p[2], p[3]);
    }
    auto transform = openvdb::math::Transform::createLinearTransform(1.0);
    openvdb::FloatGrid::Ptr grid =
        openvdb::tools::meshToSignedDistanceField<openvdb::FloatGrid>(*transform, points, triangles, quads, 2.0f, 2.0f);

    std::vector<openvdb::Vec3s> outPoints;
    std::vector<openvdb::Vec3I> outTriangles;
    std::vector<openvdb::Vec4I> outQuads;
    openvdb::tools::volumeToMesh(*grid, outPoints, outTriangles, outQuads, 0.0, 0.0);

    PolygonStorage out;
    out.setScale(mesh.getScale());
    const V3 offset = mesh.getOffset();
    out.setOffset(offset.x, offset.y, offset.z);
    out.Vertices.resize(outPoints.size());
    for (std::size_t i = 0; i < outPoints.size(); ++i)
      out.Vertices[i].pos = V3{outPoints[i].x(), outPoints[i].y(), outPoints[i].z()};
    out.Polygons.reserve(outQuads.size() + outTriangles.size());
    for (const openvdb::Vec4I& q : outQuads)
      out.Polygons.push_back(
          {static_cast<int>(q[0]), static_cast<int>(q[1]), static_cast<int>(q[2]), static_cast<int>(q[3])});
    for (const openvdb::Vec3I& t : outTriangles)
      out.Polygons.push_back({static_cast<int>(t[0]), static_cast<int>(t[1]), static_cast<int>(t[2])});
    writeMesh(argv[4], out);
    std::printf("volume %d x %d x %d, %zu active voxels, %zu points, %zu quads, %zu triangles\n", nx, ny, nz,
                static_cast<std::size_t>(grid->activeVoxelCount()), outPoints.size(), outQuads.size(),
                outTriangles.size());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "openvdb_remesh: %s\n", error.what());
    return 1;
  }
  return 0;
}
