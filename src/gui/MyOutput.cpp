#include "MyOutput.h"

#include "base/LogFrame.h"
#include "base/TaskClock.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QThread>

#include <cstdio>
#include <string>
#include <utility>

using namespace tessellor;

namespace {

bool onGuiThread() {
  const QCoreApplication* application = QCoreApplication::instance();
  return application == nullptr || QThread::currentThread() == application->thread();
}

// Runs call on the GUI thread after everything queued before it.
template <class Call>
void queue(Call call) {
  QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
}

}  // namespace

void MyOutput::attach(QPlainTextEdit* log, QLabel* status, QWidget* busy, QProgressBar* progress) {
  meOut = log;
  laStatus = status;
  pnBusy = busy;
  ProgressBar1 = progress;
}

void MyOutput::writeLine(const char* text) {
  if (!onGuiThread()) {
    queue([this, line = std::string(text ? text : "")] { writeLine(line.c_str()); });
    return;
  }
  if (meOut != nullptr) meOut->appendPlainText(QString::fromLocal8Bit(text ? text : ""));
}

void MyOutput::setProgress(int percent) {
  if (!onGuiThread()) {
    queue([this, percent] { setProgress(percent); });
    return;
  }
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
  if (!onGuiThread()) {
    // The clock starts when the worker began, not when the window got round to it.
    queue([this, task = std::string(name ? name : ""), calledAt = TaskClock::ticks()] {
      beginTask(task.c_str());
      StartTick -= TaskClock::ticks() - calledAt;
    });
    return;
  }
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
  if (!onGuiThread()) {
    queue([this, calledAt = TaskClock::ticks()] {
      StartTick += TaskClock::ticks() - calledAt;
      endTask();
    });
    return;
  }
  if (laStatus != nullptr) laStatus->setText(QString());
  setBusyColour(false);
  if (ProgressBar1 != nullptr) ProgressBar1->setValue(0);
  LogFrame::end(*this, StartTick);
  Busy = false;
}

void MyOutput::finishOpenTask() {
  if (Busy) endTask();
}
