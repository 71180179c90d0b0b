#include "MyOutput.h"
#include "TFGLForm.h"
#include "TessellorApplication.h"
#include "UserDialogs.h"

#include "tessellor/Tessellor.h"

#include <QApplication>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <cstdio>
#include <cstring>

// The one status output; it exists before every other object and outlives them.
MyOutput LogOutput;

int main(int argc, char* argv[]) {
  // Answered before any window system is touched, so it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("tessellor %s\n", tessellor::version());
    return 0;
  }
  // The views draw with the fixed-function pipeline, which needs a compatibility context.
  QSurfaceFormat::setDefaultFormat(TFGLForm::requestedFormat());
  QApplication application(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Tessellor"));

  QtUserDialogs dialogs;
  TessellorApplication program(LogOutput, dialogs);
  // A desktop passes the file to open as the first argument.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) program.FMainWindow.setStartupFile(arguments.at(1));
  QOpenGLContext probe;
  program.FMainWindow.setViewsAvailable(probe.create());
  program.FMainWindow.show();
  return QApplication::exec();
}
