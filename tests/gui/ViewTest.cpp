// The pieces of the window without OpenGL: camera navigation, the view window's events, the log
// and status controls, and the small conversions (offscreen platform).
#include "MyOutput.h"
#include "PolygonStorageNode.h"
#include "QtTestApplication.h"
#include "TCamera3D.h"
#include "TFGLForm.h"
#include "TextConversion.h"
#include "UserDialogs.h"
#include "WindowTiling.h"
#include "base/TaskClock.h"
#include "support/TestMeshes.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

using namespace tessellor;

namespace {

// Visible height at the centre for distance 100 and a 30 degree field of view: 200 tan 15 deg.
const float H = 53.589838f;

void expectVec(const vec3& v, float x, float y, float z, const std::string& what) {
  EXPECT_NEAR(v[0], x, 1e-3f) << what;
  EXPECT_NEAR(v[1], y, 1e-3f) << what;
  EXPECT_NEAR(v[2], z, 1e-3f) << what;
}

}  // namespace

// Keys and drags (dx, dy as fractions of the window; mode 0 orbit, 1 zoom, 2 pan, 3 nothing;
// only button 1 moves) from the state after show: the centre, the distance and the eye after them.
TEST(Camera, KeysAndDragsFromTheStateAfterShow) {
  const float p = 0.03f * H, c = std::cos(-0.5f), s = std::sin(-0.5f);
  const struct {
    const char* What;
    char Key;
    float Dx, Dy;
    int Button, Mode;
    vec3 Center;
    float Distance;
  } cases[] = {
      {"show", 0, 0, 0, 0, 0, vec3(0, 0, 0), 100},
      {"i", 'i', 0, 0, 0, 0, vec3(0, p, 0), 100},
      {"j", 'j', 0, 0, 0, 0, vec3(-p, 0, 0), 100},
      {"k", 'k', 0, 0, 0, 0, vec3(0, -p, 0), 100},
      {"l", 'l', 0, 0, 0, 0, vec3(p, 0, 0), 100},
      {"z: dolly along forward", 'z', 0, 0, 0, 0, vec3(0, 0, 30), 100},
      {"h", 'h', 0, 0, 0, 0, vec3(0, 0, -30), 100},
      {"+", '+', 0, 0, 0, 0, vec3(0, 0, 0), 100 * std::exp(-0.5f)},
      {"-", '-', 0, 0, 0, 0, vec3(0, 0, 0), 100 * std::exp(0.5f)},
      {"shift: zoom by dy only", 0, 0.3f, 0.1f, 1, 1, vec3(0, 0, 0), 110.51709f},
      {"ctrl: pan against the pointer", 0, 0.1f, 0.2f, 1, 2, vec3(-0.1f * H, 0.2f * H, 0), 100},
      {"alt: nothing", 0, 0.1f, 0.2f, 1, 3, vec3(0, 0, 0), 100},
      {"button 2: nothing", 0, 0.1f, 0.2f, 2, 0, vec3(0, 0, 0), 100},
  };
  for (const auto& k : cases) {
    TCamera3D camera;
    camera.reset();
    camera.refreshAxes();
    k.Key ? camera.keyPress(k.Key) : camera.mouseMove(k.Dx, k.Dy, k.Button, k.Mode);
    camera.refreshAxes();
    expectVec(camera.center, k.Center[0], k.Center[1], k.Center[2], k.What);
    EXPECT_NEAR(camera.distance, k.Distance, 1e-3f) << k.What;
    expectVec(camera.eye - camera.center, 0, 0, k.Distance, k.What);
    EXPECT_NEAR(camera.farPlane, 2 * k.Distance + 200, 1e-3f) << k.What;
  }
  // Dragging down lifts the eye over the centre; dragging right swings it to the left.
  TCamera3D camera;
  camera.reset();
  camera.mouseMove(0.0f, 0.1f, 1, 0);
  camera.refreshAxes();
  expectVec(camera.eye, 0, -s * 100, c * 100, "drag down");
  camera = TCamera3D();
  camera.mouseMove(0.1f, 0.0f, 1, 0);
  camera.keyPress('r');  // resets centre and distance, keeps the orbit
  camera.refreshAxes();
  expectVec(camera.eye, s * 100, 0, c * 100, "drag right, then r: the orbit stays");
}

// The log frame; progress painted at once (without the event loop) and only when it changes;
// beginTask shows the task and the red busy panel and resets the bar; a second begin restarts the
// clock; finishOpenTask closes only a running task.
TEST(MyOutput, TaskFrameStatusAndProgress) {
  qtTestApplication();
  QWidget window;
  auto* memo = new QPlainTextEdit(&window);
  auto* label = new QLabel(QStringLiteral("Status"), &window);
  auto* busy = new QWidget(&window);
  auto* progress = new QProgressBar(&window);
  progress->setGeometry(30, 330, 209, 20);
  window.resize(400, 400);
  window.show();
  QCoreApplication::processEvents();
  MyOutput output;
  output.attach(memo, label, busy, progress);
  struct Paints : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      Count += event->type() == QEvent::Paint;
      return false;
    }
  } paints;
  progress->installEventFilter(&paints);
  output.setProgress(37);
  const int painted = paints.Count;
  output.setProgress(37);
  EXPECT_TRUE(painted >= 1 && paints.Count == painted) << "painted at once, and the same value again paints nothing";
  output.finishOpenTask();
  EXPECT_TRUE(memo->toPlainText().isEmpty()) << "nothing to close";
  output.beginTask("Voxelization");
  output.StartTick = TaskClock::ticks() - 500000u;  // as if the first task started long ago
  output.beginTask("Marching");
  EXPECT_EQ(label->text(), QStringLiteral("Marching"));
  EXPECT_EQ(busy->palette().color(QPalette::Window), QColor(Qt::red));
  EXPECT_EQ(progress->value(), 0);
  output.writeLine("");
  output.setProgress(50);
  output.finishOpenTask();
  EXPECT_EQ(label->text(), QString());
  EXPECT_EQ(busy->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
  EXPECT_TRUE(progress->value() == 0 && !output.isBusy());
  const QStringList log = memo->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(log.size(), 7);
  EXPECT_EQ(log[3] + "|" + log[4] + "|", QStringLiteral("Marching||")) << "an empty line is a line";
  int ms = -1;
  ASSERT_EQ(std::sscanf(log[5].toLatin1().constData(), "Duration: %d ms", &ms), 1) << log[5].toStdString();
  EXPECT_LT(ms, 500000) << "measured from the second beginTask";
  // Calls from a worker thread touch no control there, and arrive on the GUI thread in order.
  memo->clear();
  std::thread worker([&output] {
    output.beginTask("Worker");
    output.writeLine("first");
    output.setProgress(40);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    output.endTask();
  });
  worker.join();
  EXPECT_TRUE(memo->toPlainText().isEmpty());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
  const QStringList later = memo->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(later.size(), 5);
  EXPECT_EQ(later[1] + "|" + later[2], QStringLiteral("Worker|first"));
  EXPECT_GE(later[3].mid(10).section(QLatin1Char(' '), 0, 0).toInt(), 25) << "the task's time on the worker";
  EXPECT_FALSE(output.isBusy());
  output.attach(nullptr, nullptr, nullptr, nullptr);
}

TEST(SmallPieces, ConversionsTilingThinningAndFilters) {
  EXPECT_EQ(TextConversion::toInteger(QStringLiteral("-5")), -5);
  EXPECT_FLOAT_EQ(TextConversion::toFloat(QStringLiteral("1e-3")), 0.001f);
  for (const char* bad : {"abc", "", "1.5", "12abc", "99999999999"})
    EXPECT_THROW(TextConversion::toInteger(QString::fromLatin1(bad)), ConversionError) << bad;
  for (const char* bad : {"abc", "", "0,5", "nan", "inf", "1e60"})
    EXPECT_THROW(TextConversion::toFloat(QString::fromLatin1(bad)), ConversionError) << bad;
  EXPECT_EQ(TextConversion::formatGeneral4(0.3f), QStringLiteral("0.3")) << "the float nearest 0.3 shows as 0.3";
  EXPECT_EQ(TextConversion::formatGeneral4(0.123456f), QStringLiteral("0.1235"));
  EXPECT_FLOAT_EQ(TextConversion::toFloat(TextConversion::formatGeneral4(12345.0f)), 12350.0f);
  // Halves round toward zero on odd sizes.
  const WindowTiling odd = WindowTiling::forWorkArea(1367, 767);
  EXPECT_EQ(odd.mainWindow, QRect(0, 0, 683, 767));
  EXPECT_EQ(odd.outputView, QRect(683, 383, 683, 383));
  // At most about 5000 faces while dragging; a thickness of 0 draws one pixel wide.
  for (auto [polygons, step] : {std::pair<std::size_t, int>{4999, 1}, {5000, 2}, {10000, 3}, {15000, 4}})
    EXPECT_EQ(PolygonStorageNode::faceStep(polygons), step) << polygons;
  EXPECT_EQ(PolygonStorageNode::effectiveLineWidth(0.0f), 1.0f);
  // The node's bounds cover the used vertices as drawn (scaled).
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::cube(2.0f, 4.0f));
  mesh.addVertex(Vertex{});
  PolygonStorageNode node;
  node.setStorage(&mesh);
  node.scale = vec3(1.0f, 2.0f, 1.0f);
  vec3 lo, hi;
  ASSERT_TRUE(node.bounds(lo, hi));
  EXPECT_TRUE(lo[0] == 2.0f && hi[1] == 8.0f) << "the unused vertex at the origin is not framed";
  EXPECT_EQ(QtUserDialogs::nameFilters(QStringLiteral("*.pc|*.pc|*.obj|*.obj")),
            (QStringList{"*.pc (*.pc)", "*.obj (*.obj)"}));
  EXPECT_EQ(TFGLForm::dragMode(Qt::ShiftModifier | Qt::ControlModifier), 2) << "the last test that holds wins";
  EXPECT_EQ(TFGLForm::dragMode(Qt::ControlModifier | Qt::AltModifier), 3);
  EXPECT_FLOAT_EQ(TFGLForm::wheelStep(Qt::AltModifier | Qt::ShiftModifier), 0.01f) << "Alt first";
}
