#include "TBaseCamera3D.h"

#include <GL/gl.h>
#include <GL/glu.h>

TBaseCamera3D::TBaseCamera3D() {
  for (int i = 0; i < 16; ++i) modelview[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

bool TBaseCamera3D::refreshAxes() {
  update();
  vec3 f = eye - target;
  vec3 r = upHint ^ f;
  forward = f;
  right = r;
  if (f.length2() == 0.0f || r.length2() == 0.0f) return false;
  forward.normalize();
  right.normalize();
  up = forward ^ right;
  return true;
}

void TBaseCamera3D::computeViewMatrix() {
  const vec3* rows[3] = {&right, &up, &forward};
  for (int i = 0; i < 3; ++i) {
    const vec3& a = *rows[i];
    modelview[i] = a[0];
    modelview[4 + i] = a[1];
    modelview[8 + i] = a[2];
    modelview[12 + i] = -(eye * a);
  }
  modelview[3] = modelview[7] = modelview[11] = 0.0f;
  modelview[15] = 1.0f;
}

void TBaseCamera3D::apply() {
  const bool framed = refreshAxes();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fovy, aspect, nearPlane, farPlane);
  glMatrixMode(GL_MODELVIEW);
  if (framed) {
    computeViewMatrix();
    glLoadMatrixf(modelview);
  }
}
