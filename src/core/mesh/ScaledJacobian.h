#pragma once

#include <vector>

namespace tessellor {

class PolygonStorage;

// The scaled Jacobian of a polygon, the usual shape measure of quad and triangle elements: the
// smallest, over the corners, of the corner's cross product of its two edges, signed against the
// polygon's normal (Newell's) and divided by the two edge lengths. A square has 1, a corner that
// folds flat 0, a corner turned the wrong way a negative value. A triangle's value is scaled by
// 2/sqrt(3), so that an equilateral one has 1 (and none more than 1). Polygons with fewer than
// three corners, or with coinciding corners, have 0.
float scaledJacobian(const PolygonStorage& mesh, int polygon);

// Per polygon entry, in id order (deleted polygons have 0).
std::vector<float> scaledJacobians(const PolygonStorage& mesh);

}  // namespace tessellor
