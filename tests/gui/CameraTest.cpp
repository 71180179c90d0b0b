#include "TCamera3D.h"
#include "View.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const float Tol = 1e-4f;

// The state right after a window is shown: reset, then the first frame's update.
TCamera3D shownCamera() {
  TCamera3D camera;
  camera.reset();
  camera.refreshAxes();
  return camera;
}

void expectVec(const vec3& v, float x, float y, float z, const char* what) {
  EXPECT_NEAR(v[0], x, Tol) << what << ".x";
  EXPECT_NEAR(v[1], y, Tol) << what << ".y";
  EXPECT_NEAR(v[2], z, Tol) << what << ".z";
}

// Visible height at the centre for distance 100 and a 30 degree field of view: 200 tan 15 deg.
const float VisibleHeight100 = 53.589838f;

}  // namespace

TEST(Camera, StateAfterShow) {
  TCamera3D camera = shownCamera();
  expectVec(camera.eye, 0, 0, 100, "eye");
  expectVec(camera.target, 0, 0, 0, "target");
  expectVec(camera.up, 0, 1, 0, "up");
  expectVec(camera.right, 1, 0, 0, "right");
  expectVec(camera.forward, 0, 0, 1, "forward");
  EXPECT_NEAR(camera.farPlane, 400.0f, Tol);
  EXPECT_NEAR(camera.nearPlane, 0.1f, 1e-6f);
}

TEST(Camera, ViewMatrixIsColumnMajorLookAt) {
  TCamera3D camera = shownCamera();
  camera.center = vec3(3.0f, -2.0f, 5.0f);
  camera.refreshAxes();
  camera.computeViewMatrix();
  // Eye at (3, -2, 105): the translation column holds -e.r, -e.u, -e.f.
  EXPECT_NEAR(camera.modelview[12], -3.0f, Tol);
  EXPECT_NEAR(camera.modelview[13], 2.0f, Tol);
  EXPECT_NEAR(camera.modelview[14], -105.0f, Tol);
  EXPECT_EQ(camera.modelview[15], 1.0f);
  // First row (right) sits in m[0], m[4], m[8].
  EXPECT_NEAR(camera.modelview[0], 1.0f, Tol);
  EXPECT_NEAR(camera.modelview[4], 0.0f, Tol);
  EXPECT_NEAR(camera.modelview[8], 0.0f, Tol);
  EXPECT_EQ(camera.modelview[3], 0.0f);
  // The centre maps to (0, 0, -100) in eye space.
  const float* m = camera.modelview;
  const float cx = 3.0f, cy = -2.0f, cz = 5.0f;
  EXPECT_NEAR(m[0] * cx + m[4] * cy + m[8] * cz + m[12], 0.0f, Tol);
  EXPECT_NEAR(m[1] * cx + m[5] * cy + m[9] * cz + m[13], 0.0f, Tol);
  EXPECT_NEAR(m[2] * cx + m[6] * cy + m[10] * cz + m[14], -100.0f, Tol);
}

TEST(Camera, NavigationKeys) {
  struct Case {
    char key;
    vec3 center;
    float distance;
  };
  const float p = 0.03f * VisibleHeight100;  // aspect 1
  const Case cases[] = {
      {'i', vec3(0, p, 0), 100.0f},
      {'j', vec3(-p, 0, 0), 100.0f},
      {'k', vec3(0, -p, 0), 100.0f},
      {'l', vec3(p, 0, 0), 100.0f},
      // dolly moves along forward, which points from the centre to the eye
      {'z', vec3(0, 0, 30), 100.0f},
      {'h', vec3(0, 0, -30), 100.0f},
      {'+', vec3(0, 0, 0), 100.0f * std::exp(-0.5f)},
      {'-', vec3(0, 0, 0), 100.0f * std::exp(0.5f)},
      {'r', vec3(0, 0, 0), 100.0f},
      {'x', vec3(0, 0, 0), 100.0f},
      {'I', vec3(0, 0, 0), 100.0f},
  };
  for (const Case& c : cases) {
    TCamera3D camera = shownCamera();
    camera.keyPress(c.key);
    const std::string what = std::string("key ") + c.key;
    expectVec(camera.center, c.center[0], c.center[1], c.center[2], what.c_str());
    EXPECT_NEAR(camera.distance, c.distance, 1e-3f) << what;
  }
}

TEST(Camera, PanScalesWithAspectHorizontallyOnly) {
  TCamera3D camera = shownCamera();
  camera.aspect = 2.0f;
  camera.keyPress('l');
  camera.keyPress('i');
  expectVec(camera.center, 0.03f * VisibleHeight100 * 2.0f, 0.03f * VisibleHeight100, 0, "center");
}

TEST(Camera, DragRotateWithoutModifier) {
  TCamera3D camera = shownCamera();
  camera.mouseMove(0.0f, 0.1f, 1, 0);  // rotateX by -0.5
  camera.refreshAxes();
  const float c = std::cos(-0.5f), s = std::sin(-0.5f);
  // Dragging down lifts the eye over the centre.
  expectVec(camera.eye, 0, -s * 100.0f, c * 100.0f, "eye");
  expectVec(camera.upHint, 0, c, s, "upHint");
  EXPECT_NEAR(camera.eye[1], 47.9426f, 1e-3f);
  EXPECT_NEAR(camera.farPlane, 400.0f, 1e-3f) << "rotation keeps the distance";

  TCamera3D sideways = shownCamera();
  sideways.mouseMove(0.1f, 0.0f, 1, 0);  // rotateY by -0.5
  sideways.refreshAxes();
  expectVec(sideways.eye, std::sin(-0.5f) * 100.0f, 0, std::cos(-0.5f) * 100.0f, "eye after horizontal drag");
  EXPECT_NEAR(sideways.eye[0], -47.9426f, 1e-3f) << "dragging right swings the eye to the left";
}

TEST(Camera, DragZoomPanAndNothing) {
  TCamera3D zoomed = shownCamera();
  zoomed.mouseMove(0.3f, 0.1f, 1, 1);
  EXPECT_NEAR(zoomed.distance, 110.51709f, 1e-3f) << "zoom follows dy only";
  zoomed.refreshAxes();
  EXPECT_NEAR(zoomed.farPlane, 2.0f * 110.51709f + 200.0f, 1e-3f);
  EXPECT_NEAR(zoomed.nearPlane, 0.11051709f, 1e-6f);

  TCamera3D panned = shownCamera();
  panned.mouseMove(0.1f, 0.2f, 1, 2);
  expectVec(panned.center, -0.1f * VisibleHeight100, 0.2f * VisibleHeight100, 0, "center after ctrl drag");

  TCamera3D idle = shownCamera();
  idle.mouseMove(0.1f, 0.2f, 1, 3);
  expectVec(idle.center, 0, 0, 0, "alt drag");
  EXPECT_EQ(idle.distance, 100.0f);
  idle.refreshAxes();
  expectVec(idle.eye, 0, 0, 100, "alt drag eye");

  TCamera3D otherButton = shownCamera();
  otherButton.mouseMove(0.1f, 0.2f, 2, 0);
  otherButton.refreshAxes();
  expectVec(otherButton.eye, 0, 0, 100, "button 2");
}

TEST(Camera, ResetKeepsRotation) {
  TCamera3D camera = shownCamera();
  camera.rotateY(0.7f);
  camera.keyPress('l');
  camera.keyPress('-');
  camera.refreshAxes();
  camera.keyPress('r');
  camera.refreshAxes();
  expectVec(camera.center, 0, 0, 0, "center");
  EXPECT_EQ(camera.distance, 100.0f);
  // rotateY(0.7) maps (0, 0, d) to (d sin 0.7, 0, d cos 0.7) through the rows of the rotation.
  expectVec(camera.eye, 100.0f * std::sin(0.7f), 0, 100.0f * std::cos(0.7f), "eye keeps the orbit");

  // A reset request is honoured at the next update.
  TCamera3D requested = shownCamera();
  requested.zoom(1.0f);
  requested.center = vec3(5, 5, 5);
  requested.resetRequested = true;
  requested.refreshAxes();
  expectVec(requested.eye, 0, 0, 100, "eye after a requested reset");
}

TEST(Camera, UpHintAlongLineOfSightGivesNoFrame) {
  TBaseCamera3D camera;
  camera.eye = vec3(0, 5, 0);
  camera.target = vec3(0, 0, 0);
  camera.upHint = vec3(0, 1, 0);
  camera.up = vec3(0.25f, 0.5f, 0.75f);
  EXPECT_FALSE(camera.refreshAxes());
  expectVec(camera.up, 0.25f, 0.5f, 0.75f, "up keeps its last value");
  EXPECT_EQ(camera.right.length2(), 0.0f);

  camera.upHint = vec3(0, 0, 1);
  EXPECT_TRUE(camera.refreshAxes());
  EXPECT_NEAR(camera.forward.length(), 1.0f, Tol);
  EXPECT_NEAR(camera.right.length(), 1.0f, Tol);
}

TEST(Camera, RotationsStayOrthonormal) {
  TCamera3D camera = shownCamera();
  for (int i = 0; i < 200; ++i) camera.mouseMove(0.013f * (i % 7), -0.011f * (i % 5), 1, 0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      float dot = 0.0f;
      for (int k = 0; k < 3; ++k) dot += camera.rotation[i][k] * camera.rotation[j][k];
      EXPECT_NEAR(dot, i == j ? 1.0f : 0.0f, 1e-3f) << "rows " << i << ", " << j;
    }
  camera.refreshAxes();
  EXPECT_NEAR((camera.eye - camera.center).length(), 100.0f, 0.1f);
}

TEST(ViewViewport, AspectAndZeroHeight) {
  View view;
  view.setViewport(0, 0, 800, 400);
  EXPECT_FLOAT_EQ(view.aspect, 2.0f);
  view.setViewport(0, 0, 800, 0);
  EXPECT_FLOAT_EQ(view.aspect, 2.0f) << "a collapsed view keeps the last aspect";
  EXPECT_TRUE(std::isfinite(view.aspect));
  EXPECT_EQ(view.viewport[3], 0);
  view.setViewport(0, 0, 300, 600);
  EXPECT_FLOAT_EQ(view.aspect, 0.5f);
}

TEST(Camera, FrameBoxShowsEveryCornerTightlyFromAnyDirection) {
  const vec3 lo(10.0f, -3.0f, 40.0f), hi(60.0f, 5.0f, 52.0f);
  const float tanY = std::tan(15.0f * 3.14159265f / 180.0f);
  for (float aspect : {0.5f, 1.0f, 2.2f})
    for (int turn = 0; turn < 6; ++turn) {
      TCamera3D camera = shownCamera();
      camera.aspect = aspect;
      camera.mouseMove(0.07f * turn, -0.05f * turn, 1, 0);
      camera.frameBox(lo, hi);
      camera.refreshAxes();
      expectVec(camera.center, 35.0f, 1.0f, 46.0f, "centre of the box");
      // Each corner's position across the line of sight over its depth, against the half-width
      // and half-height of the field of view: at most 1 (in sight), the largest near 1 (tight).
      float largest = 0.0f;
      for (int c = 0; c < 8; ++c) {
        const vec3 corner((c & 1) ? hi[0] : lo[0], (c & 2) ? hi[1] : lo[1], (c & 4) ? hi[2] : lo[2]);
        const vec3 p = corner - camera.eye;
        const float depth = -(p * camera.forward);
        ASSERT_GT(depth, camera.nearPlane) << "corner " << c << " in front of the eye";
        largest = std::max(largest, std::fabs(p * camera.right) / (depth * tanY * aspect));
        largest = std::max(largest, std::fabs(p * camera.up) / (depth * tanY));
      }
      EXPECT_LE(largest, 1.0f) << "aspect " << aspect << ", turn " << turn;
      EXPECT_GT(largest, 0.8f) << "aspect " << aspect << ", turn " << turn;
    }
  TCamera3D camera = shownCamera();
  camera.frameBox(vec3(1, 1, 1), vec3(0, 0, 0));  // no box: nothing changes
  EXPECT_EQ(camera.distance, 100.0f);
}
