#include "TFGLForm.h"

#include "DroppedFile.h"
#include "Node.h"
#include "PolygonStorageNode.h"
#include "base/Diagnostics.h"
#include "base/StatusOutput.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QWheelEvent>

#include <GL/gl.h>

#include <algorithm>

using namespace tessellor;

TFGLForm::TFGLForm(const QString& caption, QWidget* parent) : QOpenGLWidget(parent) {
  setWindowTitle(caption);
  setFormat(requestedFormat());
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
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

void TFGLForm::fitToMesh() {
  view.fitToScene();
  redraw();
}

void TFGLForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFGLForm::dropEvent(QDropEvent* event) {
  const QString file = droppedFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  emit fileDropped(file);
}

void TFGLForm::drawQualityLegend(QPainter& painter, const QRect& area, float smallest) {
  // A white card in the top right corner: title, smallest value, colour bar with its ticks.
  const int barWidth = 14, barHeight = std::min(150, std::max(40, area.height() / 3));
  const QRect card(area.right() - 8 - 112, area.top() + 8, 112, 40 + barHeight + 10);
  const QRect bar(card.right() - 10 - barWidth, card.top() + 40, barWidth, barHeight);
  QLinearGradient gradient(bar.bottomLeft(), bar.topLeft());
  for (int i = 0; i <= 12; ++i) {
    float rgb[3];
    PolygonStorageNode::qualityColour(static_cast<float>(i) / 12.0f, rgb);
    gradient.setColorAt(i / 12.0, QColor::fromRgbF(rgb[0], rgb[1], rgb[2]));
  }
  painter.fillRect(card, QColor(255, 255, 255, 225));
  painter.fillRect(bar, gradient);
  painter.setPen(Qt::black);
  painter.drawRect(bar.adjusted(0, 0, -1, -1));
  QFont font = painter.font();
  font.setPixelSize(11);
  painter.setFont(font);
  const QRect text = card.adjusted(6, 4, -6, 0);
  painter.drawText(QRect(text.left(), text.top(), text.width(), 14), Qt::AlignLeft, QStringLiteral("Scaled Jacobian"));
  painter.drawText(QRect(text.left(), text.top() + 15, text.width(), 14), Qt::AlignLeft,
                   QStringLiteral("smallest %1").arg(static_cast<double>(smallest), 0, 'f', 2));
  const char* const labels[3] = {"1", "0.5", "0 or less"};
  for (int i = 0; i < 3; ++i) {
    const int y = bar.top() + i * (bar.height() - 1) / 2;
    painter.drawLine(bar.left() - 4, y, bar.left(), y);
    painter.drawText(QRect(text.left(), y - 7, bar.left() - 6 - text.left(), 14), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromLatin1(labels[i]));
  }
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
  // A legend painted over the last frame may have left the painter's program and state behind.
  QOpenGLContext* context = QOpenGLContext::currentContext();
  if (context != nullptr) context->functions()->glUseProgram(0);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glDepthMask(GL_TRUE);
  glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  glEnable(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  view.paintGL(interactive);
  float smallest = 0.0f;
  if (view.rootNode != nullptr && view.rootNode->qualityLegend(smallest)) {
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    QPainter painter(this);
    drawQualityLegend(painter, rect(), smallest);
  }
  glFlush();
  redrawRequested = false;
}

void TFGLForm::showEvent(QShowEvent* event) {
  QOpenGLWidget::showEvent(event);
  view.setOwner(this);
  view.reset();
  // A window shown again over a mesh frames it, as when the mesh was opened.
  view.fitToScene();
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
  if (text == QLatin1String("f")) {
    fitToMesh();
    return;
  }
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
