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

// A square (scaled Jacobian 1) and a parallelogram of 45 degrees (0.71) beside it: blue and green,
// with the legend in the top right corner only when colouring by quality.
TEST_F(RenderTest, QualityColoursAndLegend) {
  testmeshes::build(
      mesh, {"quads",
             {{-28, -8, 0}, {-12, -8, 0}, {-12, 8, 0}, {-28, 8, 0}, {4, -8, 0}, {16, -8, 0}, {32, 8, 0}, {20, 8, 0}},
             {{0, 1, 2, 3}, {4, 5, 6, 7}},
             0});
  form->resize(480, 400);
  form->getView().setRootNode(&node);
  const QRect legend(form->width() - 80, 0, 80, 60);
  auto nonWhiteIn = [&legend](const QImage& image) {
    int count = 0;
    for (int y = legend.top(); y <= legend.bottom(); ++y)
      for (int x = legend.left(); x <= legend.right(); ++x) count += image.pixelColor(x, y) != QColor(Qt::white);
    return count;
  };
  EXPECT_EQ(nonWhiteIn(frame()), 0);
  node.setColourByQuality(true);
  const QImage image = frame();
  // 53.6 units from top to bottom: the square's centre 20 units left of the middle; 2.7 units
  // below the middle the parallelogram runs from 9.3 to 21.3 units right.
  const float unit = static_cast<float>(image.height()) / 53.589838f;
  const QColor square = image.pixelColor(image.width() / 2 - static_cast<int>(20 * unit), image.height() / 2);
  EXPECT_GT(square.blue(), square.red() + 60);
  const QColor slanted =
      image.pixelColor(image.width() / 2 + static_cast<int>(15 * unit), image.height() / 2 + static_cast<int>(2.7f * unit));
  EXPECT_GT(slanted.green(), slanted.blue() + 30);
  EXPECT_GT(nonWhiteIn(image), 300);
}
