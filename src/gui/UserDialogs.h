#pragma once

#include <QString>

class QWidget;

// Everything that asks the user or tells the user something in a modal way. The window and the
// options dialogs go through this, so tests can answer in place of a person.
class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // filter: bar-separated pairs "description|pattern|..."; filterIndex counts pairs from 1 and is
  // both the preset and the user's choice. Returns false when cancelled.
  virtual bool openFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) = 0;
  // defaultExtension is appended to a name typed without one.
  virtual bool saveFile(QWidget* parent, const QString& filter, const QString& defaultExtension, int& filterIndex,
                        QString& fileName) = 0;
  // A text input box; text holds the default and, on OK, the answer. Cancel leaves it unchanged.
  virtual bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& text) = 0;
  virtual void showMessage(QWidget* parent, const QString& text) = 0;
};

// The real dialogs of the desktop.
class QtUserDialogs : public UserDialogs {
 public:
  bool openFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) override;
  bool saveFile(QWidget* parent, const QString& filter, const QString& defaultExtension, int& filterIndex,
                QString& fileName) override;
  bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& text) override;
  void showMessage(QWidget* parent, const QString& text) override;

  // "desc|pattern|desc|pattern" as the dialog's name filters "desc (pattern)".
  static QStringList nameFilters(const QString& filter);
};
