#include "TFGLForm.h"

#include "base/Diagnostics.h"
#include "base/StatusOutput.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <GL/gl.h>

using namespace tessellor;

TFGLForm::TFGLForm(const QString& caption, QWidget* parent) : QOpenGLWidget(parent) {
  setWindowTitle(caption);
  setFormat(requestedFormat());
  setFocusPolicy(Qt::StrongFocus);
  resize(667, 494);
  view.setErrorReporter([this](const std::string& message) { reportError(message); });
}

QSurfaceFormat TFGLForm::requestedFormat() {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setVersion(2, 1);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  format.setRedBufferSize(8);
  format.setGreenBufferSize(8);
  format.setBlueBufferSize(8);
  format.setAlphaBufferSize(0);
  format.setDepthBufferSize(32);  // the window system falls back to what it has (usually 24)
  format.setStencilBufferSize(0);
  return format;
}

void TFGLForm::setStatusOutput(StatusOutput* output) { Output = output; }

void TFGLForm::reportError(const std::string& message) {
  // Logged rather than shown in a box: a box opened while painting would come back every frame.
  if (Output != nullptr)
    Output->writeLine(message.c_str());
  else
    Diagnostics::printf("%s\n", message.c_str());
}

void TFGLForm::redraw() {
  redrawRequested = true;
  if (isVisible()) repaint();
}

void TFGLForm::paintEvent(QPaintEvent* event) {
  QOpenGLWidget::paintEvent(event);
  // Without a rendering context the window stays open and draws nothing; say so once.
  if (!isValid() && !contextFailureReported) {
    contextFailureReported = true;
    reportError(":-)~ hrc == NULL");
  }
}

void TFGLForm::resizeGL(int w, int h) {
  const qreal ratio = devicePixelRatioF();
  view.setViewport(0, 0, static_cast<int>(w * ratio), static_cast<int>(h * ratio));
  redrawRequested = true;
}

void TFGLForm::paintGL() {
  glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  view.paintGL(interactive);
  glFlush();
  redrawRequested = false;
}

void TFGLForm::showEvent(QShowEvent* event) {
  QOpenGLWidget::showEvent(event);
  view.setOwner(this);
  view.reset();
}

void TFGLForm::updateCursor(Qt::KeyboardModifiers modifiers) {
  setCursor((modifiers & Qt::ControlModifier) ? Qt::SizeAllCursor : Qt::ArrowCursor);
}

void TFGLForm::mousePressEvent(QMouseEvent* event) {
  interactive = true;
  dragging = true;
  lastX = event->position().toPoint().x();
  lastY = event->position().toPoint().y();
  updateCursor(event->modifiers());
}

void TFGLForm::mouseReleaseEvent(QMouseEvent* event) {
  dragging = false;
  interactive = false;
  updateCursor(event->modifiers());
  redraw();
}

int TFGLForm::dragMode(Qt::KeyboardModifiers modifiers) {
  int mode = 0;
  if (modifiers & Qt::ShiftModifier) mode = 1;
  if (modifiers & Qt::ControlModifier) mode = 2;
  if (modifiers & Qt::AltModifier) mode = 3;
  return mode;
}

void TFGLForm::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging) return;
  const QPoint at = event->position().toPoint();
  const int dx = at.x() - lastX;
  const int dy = at.y() - lastY;
  updateCursor(event->modifiers());
  // Fractions of the window's outer size; a collapsed window moves nothing.
  const QRect outer = frameGeometry();
  const float width = static_cast<float>(outer.width() > 0 ? outer.width() : 1);
  const float height = static_cast<float>(outer.height() > 0 ? outer.height() : 1);
  view.mouseMove(static_cast<float>(dx) / width, static_cast<float>(dy) / height, 1, dragMode(event->modifiers()));
  lastX = at.x();
  lastY = at.y();
  if (isVisible()) repaint();
}

float TFGLForm::wheelStep(Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::AltModifier) return 0.01f;
  if (modifiers & Qt::ShiftModifier) return 1.0f;
  return 0.1f;
}

void TFGLForm::wheelEvent(QWheelEvent* event) {
  // With Alt held some window systems turn the wheel into a horizontal one.
  const QPoint delta = event->angleDelta();
  const int amount = delta.y() != 0 ? delta.y() : delta.x();
  if (amount == 0) {
    event->ignore();
    return;
  }
  const float step = wheelStep(event->modifiers());
  view.zoom(amount < 0 ? -step : step);
  event->accept();
  redraw();
}

void TFGLForm::keyPressEvent(QKeyEvent* event) {
  updateCursor(event->modifiers());
  const QString text = event->text();
  if (text.size() == 1 && text[0].unicode() < 128) {
    view.keyPress(static_cast<char>(text[0].unicode()));
    redraw();
    return;
  }
  QOpenGLWidget::keyPressEvent(event);
}

void TFGLForm::keyReleaseEvent(QKeyEvent* event) {
  updateCursor(event->modifiers());
  QOpenGLWidget::keyReleaseEvent(event);
}
