#pragma once

#include "algebra/vec3.h"

using namespace tessellor;

class QWidget;

// The OpenGL side of a camera: derives the eye axes from eye, target and an up hint before every
// frame and loads the projection and the view matrix.
class TBaseCamera3D {
 public:
  TBaseCamera3D();
  virtual ~TBaseCamera3D() = default;

  // Runs before every frame; subclasses set eye, target and upHint here.
  virtual void update() {}

  // Projection and view matrix for the current context (needs a current OpenGL context).
  void apply();
  // update, then the axes. Returns false when eye, target and up hint give no frame (up hint
  // parallel to the line of sight): forward and right are then left unnormalised, up keeps its
  // last value, and no view matrix may be loaded.
  bool refreshAxes();
  // Fills modelview (column-major) from the current axes and eye.
  void computeViewMatrix();
  void setOwner(QWidget* window) { owner = window; }

  float modelview[16];
  vec3 forward;
  vec3 right;
  vec3 up;
  QWidget* owner = nullptr;
  float aspect = 1.0f;
  vec3 eye;
  vec3 upHint;
  vec3 target;
  float farPlane = 100.0f;
  float nearPlane = 0.1f;
  float fovy = 30.0f;
};
