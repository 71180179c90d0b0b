// The window's commands on input they must refuse: each failure is a log line and a message box,
// and the meshes, the volume and the files on disk stay as they were.
#include "MyOutput.h"
#include "QtTestApplication.h"
#include "ScriptedDialogs.h"
#include "TessellorApplication.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

const char* const TetrahedronPly =
    "ply\nformat ascii 1.0\nelement vertex 4\nelement face 4\nend_header\n"
    "0 0 0\n3 0 0\n0 2 0\n0 0 4\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
const char* const FlatPly =
    "ply\nformat ascii 1.0\nelement vertex 4\nelement face 1\nend_header\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n";

std::string readFile(const QString& name) {
  std::ifstream in(name.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class BadInputWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qtTestApplication();
    ASSERT_TRUE(dir.isValid());
    std::ofstream(path("tetra.ply").toStdString()) << TetrahedronPly;
    std::ofstream(path("flat.ply").toStdString()) << FlatPly;
    app = std::make_unique<TessellorApplication>(log, dialogs);
    app->FMainWindow.show();
  }
  void TearDown() override { app.reset(); }

  TFMainWindow& window() { return app->FMainWindow; }
  QuadDominantTessellor& controller() { return app->Objects.Controller; }
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  bool logHasLine(const QString& line) const {
    return app->FMainWindow.meOut->toPlainText().split(QLatin1Char('\n')).contains(line);
  }

  void open(const char* name) {
    dialogs.FileAnswers.push_back(ScriptedDialogs::FileAnswer{path(name), 1});
    window().openInputMesh();
  }

  // The last message box names what failed, and the log shows the same text.
  void expectReported(int count, const char* text) {
    ASSERT_EQ(dialogs.Messages.size(), count);
    EXPECT_TRUE(dialogs.Messages.back().contains(QString::fromLatin1(text))) << dialogs.Messages.back().toStdString();
    EXPECT_TRUE(logHasLine(dialogs.Messages.back()));
    EXPECT_FALSE(log.isBusy());
  }

  QTemporaryDir dir;
  MyOutput log;
  ScriptedDialogs dialogs;
  std::unique_ptr<TessellorApplication> app;
};

TEST_F(BadInputWindowTest, MeshThatCannotBeSizedOrBudgetThatCannotBeAllocatedKeepsTheVolume) {
  open("tetra.ply");
  controller().setMaxVoxels(2000);
  window().volumeFromInputMesh();
  ASSERT_TRUE(dialogs.Messages.isEmpty());
  const int nx = controller().Volume.XSize;
  const std::size_t voxels = controller().Volume.Voxels.size();
  ASSERT_GT(voxels, 0u);

  controller().setMaxVoxels(2000000000);
  window().volumeFromInputMesh();
  expectReported(1, "Cannot allocate a volume of");
  EXPECT_EQ(controller().Volume.XSize, nx);
  EXPECT_EQ(controller().Volume.Voxels.size(), voxels);

  controller().setMaxVoxels(2000);
  open("flat.ply");
  window().volumeFromInputMesh();
  expectReported(2, "Cannot size the volume");
  EXPECT_EQ(controller().getInputMesh().Vertices.size(), 4u);
  EXPECT_EQ(controller().Volume.XSize, nx);
  EXPECT_EQ(controller().Volume.Voxels.size(), voxels);
}

TEST_F(BadInputWindowTest, DamagedVolumeFilesAndUnwritableTargetsLoseNothing) {
  open("tetra.ply");
  controller().setMaxVoxels(2000);
  window().volumeFromInputMesh();
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("good.vol"), 1}};
  window().saveVolume();
  ASSERT_TRUE(dialogs.Messages.isEmpty());
  const std::string good = readFile(path("good.vol"));
  const int nx = controller().Volume.XSize;

  // Cut inside the records, and sizes whose records the file does not hold.
  std::ofstream(path("cut.vol").toStdString(), std::ios::binary) << good.substr(0, good.size() / 2);
  std::string unbacked = good.substr(0, 22);
  const unsigned char sizes[12] = {0xE8, 0x03, 0, 0, 0xE8, 0x03, 0, 0, 0xE8, 0x03, 0, 0};  // 1000 each
  unbacked.append(reinterpret_cast<const char*>(sizes), sizeof sizes).append("END");
  std::ofstream(path("unbacked.vol").toStdString(), std::ios::binary) << unbacked;

  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("cut.vol"), 1}};
  window().openVolume();
  expectReported(1, "read == 1");
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("unbacked.vol"), 1}};
  window().openVolume();
  expectReported(2, "byte 34: read == 1");
  EXPECT_EQ(controller().Volume.XSize, nx);

  // A volume that cannot be saved leaves the file of that name whole.
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("no-such-dir/v.vol"), 1}};
  window().saveVolume();
  expectReported(3, "fp != 0");
  EXPECT_EQ(readFile(path("good.vol")), good);
}

}  // namespace
