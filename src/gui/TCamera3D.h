#pragma once

#include "TBaseCamera3D.h"

// Orbiting camera: a rotation about a centre at a distance, with pan, dolly and zoom, driven by
// mouse drags and key presses.
class TCamera3D : public TBaseCamera3D {
 public:
  TCamera3D();

  void update() override;
  void reset();
  void rotateX(float angle);
  void rotateY(float angle);
  void pan(float a, float b);
  void dolly(float f);
  void zoom(float f);
  // dx, dy: pointer movement as fractions of the window size. mode 0 rotates, 1 zooms, 2 pans,
  // 3 does nothing; only button 1 moves the camera.
  void mouseMove(float dx, float dy, int button, int mode);
  void keyPress(char ch);
  // Frames a box: the centre moves to the box's centre and the distance becomes the smallest at
  // which every corner is in sight, seen along the current rotation, with a margin. The rotation
  // is kept. An empty or non-finite box changes nothing.
  void frameBox(const vec3& lo, const vec3& hi);

  float distance = 1.0f;
  vec3 baseUp;
  vec3 center;
  bool resetRequested = false;
  float rotation[4][4];
};
