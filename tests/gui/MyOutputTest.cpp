#include "MyOutput.h"
#include "QtTestApplication.h"
#include "base/TaskClock.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace tessellor;

namespace {

class PaintCounter : public QObject {
 public:
  int Paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return QObject::eventFilter(watched, event);
  }
};

// The controls MyOutput drives, on a shown window so repaints really paint.
class MyOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qtTestApplication();
    window = std::make_unique<QWidget>();
    memo = new QPlainTextEdit(window.get());
    label = new QLabel(QStringLiteral("Status"), window.get());
    busy = new QWidget(window.get());
    progress = new QProgressBar(window.get());
    progress->setRange(0, 100);
    label->move(0, 300);
    busy->setGeometry(0, 330, 20, 20);
    progress->setGeometry(30, 330, 209, 20);
    window->resize(400, 400);
    window->show();
    QCoreApplication::processEvents();
    output.attach(memo, label, busy, progress);
  }

  void TearDown() override { output.attach(nullptr, nullptr, nullptr, nullptr); }

  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    const QTextDocument* doc = memo->document();
    if (doc->isEmpty()) return result;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
      result.push_back(block.text().toStdString());
    return result;
  }

  std::unique_ptr<QWidget> window;
  QPlainTextEdit* memo = nullptr;
  QLabel* label = nullptr;
  QWidget* busy = nullptr;
  QProgressBar* progress = nullptr;
  MyOutput output;
};

}  // namespace

TEST_F(MyOutputTest, ProgressRepaintsOnlyOnChange) {
  PaintCounter counter;
  progress->installEventFilter(&counter);
  output.setProgress(37);
  EXPECT_EQ(progress->value(), 37);
  const int afterFirst = counter.Paints;
  EXPECT_GE(afterFirst, 1) << "a new value is painted at once, without the event loop";
  output.setProgress(37);
  EXPECT_EQ(counter.Paints, afterFirst) << "the same value again paints nothing";
  output.setProgress(38);
  EXPECT_GT(counter.Paints, afterFirst);
  progress->removeEventFilter(&counter);
}

TEST_F(MyOutputTest, BeginTaskShowsBusyAtOnce) {
  PaintCounter labelPaints, busyPaints;
  label->installEventFilter(&labelPaints);
  busy->installEventFilter(&busyPaints);
  output.setProgress(60);
  output.beginTask("Marching");
  EXPECT_EQ(label->text(), QStringLiteral("Marching"));
  EXPECT_GE(labelPaints.Paints, 1) << "label repainted within the task";
  EXPECT_GE(busyPaints.Paints, 1) << "busy panel repainted within the task";
  EXPECT_EQ(busy->palette().color(QPalette::Window), QColor(Qt::red));
  EXPECT_EQ(progress->value(), 0);
  EXPECT_TRUE(output.isBusy());
  output.setProgress(50);
  output.endTask();
  EXPECT_EQ(label->text(), QString());
  EXPECT_NE(busy->palette().color(QPalette::Window), QColor(Qt::red));
  EXPECT_EQ(busy->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
  EXPECT_EQ(progress->value(), 0);
  EXPECT_FALSE(output.isBusy());
  label->removeEventFilter(&labelPaints);
  busy->removeEventFilter(&busyPaints);
}

TEST_F(MyOutputTest, TaskFrameInTheLog) {
  output.beginTask("Smoothing");
  output.writeLine("first");
  output.writeLine("");
  output.writeLine("last");
  output.endTask();
  const std::vector<std::string> log = lines();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[0], "--------------- begin ") << "fifteen hyphens, begin and a trailing blank";
  EXPECT_EQ(log[1], "Smoothing");
  EXPECT_EQ(log[2], "first");
  EXPECT_EQ(log[3], "") << "an empty line is a line";
  EXPECT_EQ(log[4], "last");
  EXPECT_EQ(log[5].rfind("Duration: ", 0), 0u) << log[5];
  EXPECT_EQ(log[5].substr(log[5].size() - 3), " ms");
  EXPECT_EQ(log[6], "--------------- end");
}

TEST_F(MyOutputTest, SecondBeginRestartsTheClock) {
  output.beginTask("Voxelization");
  // Pretend the first task started long ago.
  output.StartTick = TaskClock::ticks() - 500000u;
  output.beginTask("Sharp features");
  output.endTask();
  const std::vector<std::string> log = lines();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2], "--------------- begin ");
  EXPECT_EQ(log[3], "Sharp features");
  int ms = -1;
  ASSERT_EQ(std::sscanf(log[4].c_str(), "Duration: %d ms", &ms), 1) << log[4];
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, 500000) << "measured from the second beginTask";
  EXPECT_EQ(log[5], "--------------- end");
  EXPECT_FALSE(output.isBusy());
  EXPECT_EQ(label->text(), QString());
}

TEST_F(MyOutputTest, FinishOpenTaskClosesOnlyARunningTask) {
  output.finishOpenTask();
  EXPECT_TRUE(lines().empty()) << "nothing to close";
  output.beginTask("Importing");
  output.finishOpenTask();
  const std::vector<std::string> log = lines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[3], "--------------- end");
  EXPECT_NE(busy->palette().color(QPalette::Window), QColor(Qt::red));
}

TEST_F(MyOutputTest, CallsFromAWorkerThreadArriveOnTheGuiThreadInOrder) {
  std::thread worker([this] {
    output.beginTask("Worker");
    output.writeLine("first");
    output.setProgress(40);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    output.writeLine("second");
    output.endTask();
  });
  worker.join();
  EXPECT_TRUE(lines().empty()) << "nothing touched the controls from the worker";
  QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
  const std::vector<std::string> log = lines();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[1], "Worker");
  EXPECT_EQ(log[2], "first");
  EXPECT_EQ(log[3], "second");
  EXPECT_EQ(log[5], "--------------- end");
  const int ms = std::stoi(log[4].substr(10));
  EXPECT_GE(ms, 25) << "the task's time on the worker, " << log[4];
  EXPECT_FALSE(output.isBusy());
}

TEST(MyOutputDetached, WithoutControlsNothingHappens) {
  MyOutput output;
  output.beginTask("Marching");
  output.writeLine("x");
  output.setProgress(10);
  output.endTask();
  EXPECT_FALSE(output.isBusy());
}
