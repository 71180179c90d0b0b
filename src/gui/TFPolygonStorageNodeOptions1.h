#pragma once

#include "TFPolygonStorageNodeOptions.h"

// The options dialog of the output mesh; it behaves like the one of the input mesh.
class TFPolygonStorageNodeOptions1 : public TFPolygonStorageNodeOptions {
  Q_OBJECT

 public:
  using TFPolygonStorageNodeOptions::TFPolygonStorageNodeOptions;
};
