#include "TCamera3D.h"

#include <algorithm>
#include <cmath>

namespace {
const float Pi = 3.14159265358979323846f;

vec3 rotate3x3(const float m[4][4], const vec3& v) {
  return vec3(m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
              m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]);
}
}  // namespace

TCamera3D::TCamera3D() : baseUp(0.0f, 1.0f, 0.0f) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) rotation[i][j] = (i == j) ? 1.0f : 0.0f;
}

void TCamera3D::update() {
  if (resetRequested) reset();
  const vec3 offset = rotate3x3(rotation, vec3(0.0f, 0.0f, distance));
  const vec3 rotatedUp = rotate3x3(rotation, baseUp);
  upHint = rotatedUp;
  eye = center + offset;
  target = center;
  const float d = offset.length();
  farPlane = 2.0f * d + 200.0f;
  nearPlane = 0.001f * d;
}

void TCamera3D::reset() {
  center = vec3(0.0f, 0.0f, 0.0f);
  distance = 100.0f;
}

void TCamera3D::rotateX(float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  for (auto& row : rotation) {
    const float y = row[1];
    const float z = row[2];
    row[1] = y * c + z * s;
    row[2] = -y * s + z * c;
  }
}

void TCamera3D::rotateY(float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  for (auto& row : rotation) {
    const float x = row[0];
    const float z = row[2];
    row[0] = x * c - z * s;
    row[2] = x * s + z * c;
  }
}

void TCamera3D::pan(float a, float b) {
  // Visible height at the centre, so a pan of 1 moves the centre by one screen.
  const float h = 2.0f * distance * std::tan(fovy * Pi / 360.0f);
  const float w = h * aspect;
  center += up * (h * b) + right * (w * a);
}

void TCamera3D::dolly(float f) { center += forward * ((eye - target).length() * f); }

void TCamera3D::zoom(float f) { distance = distance * std::exp(f); }

void TCamera3D::mouseMove(float dx, float dy, int button, int mode) {
  if (button != 1) return;
  switch (mode) {
    case 0:
      rotateX(-5.0f * dy);
      rotateY(-5.0f * dx);
      break;
    case 1:
      zoom(dy);
      break;
    case 2:
      pan(-dx, dy);
      break;
    default:
      break;
  }
}

void TCamera3D::keyPress(char ch) {
  switch (ch) {
    case 'i':
      pan(0.0f, 0.03f);
      break;
    case 'j':
      pan(-0.03f, 0.0f);
      break;
    case 'k':
      pan(0.0f, -0.03f);
      break;
    case 'l':
      pan(0.03f, 0.0f);
      break;
    case 'z':
      dolly(0.3f);
      break;
    case 'h':
      dolly(-0.3f);
      break;
    case '+':
      zoom(-0.5f);
      break;
    case '-':
      zoom(0.5f);
      break;
    case 'r':
      reset();
      break;
    default:
      break;
  }
}

void TCamera3D::frameBox(const vec3& lo, const vec3& hi) {
  for (int k = 0; k < 3; ++k)
    if (!std::isfinite(lo[k]) || !std::isfinite(hi[k]) || lo[k] > hi[k]) return;
  const float margin = 1.15f;
  const vec3 middle = (lo + hi) * 0.5f;
  // The axes the next update derives from the rotation.
  vec3 towardEye = rotate3x3(rotation, vec3(0.0f, 0.0f, 1.0f));
  vec3 side = rotate3x3(rotation, baseUp) ^ towardEye;
  if (towardEye.length2() == 0.0f || side.length2() == 0.0f) return;
  towardEye.normalize();
  side.normalize();
  const vec3 above = towardEye ^ side;
  const float tanY = std::tan(fovy * Pi / 360.0f);
  const float tanX = tanY * (aspect > 0.0f ? aspect : 1.0f);
  // A corner at x, y (across) and z (toward the eye) is in sight when |x| <= (d - z) tanX and
  // |y| <= (d - z) tanY; the margin shrinks both.
  float d = 0.0f;
  for (int c = 0; c < 8; ++c) {
    const vec3 corner((c & 1) ? hi[0] : lo[0], (c & 2) ? hi[1] : lo[1], (c & 4) ? hi[2] : lo[2]);
    const vec3 r = corner - middle;
    const float z = r * towardEye;
    d = std::max(d, z + margin * std::fabs(r * side) / tanX);
    d = std::max(d, z + margin * std::fabs(r * above) / tanY);
  }
  // A single point (or a box thinner than any screen) still gets a usable distance.
  const float size = (hi - lo).length();
  center = middle;
  distance = std::max(d, std::max(size, 1.0f) * 0.01f);
}
