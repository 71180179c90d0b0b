#pragma once

#include <cstdint>

namespace tessellor {

// One cube of Marching Cubes 33: its state (corner values, sign index, case, configuration and
// sub-configuration), the face and interior tests that resolve the ambiguous cases, and the
// decision table that picks the sub-case and its tiling. The extractor's sweep runs one of these
// per slab range, so several can classify cubes at once; each counts its own sub-cases.
class MarchingCubes33Cube {
 public:
  static constexpr int SubcaseCount = 32;
  // Sub-case names in counter order ("0", "1", "2", "3.1", ..., "13.5.2", "14").
  static const char* const SubcaseNames[SubcaseCount];

  // What a cube emits: a row of a tiling table with Count triangles, or a row of a polygon table
  // with Count entries (loops separated by -1). Centre: the triangles use entry 12, the interior
  // vertex, which is created before them. Row is null when the cube emits nothing.
  struct Tiling {
    const std::int8_t* Row = nullptr;
    int Count = 0;
    bool Polygons = false;
    bool Centre = false;
  };

  MarchingCubes33Cube() = default;
  MarchingCubes33Cube(const MarchingCubes33Cube&) = default;
  MarchingCubes33Cube& operator=(const MarchingCubes33Cube&) = default;
  virtual ~MarchingCubes33Cube() = default;

  int caseStatistics(int subcase) const { return _caseStatistics[subcase]; }

 protected:
  // Classifies the cube described by the state below, counts its sub-case and returns its tiling.
  Tiling processCube();
  // Face test for face code f (negative: sense inverted); true when the face's saddle joins the
  // positive corners.
  bool testFace(std::int8_t f);
  // Interior test with sign s (7 or -7) of the test tables.
  bool testInterior(std::int8_t s);

  // Cube state, set by the sweep before each processCube.
  int _i = 0;
  int _j = 0;
  int _k = 0;
  float _cube[8] = {};
  std::uint8_t _lutEntry = 0;
  std::uint8_t _case = 0;
  std::uint8_t _config = 0;
  std::uint8_t _subconfig = 0;
  int _caseStatistics[SubcaseCount] = {};

  // Where the messages of damaged tables and impossible sub-cases go: the diagnostics stream,
  // unless a sweep keeps them to report them in order.
  virtual void diagnostic(const char* text);

 private:
  // A diagnostic with one number in it.
  void report(const char* format, int value);
};

}  // namespace tessellor
