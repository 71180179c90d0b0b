// Mouse, wheel and key events of a view window reach its camera with the right mode and scale.
// The window is not shown, so no OpenGL context is needed.
#include "PolygonStorageNode.h"
#include "QtTestApplication.h"
#include "TFGLForm.h"
#include "support/TestMeshes.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const float VisibleHeight100 = 53.589838f;  // 200 tan 15 deg

class FormEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qtTestApplication();
    form = std::make_unique<TFGLForm>();
    ASSERT_EQ(form->size(), QSize(667, 494)) << "the default client size";
    View& view = form->getView();
    view.reset();
    view.refreshAxes();
  }

  void mouse(QEvent::Type type, int x, int y, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(x, y), QPointF(x, y), Qt::LeftButton, held, modifiers);
    QCoreApplication::sendEvent(form.get(), &event);
  }

  // Press at (100, 100), move by (dx, dy) with the modifiers, release.
  void drag(int dx, int dy, Qt::KeyboardModifiers modifiers) {
    mouse(QEvent::MouseButtonPress, 100, 100, modifiers);
    EXPECT_TRUE(form->isDragging());
    EXPECT_TRUE(form->isInteractive()) << "faces are thinned while the button is held";
    mouse(QEvent::MouseMove, 100 + dx, 100 + dy, modifiers);
    mouse(QEvent::MouseButtonRelease, 100 + dx, 100 + dy, modifiers);
    EXPECT_FALSE(form->isDragging());
    EXPECT_FALSE(form->isInteractive());
  }

  bool wheel(int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form.get(), &event);
    return event.isAccepted();
  }

  void key(int code, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           QEvent::Type type = QEvent::KeyPress) {
    QKeyEvent event(type, code, modifiers, text);
    QCoreApplication::sendEvent(form.get(), &event);
  }

  View& view() { return form->getView(); }

  std::unique_ptr<TFGLForm> form;
};

}  // namespace

TEST_F(FormEventsTest, DragModes) {
  // Shift: zoom by dy as a fraction of the window height.
  drag(30, 49, Qt::ShiftModifier);
  EXPECT_NEAR(view().distance, 100.0f * std::exp(49.0f / 494.0f), 1e-3f);
  EXPECT_EQ(view().center.length2(), 0.0f);

  // Ctrl: pan, the centre follows the pointer's opposite horizontally.
  view().reset();
  drag(67, 0, Qt::ControlModifier);
  EXPECT_NEAR(view().center[0], -(67.0f / 667.0f) * VisibleHeight100, 1e-3f);
  EXPECT_NEAR(view().center[1], 0.0f, 1e-5f);

  // Alt: nothing, even with the others held.
  view().reset();
  drag(50, 50, Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(view().distance, 100.0f);
  EXPECT_EQ(view().center.length2(), 0.0f);

  // No modifier: orbit; a vertical drag of half the height turns by 2.5 radians.
  drag(0, 247, Qt::NoModifier);
  view().refreshAxes();
  EXPECT_NEAR(view().eye[1], -100.0f * std::sin(-2.5f), 1e-2f);
  EXPECT_NEAR(view().eye[2], 100.0f * std::cos(-2.5f), 1e-2f);
}

TEST_F(FormEventsTest, MoveWithoutButtonDoesNothing) {
  mouse(QEvent::MouseMove, 300, 300);
  view().refreshAxes();
  EXPECT_NEAR(view().eye[2], 100.0f, 1e-4f);
  EXPECT_FALSE(form->isDragging());
}

TEST_F(FormEventsTest, CtrlShowsTheMoveCursor) {
  mouse(QEvent::MouseButtonPress, 5, 5, Qt::ControlModifier);
  EXPECT_EQ(form->cursor().shape(), Qt::SizeAllCursor);
  mouse(QEvent::MouseButtonRelease, 5, 5);
  EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
  // Window systems report the modifiers held before a modifier key's own event; Qt's key event
  // turns that into the state after it.
  key(Qt::Key_Control, QString(), Qt::NoModifier);
  EXPECT_EQ(form->cursor().shape(), Qt::SizeAllCursor);
  key(Qt::Key_Control, QString(), Qt::ControlModifier, QEvent::KeyRelease);
  EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FormEventsTest, WheelSteps) {
  EXPECT_TRUE(wheel(-120, Qt::NoModifier));
  EXPECT_NEAR(view().distance, 100.0f * std::exp(-0.1f), 1e-3f) << "wheel down zooms in by 0.1";
  view().reset();
  wheel(-120, Qt::ShiftModifier);
  EXPECT_NEAR(view().distance, 100.0f / std::exp(1.0f), 1e-3f) << "Shift: a factor of e";
  view().reset();
  wheel(120, Qt::ShiftModifier);
  EXPECT_NEAR(view().distance, 100.0f * std::exp(1.0f), 1e-2f);
  view().reset();
  wheel(120, Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_NEAR(view().distance, 100.0f * std::exp(0.01f), 1e-3f) << "Alt wins over Shift";
}

TEST_F(FormEventsTest, KeysAsCharacters) {
  key(Qt::Key_I, QStringLiteral("i"));
  EXPECT_NEAR(view().center[1], 0.03f * VisibleHeight100, 1e-4f);
  key(Qt::Key_Plus, QStringLiteral("+"));
  EXPECT_NEAR(view().distance, 100.0f * std::exp(-0.5f), 1e-3f);
  key(Qt::Key_Q, QStringLiteral("q"));
  key(Qt::Key_Left, QString());
  EXPECT_NEAR(view().center[0], 0.0f, 1e-6f);
  key(Qt::Key_R, QStringLiteral("r"));
  EXPECT_EQ(view().distance, 100.0f);
  EXPECT_EQ(view().center.length2(), 0.0f);

  // f frames the drawn mesh (here far from the origin); r still goes back to the origin.
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::cube(100.0f, 110.0f));
  PolygonStorageNode node;
  node.setStorage(&mesh);
  view().setRootNode(&node);
  key(Qt::Key_F, QStringLiteral("f"));
  EXPECT_NEAR(view().center[0], 105.0f, 1e-3f);
  EXPECT_NEAR(view().center[2], 105.0f, 1e-3f);
  EXPECT_LT(view().distance, 60.0f);
  key(Qt::Key_R, QStringLiteral("r"));
  EXPECT_EQ(view().center.length2(), 0.0f);
}
