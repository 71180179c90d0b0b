#pragma once

#include "GlobalObjects.h"
#include "TFGLFormInputMesh.h"
#include "TFGLFormOutputMesh.h"
#include "TFMainWindow.h"
#include "TFPolygonStorageNodeOptions1.h"

class MyOutput;
class UserDialogs;

// The program's objects and windows in their creation order; they are destroyed in the reverse
// one. Needs a QApplication.
class TessellorApplication {
 public:
  TessellorApplication(MyOutput& log, UserDialogs& dialogs);

  GlobalObjects Objects;
  TFMainWindow FMainWindow;
  TFGLFormInputMesh FGLFormInputMesh;
  TFGLFormOutputMesh FGLFormOutputMesh;
  TFPolygonStorageNodeOptions FPolygonStorageNodeOptions;
  TFPolygonStorageNodeOptions1 FPolygonStorageNodeOptions1;
};
