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

// A flat grid of columns x rows squares, two triangles each, facing the eye, around the origin.
void makeGrid(PolygonStorage& mesh, int columns, int rows, float cell) {
  mesh.clear();
  const float x0 = -columns * cell / 2, y0 = -rows * cell / 2;
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= columns; ++i) {
      Vertex v;
      v.pos = V3{x0 + i * cell, y0 + j * cell, 0.0f};
      mesh.addVertex(v);
    }
  auto id = [columns](int i, int j) { return j * (columns + 1) + i; };
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      mesh.addTriangle(id(i, j), id(i + 1, j), id(i + 1, j + 1));
      mesh.addTriangle(id(i, j), id(i + 1, j + 1), id(i, j + 1));
    }
  mesh.buildIndex();
  mesh.computeMidpoints();
}

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

TEST_F(RenderTest, ContextIsCompatibilityProfile) {
  const QSurfaceFormat format = form->context()->format();
  EXPECT_NE(format.profile(), QSurfaceFormat::CoreProfile);
  EXPECT_GE(format.depthBufferSize(), 16);
}

TEST_F(RenderTest, NoRootNodeDrawsOnlyTheAxesOnWhite) {
  const QImage image = frame();
  ASSERT_FALSE(image.isNull());
  const PixelCounts c = count(image);
  EXPECT_GT(c.white, image.width() * image.height() * 99 / 100);
  EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
}

TEST_F(RenderTest, FacesBlueOutlinesBlack) {
  form->getView().setRootNode(&node);
  const QImage image = frame();
  const PixelCounts c = count(image);
  const QColor centre = image.pixelColor(image.width() / 2 + 7, image.height() / 2 + 5);
  EXPECT_TRUE(isFace(centre)) << "the face in front is lit blue";
  EXPECT_GT(centre.blue(), 180) << "lit from the eye's side";
  EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white)) << "background";
  EXPECT_GT(c.blue, 1000);
  EXPECT_GT(c.black, 50) << "polygon outlines";
  EXPECT_EQ(c.red, 0) << "no feature points by default";

  node.setDrawLines(false);
  EXPECT_LT(count(frame()).black, c.black / 4) << "outlines switched off";
}

TEST_F(RenderTest, FeaturePointsInRed) {
  form->getView().setRootNode(&node);
  for (Vertex& v : mesh.Vertices) v.attr = 1;
  EXPECT_EQ(count(frame()).red, 0) << "feature points are off by default";
  node.setDrawAttrVertices(true);
  EXPECT_GT(count(frame()).red, 8) << "the front corners as 5-pixel points";
}

TEST_F(RenderTest, HiddenAndEmptyDrawNothing) {
  form->getView().setRootNode(&node);
  node.setVisible(false);
  EXPECT_EQ(count(frame()).blue, 0);
  node.setVisible(true);
  PolygonStorage empty;
  node.setStorage(&empty);
  const PixelCounts c = count(frame());
  EXPECT_EQ(c.blue, 0);
  EXPECT_EQ(c.black, 0);
}

TEST_F(RenderTest, ZeroLineThicknessStillDrawsOutlines) {
  int errors = 0;
  form->getView().setErrorReporter([&](const std::string&) { ++errors; });
  form->getView().setRootNode(&node);
  node.setLineWidth(0.0f);
  EXPECT_GT(count(frame()).black, 50);
  EXPECT_EQ(errors, 0) << "a width of 0 is an OpenGL error";
}

TEST_F(RenderTest, KeysMoveTheCamera) {
  form->getView().setRootNode(&node);
  const int before = count(frame()).blue;
  form->getView().keyPress('-');  // farther away: the cube looks smaller
  form->getView().keyPress('-');
  EXPECT_LT(count(frame()).blue, before / 2);
}

TEST_F(RenderTest, OpenGlErrorIsReportedOnce) {
  int reports = 0;
  std::string text;
  form->getView().setErrorReporter([&](const std::string& message) {
    ++reports;
    text = message;
  });
  struct Faulty : Node {
    void draw(bool) override { glEnable(0xFFFF); }  // an invalid enum
    void setDefaults() override {}
  } faulty;
  form->getView().setRootNode(&faulty);
  frame();
  frame();
  frame();
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(text, "end of View::paintGL:invalid enumerant");
}

TEST_F(RenderTest, DraggingThinsOutTheFaces) {
  makeGrid(mesh, 100, 50, 0.4f);  // 10000 triangles: every third face while a button is held
  ASSERT_EQ(mesh.Polygons.size(), 10000u);
  node.setDrawLines(false);
  form->getView().setRootNode(&node);
  const int full = count(frame()).blue;
  ASSERT_GT(full, 5000);
  form->interactive = true;
  const int thinned = count(frame()).blue;
  form->interactive = false;
  EXPECT_GT(thinned, full / 5) << "a third of the faces";
  EXPECT_LT(thinned, full / 2) << "a third of the faces";
  EXPECT_EQ(count(frame()).blue, full) << "released: all faces again";
}

TEST_F(RenderTest, HeadlightShadesACurvedSurface) {
  // A sphere seen from outside: per-vertex normals under a headlight give a gradient of face
  // colours, brightest where the surface faces the eye.
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

TEST_F(RenderTest, QualityColoursAndLegend) {
  // A square (scaled Jacobian 1) and a parallelogram of 45 degrees (0.71) beside it.
  testmeshes::build(
      mesh, {"quads",
             {{-28, -8, 0}, {-12, -8, 0}, {-12, 8, 0}, {-28, 8, 0}, {4, -8, 0}, {16, -8, 0}, {32, 8, 0}, {20, 8, 0}},
             {{0, 1, 2, 3}, {4, 5, 6, 7}},
             0});
  form->resize(480, 400);  // room for the legend beside the mesh
  form->getView().setRootNode(&node);
  const QRect legend(form->width() - 80, 0, 80, 60);
  auto nonWhiteIn = [](const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (image.pixelColor(x, y) != QColor(Qt::white)) ++count;
    return count;
  };
  EXPECT_EQ(nonWhiteIn(frame(), legend), 0) << "no legend without quality colours";
  node.setColourByQuality(true);
  const QImage image = frame();
  // The frame shows 53.6 units from top to bottom; the square's centre is 20 units left of the
  // middle, and 2.7 units below the middle the parallelogram runs from 9.3 to 21.3 units right.
  const float unit = static_cast<float>(image.height()) / 53.589838f;
  const QColor square = image.pixelColor(image.width() / 2 - static_cast<int>(20 * unit), image.height() / 2);
  EXPECT_GT(square.blue(), square.red() + 60) << "scaled Jacobian 1 is blue";
  const QColor slanted = image.pixelColor(image.width() / 2 + static_cast<int>(15 * unit),
                                          image.height() / 2 + static_cast<int>(2.7f * unit));
  EXPECT_GT(slanted.green(), slanted.blue() + 30) << "0.71 is green";
  EXPECT_GT(nonWhiteIn(image, legend), 300) << "the legend in the top right corner";
}
