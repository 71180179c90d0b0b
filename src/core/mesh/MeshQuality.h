#pragma once

#include <map>
#include <string>
#include <vector>

namespace tessellor {

class PolygonStorage;

// Minimum, mean and maximum of one shape measure over the elements of one kind, with the count of
// elements outside the range the Verdict library's manual calls acceptable for it.
struct ShapeStatistics {
  const char* Name = "";  // "min_angle", "aspect_ratio", ...
  double AcceptableLow = 0.0;
  double AcceptableHigh = 0.0;
  int Count = 0;
  double Min = 0.0;
  double Mean = 0.0;
  double Max = 0.0;
  int Outside = 0;  // elements outside [AcceptableLow, AcceptableHigh]
};

// One-sided distances from the sample points of one surface (its used vertices and the centroids
// of its polygons) to another surface.
struct DistanceStatistics {
  int Samples = 0;
  double Mean = 0.0;
  double Max = 0.0;
};

// What an engineer asks of a mesh before using it: its topology, the shape of its elements and,
// with a reference surface, how far the two lie apart. Lengths are in the coordinates of the file
// the mesh came from (stored position * Scale + Offset); VoxelSize > 0 also gives distances in
// voxels.
struct MeshQualityReport {
  int Vertices = 0;                      // vertex entries
  int UsedVertices = 0;                  // vertices that some polygon uses
  int PolygonEntries = 0;                // polygon entries, emptied ones included
  int Polygons = 0;                      // polygons with three or more corners
  int DegeneratePolygons = 0;            // entries with one or two corners, or none (emptied)
  int RepeatedVertexPolygons = 0;        // polygons that name one vertex twice
  std::map<int, int> PolygonsByCorners;  // corner count -> polygons (three or more corners)
  double QuadShare = 0.0;                // quads / polygons
  int Edges = 0;
  double EdgeLengthMin = 0.0;  // over the edges, in model units
  double EdgeLengthMedian = 0.0;
  double EdgeLengthMean = 0.0;
  double EdgeLengthMax = 0.0;
  int OpenEdges = 0;            // edges of one polygon
  int NonManifoldEdges = 0;     // edges of three or more polygons
  int InconsistentEdges = 0;    // edges run in the same direction by both of their polygons
  int NonManifoldVertices = 0;  // used vertices whose polygons do not form one fan
  int Components = 0;           // sets of polygons connected through shared vertices
  bool Closed = false;          // no open and no non-manifold edges
  bool ConsistentlyOriented = false;
  int EulerCharacteristic = 0;  // used vertices - edges + polygons
  int Genus = -1;               // of a closed, oriented, manifold mesh; -1 otherwise
  std::map<int, int> Valence;   // edge neighbours -> used vertices
  double Valence4Share = 0.0;   // used vertices of valence 4 / used vertices
  int MoreThanFourCorners = 0;  // polygons without shape measures
  int QuadsNonPositiveJacobian = 0;
  int TrianglesNonPositiveJacobian = 0;
  std::vector<ShapeStatistics> QuadShape;      // min_angle, max_angle, aspect_ratio, skew, taper, warpage,
                                               // scaled_jacobian
  std::vector<ShapeStatistics> TriangleShape;  // min_angle, max_angle, aspect_ratio, scaled_jacobian
  bool HasReference = false;
  double VoxelSize = 0.0;            // model units per voxel; 0 when unknown
  DistanceStatistics ToReference;    // from this mesh to the reference
  DistanceStatistics FromReference;  // from the reference to this mesh
};

// How much of the report to fill in. Summary finds only what formatQualitySummary prints: the
// vertex, polygon and edge counts (open, non-manifold, inconsistent), closedness, orientation and
// the Euler characteristic, the count, minimum, maximum and outside count of the scaled Jacobian
// per kind of element with the non-positive counts, and the distance to the reference. Everything
// else keeps its default (the shape tables hold the scaled Jacobian alone, the genus stays -1), so
// such a report is for formatQualitySummary only. It skips the work nobody reads at the end of a
// remeshing run: the other shape measures, edge lengths, fans, components, valences and the
// distance from the reference.
enum class QualityDetail { Full, Summary };

// Measures mesh; with a reference, also the distances both ways. voxelSize (model units per
// voxel, 0 when unknown) only adds the distances in voxels.
MeshQualityReport measureMeshQuality(const PolygonStorage& mesh, const PolygonStorage* reference = nullptr,
                                     double voxelSize = 0.0, QualityDetail detail = QualityDetail::Full);

// The whole report as text, several lines, each ending in a line feed.
std::string formatQualityText(const MeshQualityReport& report);
// A few lines: counts, closedness, quad share and the worst elements.
std::string formatQualitySummary(const MeshQualityReport& report);
// The whole report as one JSON object.
std::string formatQualityJson(const MeshQualityReport& report);

}  // namespace tessellor
