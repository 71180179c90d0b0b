#pragma once

#include <QString>
#include <QStringList>

// What the program remembers between runs (QSettings, an INI file in the user's configuration
// directory): the recently opened meshes, newest first, and the directory of the last file dialog.
class ProgramSettings {
 public:
  static constexpr int MaxRecentFiles = 8;

  static QStringList recentFiles();
  // Puts fileName (made absolute) first; a name already listed moves up.
  static void addRecentFile(const QString& fileName);
  static void removeRecentFile(const QString& fileName);
  static QString lastDirectory();
  static void setLastDirectory(const QString& directory);
};
