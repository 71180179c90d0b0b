#include "MyOutput.h"
#include "TFGLForm.h"
#include "TessellorApplication.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QOpenGLContext>
#include <QSurfaceFormat>

// The one status output; it exists before every other object and outlives them.
MyOutput LogOutput;

int main(int argc, char* argv[]) {
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
