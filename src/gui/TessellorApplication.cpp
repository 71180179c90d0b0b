#include "TessellorApplication.h"

TessellorApplication::TessellorApplication(MyOutput& log, UserDialogs& dialogs)
    : FMainWindow(Objects, log, dialogs), FPolygonStorageNodeOptions(dialogs), FPolygonStorageNodeOptions1(dialogs) {
  FMainWindow.setSecondaryWindows(&FGLFormInputMesh, &FGLFormOutputMesh, &FPolygonStorageNodeOptions,
                                  &FPolygonStorageNodeOptions1);
}
