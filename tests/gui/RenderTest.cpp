// Draws meshes through a real OpenGL context (run under a virtual X server with Mesa) and checks
// the pixels: white background, lit blue faces, black outlines, red feature points, faces coloured
// by quality with their legend.
#include "PolygonStorageNode.h"
#include "QtTestApplication.h"
#include "TFGLForm.h"
#include "mesh/PolygonStorage.h"
#include "support/TestMeshes.h"

#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLContext>
#include <QSet>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <memory>

using namespace tessellor;

namespace {

struct PixelCounts {
  int white = 0, blue = 0, black = 0, red = 0;
};

// Faces are drawn in a light blue, so lit they stay blue above red and green.
bool isFace(const QColor& p) { return p.blue() > 120 && p.blue() > p.red() + 40 && p.blue() > p.green() + 10; }

PixelCounts count(const QImage& image) {
  PixelCounts c;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (p.red() > 240 && p.green() > 240 && p.blue() > 240)
        ++c.white;
      else if (isFace(p))
        ++c.blue;
      else if (p.red() < 40 && p.green() < 40 && p.blue() < 40)
        ++c.black;
      else if (p.red() > 200 && p.green() < 60 && p.blue() < 60)
        ++c.red;
    }
  return c;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qtTestApplication();
    // Windowless platforms cannot show an OpenGL window (and some crash trying).
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
      GTEST_SKIP() << "no OpenGL windows on the " << platform.toStdString() << " platform";
    QOpenGLContext probe;
    probe.setFormat(TFGLForm::requestedFormat());
    if (!probe.create()) GTEST_SKIP() << "no OpenGL context on this display";
    form = std::make_unique<TFGLForm>();
    form->resize(240, 200);
    form->show();
    QElapsedTimer timer;
    timer.start();
    while (!form->isValid() && timer.elapsed() < 5000) QCoreApplication::processEvents();
    if (!form->isValid() || form->context() == nullptr) GTEST_SKIP() << "no OpenGL context on this display";
    testmeshes::build(mesh, testmeshes::cube(-15.0f, 15.0f));  // quads counter-clockwise from outside
    node.setStorage(&mesh);
  }

  QImage frame() { return form->grabFramebuffer(); }

  std::unique_ptr<TFGLForm> form;
  PolygonStorage mesh;
  PolygonStorageNode node;
};

}  // namespace

// White background, blue lit faces, black outlines (also at thickness 0, without an OpenGL error),
// red feature points on request; nothing for a hidden or empty mesh; the keys move the camera.
TEST_F(RenderTest, FramesShowWhatTheNodeDraws) {
  const QSurfaceFormat format = form->context()->format();
  EXPECT_NE(format.profile(), QSurfaceFormat::CoreProfile);
  EXPECT_GE(format.depthBufferSize(), 16);
  QImage image = frame();
  EXPECT_GT(count(image).white, image.width() * image.height() * 99 / 100) << "no root node: only the axes";
  int errors = 0;
  form->getView().setErrorReporter([&](const std::string&) { ++errors; });
  form->getView().setRootNode(&node);
  image = frame();
  const PixelCounts c = count(image);
  const QColor centre = image.pixelColor(image.width() / 2 + 7, image.height() / 2 + 5);
  EXPECT_TRUE(isFace(centre) && centre.blue() > 180) << "the face in front is lit blue from the eye's side";
  EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
  EXPECT_GT(c.blue, 1000);
  EXPECT_GT(c.black, 50) << "polygon outlines";
  EXPECT_EQ(c.red, 0) << "no feature points by default";
  node.setLineWidth(0.0f);
  EXPECT_GT(count(frame()).black, 50) << "thickness 0 still draws outlines";
  node.setDrawLines(false);
  EXPECT_LT(count(frame()).black, c.black / 4) << "outlines switched off";
  for (Vertex& v : mesh.Vertices) v.attr = 1;
  EXPECT_EQ(count(frame()).red, 0) << "feature points are off by default";
  node.setDrawAttrVertices(true);
  EXPECT_GT(count(frame()).red, 8) << "the front corners as 5-pixel points";
  form->getView().keyPress('-');  // farther away: the cube looks smaller
  form->getView().keyPress('-');
  EXPECT_LT(count(frame()).blue, c.blue / 2);
  node.setVisible(false);
  EXPECT_EQ(count(frame()).blue, 0);
  node.setVisible(true);
  PolygonStorage empty;
  node.setStorage(&empty);
  EXPECT_EQ(count(frame()).blue + count(frame()).black, 0);
  EXPECT_EQ(errors, 0) << "no OpenGL error on the way";
}

// A sphere seen from outside: per-vertex normals under a headlight give a gradient of face colours,
// brightest where the surface faces the eye.
TEST_F(RenderTest, HeadlightShadesACurvedSurface) {
  testmeshes::build(mesh, testmeshes::icosphere({0, 0, 0}, 20.0f, 3));
  node.setDrawLines(false);
  form->getView().setRootNode(&node);
  const QImage image = frame();
  QSet<QRgb> shades;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (isFace(image.pixelColor(x, y))) shades.insert(image.pixel(x, y));
  EXPECT_GT(shades.size(), 30) << "more than a handful of distinct face colours";
  const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
  const QColor rim = image.pixelColor(image.width() / 2, image.height() / 2 - 40);
  EXPECT_GT(middle.blue() + middle.green(), rim.blue() + rim.green()) << "the rim turns away from the light";
}
