#include "ProgramSettings.h"

#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace {

const char* const RecentFilesKey = "recentFiles";
const char* const LastDirectoryKey = "lastDirectory";

QSettings* open() {
  return new QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tessellor"),
                       QStringLiteral("tessellor"));
}

}  // namespace

QStringList ProgramSettings::recentFiles() {
  const std::unique_ptr<QSettings> settings(open());
  return settings->value(QLatin1String(RecentFilesKey)).toStringList();
}

void ProgramSettings::addRecentFile(const QString& fileName) {
  const QString absolute = QFileInfo(fileName).absoluteFilePath();
  QStringList files = recentFiles();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > MaxRecentFiles) files.removeLast();
  const std::unique_ptr<QSettings> settings(open());
  settings->setValue(QLatin1String(RecentFilesKey), files);
}

void ProgramSettings::removeRecentFile(const QString& fileName) {
  QStringList files = recentFiles();
  files.removeAll(QFileInfo(fileName).absoluteFilePath());
  const std::unique_ptr<QSettings> settings(open());
  settings->setValue(QLatin1String(RecentFilesKey), files);
}

QString ProgramSettings::lastDirectory() {
  const std::unique_ptr<QSettings> settings(open());
  return settings->value(QLatin1String(LastDirectoryKey)).toString();
}

void ProgramSettings::setLastDirectory(const QString& directory) {
  const std::unique_ptr<QSettings> settings(open());
  settings->setValue(QLatin1String(LastDirectoryKey), directory);
}
