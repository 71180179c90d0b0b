#pragma once

#include <QMimeData>
#include <QString>
#include <QUrl>

// The first local file of a drag, or an empty string (the views and the main window take drops).
inline QString droppedFile(const QMimeData* data) {
  if (data == nullptr) return QString();
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return QString();
}
