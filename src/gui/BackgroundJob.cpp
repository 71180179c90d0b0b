#include "BackgroundJob.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <exception>
#include <memory>

void BackgroundJob::run(const std::function<void()>& work) {
  std::exception_ptr failure;
  std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  }));
  QEventLoop loop;
  // finished comes from the worker, so it is queued behind everything the work queued before.
  QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  thread->start();
  loop.exec();
  thread->wait();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
  if (failure) std::rethrow_exception(failure);
}
