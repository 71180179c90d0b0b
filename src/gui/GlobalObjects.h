#pragma once

#include "PolygonStorageNode.h"
#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"

// The long-lived objects the window wires together, created in this order and destroyed in the
// reverse one.
struct GlobalObjects {
  PolygonStorageNode InputMeshNode;
  PolygonStorageNode OutputMeshNode;
  PolygonStorageExportPC ExporterPC;
  PolygonStorageExportPLY ExporterPLY;
  PolygonStorageExportOBJ ExporterOBJ;
  PolygonStorageImportPLY ImporterPLY;
  QuadDominantTessellor Controller;
};
