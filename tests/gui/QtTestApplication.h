#pragma once

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

// One QApplication for a whole test program, created on first use. The platform comes from
// QT_QPA_PLATFORM (the test registration sets it); without it and without a display, offscreen.
inline QApplication& qtTestApplication() {
  static int argc = 1;
  static char name[] = "tessellor-tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: tearing it down among the other static objects at exit crashes.
  static QApplication* application = new QApplication(argc, argv);
  // What the program remembers goes to a scratch directory, not to the user's settings.
  static QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  return *application;
}
