#pragma once

#include "TCamera3D.h"

#include <functional>
#include <string>

class Node;

// A camera with a viewport and the node it draws.
class View : public TCamera3D {
 public:
  // Receives the text of an OpenGL error ("<label>:<GLU error string>").
  using ErrorReporter = std::function<void(const std::string&)>;

  // Stores the viewport; the aspect follows unless the viewport has no height.
  void setViewport(int x, int y, int w, int h);
  void paintGL(bool interactive);
  void paint(bool interactive);
  void setRootNode(Node* node) { rootNode = node; }
  // Frames the root node's box (see frameBox); false, changing nothing, when there is none.
  bool fitToScene();
  // Errors are reported once per view: a broken context would otherwise report every frame.
  void setErrorReporter(ErrorReporter reporter) { errorReporter = std::move(reporter); }

  int viewport[4] = {0, 0, 0, 0};
  Node* rootNode = nullptr;
  bool drawScene = true;
  bool errorReported = false;

 private:
  void checkErrors(const char* label);
  static void drawAxes();

  ErrorReporter errorReporter;
};
