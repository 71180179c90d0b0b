#include "UserDialogs.h"

#include "ProgramSettings.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

QStringList QtUserDialogs::nameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList result;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    result << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
  return result;
}

namespace {
bool runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                   const QString& defaultExtension, int& filterIndex, QString& fileName) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  const QStringList filters = QtUserDialogs::nameFilters(filter);
  dialog.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size()) dialog.selectNameFilter(filters[filterIndex - 1]);
  if (!defaultExtension.isEmpty()) dialog.setDefaultSuffix(defaultExtension);
  // Every file dialog starts where the last one ended, also in a later run.
  const QString directory = ProgramSettings::lastDirectory();
  if (!directory.isEmpty() && QDir(directory).exists()) dialog.setDirectory(directory);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  fileName = dialog.selectedFiles().first();
  ProgramSettings::setLastDirectory(QFileInfo(fileName).absolutePath());
  filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return true;
}
}  // namespace

bool QtUserDialogs::openFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName) {
  return runFileDialog(parent, QFileDialog::AcceptOpen, filter, QString(), filterIndex, fileName);
}

bool QtUserDialogs::saveFile(QWidget* parent, const QString& filter, const QString& defaultExtension, int& filterIndex,
                             QString& fileName) {
  return runFileDialog(parent, QFileDialog::AcceptSave, filter, defaultExtension, filterIndex, fileName);
}

bool QtUserDialogs::inputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& text) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, text, &ok);
  if (ok) text = answer;
  return ok;
}

void QtUserDialogs::showMessage(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}
