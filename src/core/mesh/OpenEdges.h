#pragma once

#include "mesh/PolygonStorage.h"

namespace tessellor {

// The number of open edges of a mesh: pairs of neighbouring corners that exactly one polygon has
// as an edge. 0 for a closed mesh (and for an empty one).
int countOpenEdges(const PolygonStorage& mesh);

}  // namespace tessellor
