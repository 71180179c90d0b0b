// The main window's commands with scripted dialogs on the offscreen platform, on good input and on
// input they must refuse: each failure is a log line and a message box, and the meshes, the volume
// and the files on disk stay as they were.
#include "MyOutput.h"
#include "QtTestApplication.h"
#include "ScriptedDialogs.h"
#include "TessellorApplication.h"
#include "WindowTiling.h"
#include "support/TestFiles.h"
#include "tessellor/Tessellor.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A closed triangulated box 2 x 1 x 1.5 away from the origin, so fitting it is not the identity.
const char* const BoxPly =
    "ply\nformat ascii 1.0\nelement vertex 8\nelement face 12\nend_header\n"
    "10 -3 5\n12 -3 5\n12 -2 5\n10 -2 5\n10 -3 6.5\n12 -3 6.5\n12 -2 6.5\n10 -2 6.5\n"
    "3 0 2 1\n3 0 3 2\n3 4 5 6\n3 4 6 7\n3 0 1 5\n3 0 5 4\n3 3 6 2\n3 3 7 6\n3 0 4 7\n3 0 7 3\n3 1 2 6\n3 1 6 5\n";

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qtTestApplication();
    write("box.ply", BoxPly);
    write("flat.ply", "ply\nelement vertex 4\nelement face 1\nend_header\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n");
    app = std::make_unique<TessellorApplication>(log, dialogs);
  }
  void TearDown() override { app.reset(); }

  TFMainWindow& window() { return app->FMainWindow; }
  QuadDominantTessellor& controller() { return app->Objects.Controller; }
  QString path(const char* name) const { return QString::fromStdString(dir.file(name)); }
  void write(const char* name, const std::string& text) { testfiles::writeFile(dir.file(name), text); }
  std::string read(const char* name) const { return testfiles::readFile(dir.file(name)); }
  QStringList logLines() const { return window().meOut->toPlainText().split(QLatin1Char('\n')); }
  const TFMainWindow& window() const { return app->FMainWindow; }

  void answer(const char* name, int filterIndex = 1) {
    dialogs.FileAnswers.push_back(ScriptedDialogs::FileAnswer{path(name), filterIndex});
  }
  void showAndOpen(const char* name) {
    window().show();
    answer(name);
    window().openInputMesh();
  }
  // The last message box says text, the log shows the same line, and no task is left open.
  void expectReported(int count, const char* text) {
    ASSERT_EQ(dialogs.Messages.size(), count);
    EXPECT_TRUE(dialogs.Messages.back().contains(QString::fromLatin1(text))) << dialogs.Messages.back().toStdString();
    EXPECT_TRUE(logLines().contains(dialogs.Messages.back()));
    EXPECT_FALSE(log.isBusy());
  }

  testfiles::ScratchDir dir;
  MyOutput log;
  ScriptedDialogs dialogs;
  std::unique_ptr<TessellorApplication> app;
};

QStringList captionsOf(const QMenu* menu) {
  QStringList result;
  for (const QAction* action : menu->actions())
    result << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return result;
}

}  // namespace

TEST_F(MainWindowTest, MenusFirstShowAndTiling) {
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Tessellor"));
  const QList<QAction*> menus = window().menuBar()->actions();
  const QStringList mesh = {"Open", "Save As ...", "-", "Options", "-", "Show Window"};
  const QList<QPair<QString, QStringList>> expected = {
      {"Input Mesh", mesh},
      {"Volume", {"Open", "Save As ...", "-", "Set Maximum Number of Voxels"}},
      {"Remeshing",
       {"Detect Sharp Features and Edges", "Set Threshold Psi for Sharp Features", "Exact Distance Field", "-",
        "Input Mesh -> Volume", "Volume -> Output Mesh", "Remesh: Input Mesh -> Volume -> Output Mesh"}},
      {"Output Mesh", mesh},
      {"Log File", {"Clear"}}};
  ASSERT_EQ(menus.size(), expected.size());
  for (int i = 0; i < menus.size(); ++i) {
    EXPECT_EQ(menus[i]->text(), expected[i].first);
    EXPECT_EQ(captionsOf(menus[i]->menu()), expected[i].second) << expected[i].first.toStdString();
  }
  EXPECT_FALSE(controller().DetectSharpFeatures) << "the controller starts with the switch off";
  window().show();
  EXPECT_TRUE(controller().DetectSharpFeatures) << "first show matches the check mark";
  EXPECT_TRUE(app->FGLFormInputMesh.isVisible() && !app->FPolygonStorageNodeOptions.isVisible());
  const QRect area = window().screen()->availableGeometry();
  EXPECT_EQ(app->FGLFormOutputMesh.frameGeometry(), WindowTiling::forWorkArea(area.width(), area.height()).outputView);
  // The check items toggle and pass their state on.
  window().actionDetectSharpFeatures()->trigger();
  window().actionExactDistanceField()->trigger();
  EXPECT_FALSE(controller().DetectSharpFeatures);
  EXPECT_TRUE(controller().getExactDistance());
}

TEST_F(MainWindowTest, NumberBoxesTakeValidNumbersOnly) {
  window().show();
  // 0 and -5 are ignored silently, "abc" is reported, 2500 is taken; a cancelled box applies its
  // default text again.
  dialogs.TextAnswers = {QStringLiteral("0"), QStringLiteral("-5"), QStringLiteral("abc"), QStringLiteral("2500"),
                         std::nullopt,        QStringLiteral("2"),  QStringLiteral("xyz"), QStringLiteral("0.123456"),
                         std::nullopt};
  const int voxels[] = {100000, 100000, 100000, 2500, 2500};
  for (int expected : voxels) {
    window().setMaximumNumberOfVoxels();
    EXPECT_EQ(controller().getMaxVoxels(), expected);
  }
  EXPECT_EQ(dialogs.Queries[0].prompt + dialogs.Queries[0].defaultText,
            QStringLiteral("Desired maximum number of voxels100000"));
  EXPECT_EQ(dialogs.Queries.back().defaultText, QStringLiteral("2500"));
  const float psi[] = {2.0f, 2.0f, 0.123456f, 0.1235f};  // no range check; the cancelled box stores 4 digits
  for (float expected : psi) {
    window().setThresholdPsi();
    EXPECT_EQ(controller().getThresholdPsi(), expected);
  }
  EXPECT_EQ(dialogs.Queries[5].prompt + dialogs.Queries[5].defaultText,
            QStringLiteral("Value for cos(alpha) for sharp edges0.3"));
  EXPECT_EQ(dialogs.Messages,
            (QStringList{"'abc' is not a valid integer value", "'xyz' is not a valid floating point value"}));
}

TEST_F(MainWindowTest, OpenRemeshSaveAndVolumeFilesKeepFileCoordinates) {
  showAndOpen("box.ply");
  EXPECT_EQ(dialogs.Filters.back(), QStringLiteral("*.ply|*.ply"));
  const PolygonStorage& input = controller().getInputMesh();
  EXPECT_NEAR(input.BBoxMax.x - input.BBoxMin.x, 46.0f, 0.01f) << "fitted into the 50 box";
  controller().setMaxVoxels(3000);
  window().remesh();
  EXPECT_TRUE(dialogs.Messages.isEmpty()) << dialogs.Messages.join(QLatin1Char('\n')).toStdString();
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 20u);
  EXPECT_EQ(logLines().count(QStringLiteral("--------------- begin ")), 7) << "import and six stages";
  EXPECT_EQ(logLines().count(QStringLiteral("--------------- end")), 7);
  // The filter index chooses the writer whatever the typed extension; an unknown one writes nothing.
  answer("out.ply", 3);
  answer("obj-really.ply", 2);
  answer("deck.pc", 1);
  answer("nothing.ply", 4);
  dialogs.FileAnswers.push_back(std::nullopt);
  for (int i = 0; i < 5; ++i) window().saveOutputMesh();
  EXPECT_EQ(dialogs.Filters.back() + dialogs.Extensions.back(), QStringLiteral("*.pc|*.pc|*.obj|*.obj|*.ply|*.plypc"));
  EXPECT_EQ(read("out.ply").rfind("ply\n", 0), 0u);
  EXPECT_EQ(read("obj-really.ply").rfind("v ", 0), 0u) << "OBJ text under a .ply name";
  EXPECT_EQ(read("deck.pc").rfind("MATER /", 0), 0u);
  EXPECT_FALSE(QFile::exists(path("nothing.ply")));
  // The output lies where the input was, in file coordinates.
  PolygonStorage saved;
  readMesh(path("out.ply").toStdString(), saved);
  EXPECT_TRUE(saved.BBoxMin.x > 9.5f && saved.BBoxMax.x < 12.5f && saved.BBoxMin.y > -3.5f);
  // The volume: saved, read back, and meshed again.
  const int nx = controller().Volume.XSize;
  answer("v.vol");
  window().saveVolume();
  EXPECT_EQ(dialogs.Filters.back() + dialogs.Extensions.back(), QStringLiteral("*.vol|*.volvol"));
  controller().Volume.resize(2, 2, 2);
  answer("v.vol");
  window().openVolume();
  EXPECT_EQ(controller().Volume.XSize, nx);
  window().outputMeshFromVolume();
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 20u);
  EXPECT_TRUE(dialogs.Messages.isEmpty());
}

TEST_F(MainWindowTest, BadInputIsReportedAndLosesNothing) {
  window().show();
  window().remesh();
  expectReported(1, "Cannot size the volume");
  showAndOpen("box.ply");
  controller().setMaxVoxels(2000);
  window().volumeFromInputMesh();
  answer("good.vol");
  window().saveVolume();
  ASSERT_EQ(dialogs.Messages.size(), 1);
  const std::string good = read("good.vol");
  const std::size_t voxels = controller().Volume.Voxels.size(), polygons = controller().getInputMesh().Polygons.size();
  // Files that cannot be read: a bad mesh, a missing one, a volume of another kind, one cut short,
  // one whose sizes its records do not back.
  write("bad.ply", "ply\nformat ascii 1.0\nelement vertex 3\nend_header\n1 2\n");
  write("junk.vol", "not a volume");
  write("cut.vol", good.substr(0, good.size() / 2));
  const unsigned char sizes[12] = {0xE8, 0x03, 0, 0, 0xE8, 0x03, 0, 0, 0xE8, 0x03, 0, 0};  // 1000 each
  write("unbacked.vol", good.substr(0, 22) + std::string(reinterpret_cast<const char*>(sizes), 12) + "END");
  const struct {
    const char* File;
    bool Volume;
    const char* Message;
  } unreadable[] = {{"bad.ply", false, "bad.ply:5: vertex line has fewer than three values"},
                    {"missing.ply", false, "missing.ply: cannot open file"},
                    {"junk.vol", true, "byte 0: strcmp(header,\"VOLUME\") == 0"},
                    {"cut.vol", true, "read == 1"},
                    {"unbacked.vol", true, "byte 34: read == 1"}};
  int count = 1;
  for (const auto& u : unreadable) {
    answer(u.File);
    u.Volume ? window().openVolume() : window().openInputMesh();
    expectReported(++count, u.Message);
  }
  EXPECT_EQ(controller().getInputMesh().Polygons.size(), polygons);
  EXPECT_EQ(controller().Volume.Voxels.size(), voxels);
  EXPECT_EQ(window().laStatus->text(), QString()) << "the interrupted task is closed";
  // Targets that cannot be written leave the file of that name whole.
  answer("no-such-dir/x.ply", 3);
  window().saveInputMesh();
  expectReported(++count, "no-such-dir/x.ply");
  answer("no-such-dir/v.vol");
  window().saveVolume();
  expectReported(++count, "fp != 0");
  // A budget that cannot be allocated, a mesh that cannot be sized.
  controller().setMaxVoxels(2000000000);
  window().volumeFromInputMesh();
  expectReported(++count, "Cannot allocate a volume of");
  controller().setMaxVoxels(2000);
  showAndOpen("flat.ply");
  window().volumeFromInputMesh();
  expectReported(++count, "Cannot size the volume");
  EXPECT_EQ(controller().getInputMesh().Vertices.size(), 4u);
  EXPECT_EQ(controller().Volume.Voxels.size(), voxels);
  EXPECT_EQ(read("good.vol"), good);
  // Cancelled dialogs do nothing.
  window().openInputMesh();
  window().saveInputMesh();
  window().openVolume();
  window().saveVolume();
  EXPECT_EQ(dialogs.Messages.size(), count);
}

TEST_F(MainWindowTest, ShowCommandsOptionsDialogAndLog) {
  window().setStartupFile(path("box.ply"));
  window().show();
  EXPECT_EQ(controller().getInputMesh().Vertices.size(), 8u) << "the startup file is opened";
  PolygonStorageNode& node = app->Objects.OutputMeshNode;
  node.setDrawAttrVertices(true);
  window().showOutputOptions();
  TFPolygonStorageNodeOptions& options = app->FPolygonStorageNodeOptions1;
  EXPECT_TRUE(options.isVisible() && options.cbDrawAttrVertices->isChecked()) << "check boxes follow the node";
  options.cbDrawFaces->setChecked(false);
  options.edLineThickness->setValue(0);
  EXPECT_TRUE(!node.getDrawFaces() && node.lineWidth == 0.0f);
  // Print polygon: a number that is none is reported, -1 prints nothing, 0 the first polygon.
  TFPolygonStorageNodeOptions& input = app->FPolygonStorageNodeOptions;
  const int before = logLines().size();
  dialogs.TextAnswers = {QStringLiteral("abc"), QStringLiteral("-1"), QStringLiteral("0")};
  input.printPolygon();
  input.printPolygon();
  EXPECT_EQ(dialogs.Messages, QStringList{"'abc' is not a valid integer value"});
  EXPECT_EQ(logLines().size(), before);
  input.printPolygon();
  input.printStats();
  input.checkIndex();
  for (const char* line : {"Polygon 0", "Total vertices: 8", "VIndex OK"})
    EXPECT_TRUE(logLines().contains(QString::fromLatin1(line)));
  window().clearLog();
  EXPECT_TRUE(window().meOut->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, WithoutOpenGLTheViewsStayHiddenAndTheCommandsWork) {
  window().setViewsAvailable(false);
  window().setStartupFile(path("box.ply"));
  window().show();
  EXPECT_FALSE(app->FGLFormInputMesh.isVisible() || app->FGLFormOutputMesh.isVisible());
  expectReported(1, ":-)~ hrc == NULL");
  window().showInputWindow();
  EXPECT_FALSE(app->FGLFormInputMesh.isVisible());
  controller().setMaxVoxels(2000);
  window().remesh();
  EXPECT_EQ(dialogs.Messages.size(), 1);
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 0u);
}
