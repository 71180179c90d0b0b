#pragma once

#include "View.h"

#include <QOpenGLWidget>

namespace tessellor {
class StatusOutput;
}
class QPainter;

using namespace tessellor;

// A top-level OpenGL window showing one View, navigated with mouse, wheel and keys.
class TFGLForm : public QOpenGLWidget {
  Q_OBJECT

 public:
  explicit TFGLForm(const QString& caption = QStringLiteral("Main"), QWidget* parent = nullptr);

  // Double-buffered RGBA with 24 colour bits, a depth buffer and a compatibility context, so the
  // fixed-function pipeline and GLU are available.
  static QSurfaceFormat requestedFormat();

  // Requests a frame and draws it at once when the window is on screen.
  void redraw();
  // "Fit to Mesh" (key f): frames the mesh the view shows, keeping the rotation, and redraws.
  void fitToMesh();
  // Where OpenGL errors of this window are logged (once).
  void setStatusOutput(StatusOutput* output);

  View& getView() { return view; }
  bool isDragging() const { return dragging; }
  bool isInteractive() const { return interactive; }

  // Wheel step: 0.01 with Alt, else 1.0 with Shift, else 0.1.
  static float wheelStep(Qt::KeyboardModifiers modifiers);
  // Drag mode: 0 rotate, 1 (Shift) zoom, 2 (Ctrl) pan, 3 (Alt) nothing; the last held wins.
  static int dragMode(Qt::KeyboardModifiers modifiers);
  // The legend of quality colours, drawn over the top right corner of a frame.
  static void drawQualityLegend(QPainter& painter, const QRect& area, float smallest);

  bool dragging = false;
  bool interactive = false;
  int lastX = 0;
  int lastY = 0;
  bool redrawRequested = false;
  View view;

 protected:
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 signals:
  // A file was dropped on the window.
  void fileDropped(const QString& fileName);

 private:
  void updateCursor(Qt::KeyboardModifiers modifiers);
  void reportError(const std::string& message);

  StatusOutput* Output = nullptr;
  bool contextFailureReported = false;
};
