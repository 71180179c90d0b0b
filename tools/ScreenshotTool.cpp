// Writes a picture of the program after remeshing a sample: the main window and both views as
// they are tiled on the desktop. Usage: gui_screenshot MESH.ply OUT.png [MAX_VOXELS]
// Run it under an X server with OpenGL (for instance xvfb-run).
#include "MyOutput.h"
#include "TFGLForm.h"
#include "TessellorApplication.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSurfaceFormat>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Pans and zooms a view so that the whole mesh is in sight, as a user would with the mouse.
void frameMesh(TFGLForm& form, const PolygonStorage& mesh) {
  if (mesh.Vertices.empty()) return;
  V3 lo = mesh.Vertices[0].pos, hi = lo;
  for (const Vertex& v : mesh.Vertices) {
    lo = V3{std::min(lo.x, v.pos.x), std::min(lo.y, v.pos.y), std::min(lo.z, v.pos.z)};
    hi = V3{std::max(hi.x, v.pos.x), std::max(hi.y, v.pos.y), std::max(hi.z, v.pos.z)};
  }
  View& view = form.getView();
  view.center = vec3((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
  const float size = std::max(hi.x - lo.x, std::max(hi.y - lo.y, hi.z - lo.z));
  view.distance = 2.6f * size;
  view.rotateY(-0.5f);
  view.rotateX(-0.4f);
}

void settle() {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 300) QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s MESH.ply OUT.png [MAX_VOXELS]\n", argv[0]);
    return 2;
  }
  QSurfaceFormat::setDefaultFormat(TFGLForm::requestedFormat());
  QApplication application(argc, argv);
  MyOutput log;
  QtUserDialogs dialogs;
  TessellorApplication program(log, dialogs);
  program.FMainWindow.setStartupFile(QString::fromLocal8Bit(argv[1]));
  program.FMainWindow.show();
  settle();
  if (argc > 3) program.Objects.Controller.setMaxVoxels(std::atoi(argv[3]));
  program.FMainWindow.remesh();
  frameMesh(program.FGLFormInputMesh, program.Objects.Controller.getInputMesh());
  frameMesh(program.FGLFormOutputMesh, program.Objects.Controller.getOutputMesh());
  program.FGLFormInputMesh.redraw();
  program.FGLFormOutputMesh.redraw();
  settle();

  const QRect area = program.FMainWindow.screen()->availableGeometry();
  QImage picture(area.size(), QImage::Format_RGB32);
  picture.fill(Qt::darkGray);
  QPainter painter(&picture);
  painter.drawPixmap(program.FMainWindow.geometry().topLeft(), program.FMainWindow.grab());
  for (TFGLForm* form :
       {static_cast<TFGLForm*>(&program.FGLFormInputMesh), static_cast<TFGLForm*>(&program.FGLFormOutputMesh)}) {
    const QImage frame = form->grabFramebuffer();
    painter.drawImage(form->geometry().topLeft(), frame);
    painter.setPen(Qt::black);
    painter.drawRect(form->geometry().adjusted(0, 0, -1, -1));
    painter.drawText(form->geometry().topLeft() + QPoint(8, 16), form->windowTitle());
  }
  painter.end();
  return picture.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
