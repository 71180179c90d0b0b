#pragma once

#include "PolygonStorageNode.h"
#include "pipeline/QuadDominantTessellor.h"

using namespace tessellor;

// The long-lived objects the window wires together, created in this order and destroyed in the
// reverse one.
struct GlobalObjects {
  PolygonStorageNode InputMeshNode;
  PolygonStorageNode OutputMeshNode;
  QuadDominantTessellor Controller;
};
