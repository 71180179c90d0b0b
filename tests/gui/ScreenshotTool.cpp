// Writes a picture of the program as a user sees it: the mesh is opened from the command line,
// remeshed from the menu, both views are turned with a mouse drag and framed with the key f, all
// through real input events; with --quality the output's faces are coloured by their scaled
// Jacobian through the options dialog. The picture holds the main window and both views as they
// are tiled on the desktop. Usage: gui_screenshot MESH OUT.png [--quality]
// Run it under an X server with OpenGL (for instance xvfb-run).
#include "MyOutput.h"
#include "TFGLForm.h"
#include "TessellorApplication.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

void settle(int ms = 300) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents();
}

QAction* actionNamed(const QList<QAction*>& actions, const char* text) {
  for (QAction* action : actions)
    if (action->text() == QString::fromLatin1(text)) return action;
  std::fprintf(stderr, "gui_screenshot: no menu item '%s'\n", text);
  std::exit(1);
}

// Clicks the menu title, then the item, as a user would.
void chooseMenuItem(TFMainWindow& window, const char* menu, const char* item) {
  QMenuBar* bar = window.menuBar();
  QAction* title = actionNamed(bar->actions(), menu);
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(title).center());
  QMenu* popup = title->menu();
  QElapsedTimer timer;
  timer.start();
  while (!popup->isVisible() && timer.elapsed() < 3000) QCoreApplication::processEvents();
  settle(100);
  QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier,
                    popup->actionGeometry(actionNamed(popup->actions(), item)).center());
  while (window.isBusy()) QCoreApplication::processEvents();
  settle();
}

// Turns the view a little with a drag (no modifier: rotate), then frames the mesh with f.
void turnAndFit(TFGLForm& form) {
  const QPoint start(form.width() / 2, form.height() / 2);
  QTest::mousePress(&form, Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(&form, start + QPoint(form.width() / 10, form.height() / 12));
  QTest::mouseRelease(&form, Qt::LeftButton, Qt::NoModifier, start + QPoint(form.width() / 10, form.height() / 12));
  QTest::keyClick(&form, Qt::Key_F);
  settle(100);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s MESH OUT.png [--quality]\n", argv[0]);
    return 2;
  }
  const bool quality = argc > 3 && std::strcmp(argv[3], "--quality") == 0;
  QSurfaceFormat::setDefaultFormat(TFGLForm::requestedFormat());
  QApplication application(argc, argv);
  QTemporaryDir settings;  // the pictures must not depend on what a user's runs remembered
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  MyOutput log;
  QtUserDialogs dialogs;
  TessellorApplication program(log, dialogs);
  program.FMainWindow.setStartupFile(QString::fromLocal8Bit(argv[1]));
  program.FMainWindow.show();
  while (program.FMainWindow.hasPendingStartupFile() || program.FMainWindow.isBusy()) QCoreApplication::processEvents();
  settle();

  chooseMenuItem(program.FMainWindow, "Remeshing", "Remesh: Input Mesh -> Volume -> Output Mesh");
  if (quality) {
    chooseMenuItem(program.FMainWindow, "Output Mesh", "Options");
    QCheckBox* box = program.FPolygonStorageNodeOptions1.cbColourByQuality;
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    program.FPolygonStorageNodeOptions1.hide();
  }
  turnAndFit(program.FGLFormInputMesh);
  turnAndFit(program.FGLFormOutputMesh);
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
