#include "MyOutput.h"

#include "base/LogFrame.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <cstdio>

using namespace tessellor;

void MyOutput::attach(QPlainTextEdit* log, QLabel* status, QWidget* busy, QProgressBar* progress) {
  meOut = log;
  laStatus = status;
  pnBusy = busy;
  ProgressBar1 = progress;
}

void MyOutput::writeLine(const char* text) {
  if (meOut != nullptr) meOut->appendPlainText(QString::fromLocal8Bit(text ? text : ""));
}

void MyOutput::setProgress(int percent) {
  if (ProgressBar1 == nullptr || ProgressBar1->value() == percent) return;
  ProgressBar1->setValue(percent);
  ProgressBar1->repaint();
}

void MyOutput::setBusyColour(bool busy) {
  if (pnBusy == nullptr) return;
  QPalette palette = pnBusy->palette();
  palette.setColor(QPalette::Window, busy ? QColor(Qt::red) : QApplication::palette().color(QPalette::Button));
  pnBusy->setPalette(palette);
  pnBusy->setAutoFillBackground(true);
  pnBusy->repaint();
}

void MyOutput::beginTask(const char* name) {
  if (laStatus != nullptr) {
    laStatus->setText(QString::fromLocal8Bit(name ? name : ""));
    laStatus->repaint();
  }
  setBusyColour(true);
  if (ProgressBar1 != nullptr) ProgressBar1->setValue(0);
  StartTick = LogFrame::begin(*this, name);
  Busy = true;
}

void MyOutput::endTask() {
  if (laStatus != nullptr) laStatus->setText(QString());
  setBusyColour(false);
  if (ProgressBar1 != nullptr) ProgressBar1->setValue(0);
  LogFrame::end(*this, StartTick);
  Busy = false;
}

void MyOutput::finishOpenTask() {
  if (Busy) endTask();
}
