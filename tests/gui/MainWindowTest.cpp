// Drives the main window's commands with scripted dialogs on the offscreen platform.
#include "MyOutput.h"
#include "QtTestApplication.h"
#include "ScriptedDialogs.h"
#include "TessellorApplication.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A closed triangulated box 2 x 1 x 1.5 away from the origin, so fitting it is not the identity.
const char* const BoxPly =
    "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 12\nproperty list uchar int vertex_indices\nend_header\n"
    "10 -3 5\n12 -3 5\n12 -2 5\n10 -2 5\n10 -3 6.5\n12 -3 6.5\n12 -2 6.5\n10 -2 6.5\n"
    "3 0 2 1\n3 0 3 2\n3 4 5 6\n3 4 6 7\n3 0 1 5\n3 0 5 4\n"
    "3 3 6 2\n3 3 7 6\n3 0 4 7\n3 0 7 3\n3 1 2 6\n3 1 6 5\n";

std::string readFile(const QString& name) {
  std::ifstream in(name.toStdString(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool fileExists(const QString& name) { return std::ifstream(name.toStdString()).good(); }

// The vertex lines of a PLY file written by the tool.
std::vector<std::vector<double>> plyVertices(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  int count = 0;
  while (std::getline(in, line) && line != "end_header")
    if (line.rfind("element vertex ", 0) == 0) count = std::stoi(line.substr(15));
  std::vector<std::vector<double>> result;
  for (int i = 0; i < count && std::getline(in, line); ++i) {
    std::istringstream values(line);
    double x = 0, y = 0, z = 0;
    values >> x >> y >> z;
    result.push_back({x, y, z});
  }
  return result;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qtTestApplication();
    ASSERT_TRUE(dir.isValid());
    boxFile = dir.filePath(QStringLiteral("box.ply"));
    std::ofstream(boxFile.toStdString()) << BoxPly;
    app = std::make_unique<TessellorApplication>(log, dialogs);
  }

  void TearDown() override { app.reset(); }

  TFMainWindow& window() { return app->FMainWindow; }
  QuadDominantTessellor& controller() { return app->Objects.Controller; }
  QString logText() const { return app->FMainWindow.meOut->toPlainText(); }
  bool logHasLine(const QString& line) const { return logText().split(QLatin1Char('\n')).contains(line); }
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

  void showAndOpenBox() {
    window().show();
    dialogs.FileAnswers.push_back(ScriptedDialogs::FileAnswer{boxFile, 1});
    window().openInputMesh();
    ASSERT_EQ(controller().getInputMesh().Vertices.size(), 8u) << logText().toStdString();
  }

  QTemporaryDir dir;
  QString boxFile;
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

TEST_F(MainWindowTest, MenuCaptions) {
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Tessellor"));
  const QList<QAction*> menus = window().menuBar()->actions();
  ASSERT_EQ(menus.size(), 5);
  const QStringList titles = {"Input Mesh", "Volume", "Remeshing", "Output Mesh", "Log File"};
  const QList<QStringList> items = {
      {"Open", "Save As ...", "-", "Options", "-", "Show Window"},
      {"Open", "Save As ...", "-", "Set Maximum Number of Voxels"},
      {"Detect Sharp Features and Edges", "Set Threshold Psi for Sharp Features", "Exact Distance Field", "-",
       "Input Mesh -> Volume", "Volume -> Output Mesh", "Remesh: Input Mesh -> Volume -> Output Mesh"},
      {"Open", "Save As ...", "-", "Options", "-", "Show Window"},
      {"Clear"},
  };
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(menus[i]->text(), titles[i]);
    ASSERT_NE(menus[i]->menu(), nullptr);
    EXPECT_EQ(captionsOf(menus[i]->menu()), items[i]) << titles[i].toStdString();
  }
  EXPECT_TRUE(window().actionDetectSharpFeatures()->isCheckable());
  EXPECT_TRUE(window().actionDetectSharpFeatures()->isChecked());
  EXPECT_TRUE(window().actionExactDistanceField()->isCheckable());
  EXPECT_FALSE(window().actionExactDistanceField()->isChecked());
  EXPECT_EQ(window().laStatus->text(), QStringLiteral("Status"));
}

TEST_F(MainWindowTest, FirstShowWiresAndTiles) {
  EXPECT_FALSE(controller().DetectSharpFeatures) << "the controller starts with the switch off";
  window().show();
  EXPECT_TRUE(controller().DetectSharpFeatures) << "first show matches the check mark";
  EXPECT_EQ(app->Objects.InputMeshNode.getStorage(), &controller().getInputMesh());
  EXPECT_EQ(app->Objects.OutputMeshNode.getStorage(), &controller().getOutputMesh());
  EXPECT_EQ(app->FGLFormInputMesh.getView().rootNode, &app->Objects.InputMeshNode);
  EXPECT_EQ(app->FGLFormOutputMesh.getView().rootNode, &app->Objects.OutputMeshNode);
  EXPECT_EQ(app->FPolygonStorageNodeOptions.getNode(), &app->Objects.InputMeshNode);
  EXPECT_EQ(app->FPolygonStorageNodeOptions1.getNode(), &app->Objects.OutputMeshNode);
  EXPECT_EQ(app->FGLFormInputMesh.windowTitle(), QStringLiteral("Input Mesh"));
  EXPECT_EQ(app->FGLFormOutputMesh.windowTitle(), QStringLiteral("Output Mesh"));
  EXPECT_EQ(app->FPolygonStorageNodeOptions.windowTitle(), QStringLiteral("Input Mesh Options"));
  EXPECT_EQ(app->FPolygonStorageNodeOptions1.windowTitle(), QStringLiteral("Output Mesh Options"));
  EXPECT_TRUE(app->FGLFormInputMesh.isVisible());
  EXPECT_TRUE(app->FGLFormOutputMesh.isVisible());
  EXPECT_FALSE(app->FPolygonStorageNodeOptions.isVisible());

  const QRect area = window().screen()->availableGeometry();
  const int w = area.width() / 2, h = area.height();
  EXPECT_EQ(window().frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_EQ(window().frameGeometry().size(), QSize(w, h));
  EXPECT_EQ(app->FGLFormInputMesh.frameGeometry(), QRect(w, 0, w, h / 2));
  EXPECT_EQ(app->FGLFormOutputMesh.frameGeometry(), QRect(w, h / 2, w, h / 2));
  EXPECT_EQ(window().ProgressBar1->width(), window().frameGeometry().width() / 3);

  // Camera as after showing: centred, distance 100.
  EXPECT_EQ(app->FGLFormInputMesh.getView().distance, 100.0f);

  // The check item toggles and passes its state on.
  window().actionDetectSharpFeatures()->trigger();
  EXPECT_FALSE(window().actionDetectSharpFeatures()->isChecked());
  EXPECT_FALSE(controller().DetectSharpFeatures);
  window().actionDetectSharpFeatures()->trigger();
  EXPECT_TRUE(controller().DetectSharpFeatures);

  // The exact-distance item starts unchecked with the controller's switch off, and toggles it.
  EXPECT_FALSE(controller().getExactDistance());
  window().actionExactDistanceField()->trigger();
  EXPECT_TRUE(window().actionExactDistanceField()->isChecked());
  EXPECT_TRUE(controller().getExactDistance());
  window().actionExactDistanceField()->trigger();
  EXPECT_FALSE(controller().getExactDistance());
}

TEST_F(MainWindowTest, MaximumVoxelsBox) {
  window().show();
  dialogs.TextAnswers = {QStringLiteral("0"), QStringLiteral("-5"), QStringLiteral("abc"), QStringLiteral("2500"),
                         std::nullopt};
  window().setMaximumNumberOfVoxels();
  ASSERT_EQ(dialogs.Queries.size(), 1u);
  EXPECT_EQ(dialogs.Queries[0].caption, QStringLiteral("Volume Size"));
  EXPECT_EQ(dialogs.Queries[0].prompt, QStringLiteral("Desired maximum number of voxels"));
  EXPECT_EQ(dialogs.Queries[0].defaultText, QStringLiteral("100000"));
  EXPECT_EQ(controller().getMaxVoxels(), 100000) << "0 is ignored";
  window().setMaximumNumberOfVoxels();
  EXPECT_EQ(controller().getMaxVoxels(), 100000) << "-5 is ignored";
  EXPECT_TRUE(dialogs.Messages.isEmpty()) << "silently";
  window().setMaximumNumberOfVoxels();
  EXPECT_EQ(controller().getMaxVoxels(), 100000) << "abc changes nothing";
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_EQ(dialogs.Messages[0], QStringLiteral("'abc' is not a valid integer value"));
  window().setMaximumNumberOfVoxels();
  EXPECT_EQ(controller().getMaxVoxels(), 2500);
  window().setMaximumNumberOfVoxels();  // cancelled: the default text is applied again
  EXPECT_EQ(dialogs.Queries.back().defaultText, QStringLiteral("2500"));
  EXPECT_EQ(controller().getMaxVoxels(), 2500);
}

TEST_F(MainWindowTest, ThresholdBox) {
  window().show();
  dialogs.TextAnswers = {QStringLiteral("2"), QStringLiteral("-1"), QStringLiteral("xyz"), QStringLiteral("0.123456"),
                         std::nullopt};
  window().setThresholdPsi();
  ASSERT_EQ(dialogs.Queries.size(), 1u);
  EXPECT_EQ(dialogs.Queries[0].caption, QStringLiteral("Theshold value for sharp edges"));
  EXPECT_EQ(dialogs.Queries[0].prompt, QStringLiteral("Value for cos(alpha) for sharp edges"));
  EXPECT_EQ(dialogs.Queries[0].defaultText, QStringLiteral("0.3"));
  EXPECT_EQ(controller().getThresholdPsi(), 2.0f) << "no range check";
  window().setThresholdPsi();
  EXPECT_EQ(controller().getThresholdPsi(), -1.0f);
  window().setThresholdPsi();
  EXPECT_EQ(controller().getThresholdPsi(), -1.0f) << "xyz changes nothing";
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_EQ(dialogs.Messages[0], QStringLiteral("'xyz' is not a valid floating point value"));
  window().setThresholdPsi();
  EXPECT_EQ(controller().getThresholdPsi(), 0.123456f);
  window().setThresholdPsi();  // cancelled: the 4-digit default is stored
  EXPECT_EQ(dialogs.Queries.back().defaultText, QStringLiteral("0.1235"));
  EXPECT_EQ(controller().getThresholdPsi(), 0.1235f);
}

TEST_F(MainWindowTest, OpenRemeshSave) {
  showAndOpenBox();
  EXPECT_TRUE(dialogs.Filters.back().startsWith(QStringLiteral("Meshes|*.ply *.stl *.obj *.off")));
  EXPECT_EQ(dialogs.PresetIndices.back(), 1);
  EXPECT_TRUE(logHasLine(QStringLiteral("Importing")));
  const PolygonStorage& input = controller().getInputMesh();
  EXPECT_NEAR(input.BBoxMax.x - input.BBoxMin.x, 46.0f, 0.01f) << "fitted into the 50 box";

  controller().setMaxVoxels(3000);
  window().remesh();
  EXPECT_TRUE(dialogs.Messages.isEmpty()) << dialogs.Messages.join(QLatin1Char('\n')).toStdString();
  const PolygonStorage& output = controller().getOutputMesh();
  EXPECT_GT(output.Polygons.size(), 20u);
  for (const char* stage : {"Voxelization", "Marching", "Constructing Dual Surface", "Reducing polygon degree",
                            "Removing rhombus polygons", "Smoothing"})
    EXPECT_TRUE(logHasLine(QString::fromLatin1(stage))) << stage;
  const QStringList lines = logText().split(QLatin1Char('\n'));
  EXPECT_EQ(lines.count(QStringLiteral("--------------- begin ")), lines.count(QStringLiteral("--------------- end")));
  EXPECT_FALSE(log.isBusy());

  // Each filter index chooses its writer whatever the typed extension.
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("out.ply"), 3},
                         ScriptedDialogs::FileAnswer{path("obj-really.ply"), 2},
                         ScriptedDialogs::FileAnswer{path("deck.pc"), 1},
                         ScriptedDialogs::FileAnswer{path("nothing.ply"), 4}, std::nullopt};
  for (int i = 0; i < 5; ++i) window().saveOutputMesh();
  EXPECT_EQ(dialogs.Filters.back(), QStringLiteral("*.pc|*.pc|*.obj|*.obj|*.ply|*.ply"));
  EXPECT_EQ(dialogs.Extensions.back(), QStringLiteral("pc"));
  const std::string ply = readFile(path("out.ply"));
  EXPECT_EQ(ply.rfind("ply\n", 0), 0u);
  const std::string obj = readFile(path("obj-really.ply"));
  EXPECT_NE(obj.find("\nv "), std::string::npos) << "OBJ text under a .ply name";
  EXPECT_EQ(obj.find("end_header"), std::string::npos);
  const std::string deck = readFile(path("deck.pc"));
  EXPECT_FALSE(deck.empty());
  EXPECT_EQ(deck.find("end_header"), std::string::npos);
  EXPECT_EQ(deck.find("\nv "), std::string::npos);
  EXPECT_FALSE(fileExists(path("nothing.ply"))) << "an unknown filter index writes nothing";

  // The output lies where the input was, in file coordinates.
  for (const auto& v : plyVertices(ply)) {
    EXPECT_GT(v[0], 9.5);
    EXPECT_LT(v[0], 12.5);
    EXPECT_GT(v[1], -3.5);
    EXPECT_LT(v[1], -1.5);
  }
}

TEST_F(MainWindowTest, OutputMeshOpenedAndSavedKeepsFileCoordinates) {
  window().show();
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{boxFile, 1}, ScriptedDialogs::FileAnswer{path("again.ply"), 3}};
  window().openOutputMesh();
  ASSERT_EQ(controller().getOutputMesh().Vertices.size(), 8u);
  EXPECT_TRUE(controller().getInputMesh().Vertices.empty());
  window().saveOutputMesh();
  const auto vertices = plyVertices(readFile(path("again.ply")));
  const double expected[8][3] = {{10, -3, 5},   {12, -3, 5},   {12, -2, 5},   {10, -2, 5},
                                 {10, -3, 6.5}, {12, -3, 6.5}, {12, -2, 6.5}, {10, -2, 6.5}};
  ASSERT_EQ(vertices.size(), 8u);
  for (int i = 0; i < 8; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(vertices[i][k], expected[i][k], 1e-4) << "vertex " << i << " axis " << k;
}

TEST_F(MainWindowTest, FailedOpenAndSaveLoseNothing) {
  showAndOpenBox();
  const std::size_t before = controller().getInputMesh().Polygons.size();
  const QString badFile = path("bad.ply");
  std::ofstream(badFile.toStdString()) << "ply\nformat ascii 1.0\nelement vertex 3\nend_header\n1 2\n";
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{badFile, 1}, ScriptedDialogs::FileAnswer{path("missing.ply"), 1}};
  window().openInputMesh();
  window().openInputMesh();
  EXPECT_EQ(controller().getInputMesh().Polygons.size(), before);
  ASSERT_EQ(dialogs.Messages.size(), 2);
  EXPECT_TRUE(dialogs.Messages[0].contains(QStringLiteral("bad.ply"))) << dialogs.Messages[0].toStdString();
  EXPECT_TRUE(logHasLine(dialogs.Messages[0])) << "the error is in the log too";
  EXPECT_TRUE(logHasLine(dialogs.Messages[1]));
  EXPECT_FALSE(log.isBusy()) << "an interrupted task is closed";
  EXPECT_EQ(window().laStatus->text(), QString());

  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("no-such-dir/x.ply"), 3}};
  window().saveInputMesh();
  EXPECT_EQ(dialogs.Messages.size(), 3);

  // Cancelled dialogs do nothing.
  window().openInputMesh();
  window().saveInputMesh();
  window().openVolume();
  window().saveVolume();
  EXPECT_EQ(dialogs.Messages.size(), 3);
  EXPECT_EQ(controller().getInputMesh().Polygons.size(), before);
}

TEST_F(MainWindowTest, VolumeFileRoundTripAndRefusal) {
  showAndOpenBox();
  controller().setMaxVoxels(2000);
  window().volumeFromInputMesh();
  ASSERT_TRUE(dialogs.Messages.isEmpty()) << dialogs.Messages.join(QLatin1Char('\n')).toStdString();
  const int nx = controller().Volume.XSize;
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{path("v.vol"), 1}};
  window().saveVolume();
  EXPECT_EQ(dialogs.Filters.back(), QStringLiteral("*.vol|*.vol"));
  EXPECT_EQ(dialogs.Extensions.back(), QStringLiteral("vol"));
  ASSERT_TRUE(fileExists(path("v.vol")));

  const QString junk = path("junk.vol");
  std::ofstream(junk.toStdString()) << "not a volume";
  dialogs.FileAnswers = {ScriptedDialogs::FileAnswer{junk, 1}, ScriptedDialogs::FileAnswer{path("v.vol"), 1}};
  window().openVolume();
  EXPECT_EQ(dialogs.Messages.size(), 1) << "a bad volume file is reported";
  EXPECT_EQ(controller().Volume.XSize, nx) << "and changes nothing";
  window().openVolume();
  EXPECT_EQ(dialogs.Messages.size(), 1);
  window().outputMeshFromVolume();
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 0u);
}

TEST_F(MainWindowTest, RemeshWithoutInputIsReported) {
  window().show();
  window().remesh();
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_TRUE(logHasLine(dialogs.Messages[0]));
}

TEST_F(MainWindowTest, StartupFileAndClearLog) {
  window().setStartupFile(boxFile);
  window().show();
  EXPECT_EQ(controller().getInputMesh().Vertices.size(), 8u);
  EXPECT_FALSE(logText().isEmpty());
  window().clearLog();
  EXPECT_TRUE(logText().isEmpty());
}

TEST_F(MainWindowTest, ShowCommandsAndOptionsDialog) {
  window().show();
  app->FGLFormInputMesh.hide();
  window().showInputWindow();
  EXPECT_TRUE(app->FGLFormInputMesh.isVisible());
  PolygonStorageNode& node = app->Objects.OutputMeshNode;
  node.setDrawAttrVertices(true);
  node.setDrawLines(false);
  window().showOutputOptions();
  TFPolygonStorageNodeOptions& options = app->FPolygonStorageNodeOptions1;
  EXPECT_TRUE(options.isVisible());
  EXPECT_FALSE(options.isModal());
  EXPECT_TRUE(options.cbDrawAttrVertices->isChecked()) << "check boxes follow the node when shown";
  EXPECT_FALSE(options.cbDrawLines->isChecked());
  options.cbDrawFaces->setChecked(false);
  EXPECT_FALSE(node.getDrawFaces());
  options.edLineThickness->setValue(0);
  EXPECT_EQ(node.lineWidth, 0.0f);
  options.cbVisible->setChecked(false);
  EXPECT_FALSE(node.getVisible());
  window().showInputOptions();
  EXPECT_TRUE(app->FPolygonStorageNodeOptions.isVisible());
}

TEST_F(MainWindowTest, OptionsDialogIdBoxes) {
  showAndOpenBox();
  TFPolygonStorageNodeOptions& options = app->FPolygonStorageNodeOptions;
  const int linesBefore = static_cast<int>(logText().split(QLatin1Char('\n')).size());
  dialogs.TextAnswers = {QStringLiteral("abc"), std::nullopt, QStringLiteral("-1")};
  options.printPolygon();
  ASSERT_EQ(dialogs.Queries.size(), 1u);
  EXPECT_EQ(dialogs.Queries[0].caption, QStringLiteral("Print polygon with id"));
  EXPECT_EQ(dialogs.Queries[0].prompt, QStringLiteral("Polygon ID"));
  EXPECT_EQ(dialogs.Queries[0].defaultText, QStringLiteral("-1"));
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_EQ(dialogs.Messages[0], QStringLiteral("'abc' is not a valid integer value"));
  options.printVertex();  // cancelled
  EXPECT_EQ(dialogs.Queries.back().caption, QStringLiteral("Print vertex with id"));
  EXPECT_EQ(dialogs.Queries.back().prompt, QStringLiteral("Vertex ID"));
  options.printPolygon();  // -1
  EXPECT_EQ(static_cast<int>(logText().split(QLatin1Char('\n')).size()), linesBefore) << "nothing printed";

  dialogs.TextAnswers = {QStringLiteral("0")};
  options.printPolygon();
  EXPECT_GT(static_cast<int>(logText().split(QLatin1Char('\n')).size()), linesBefore);
  options.printStats();
  options.checkIndex();
  options.smooth();
  EXPECT_EQ(dialogs.Messages.size(), 1);
}

TEST_F(MainWindowTest, WithoutOpenGLTheViewsStayHidden) {
  window().setViewsAvailable(false);
  window().setStartupFile(boxFile);
  window().show();
  EXPECT_FALSE(app->FGLFormInputMesh.isVisible());
  EXPECT_FALSE(app->FGLFormOutputMesh.isVisible());
  ASSERT_EQ(dialogs.Messages.size(), 1);
  EXPECT_EQ(dialogs.Messages[0], QStringLiteral(":-)~ hrc == NULL"));
  EXPECT_TRUE(logHasLine(QStringLiteral(":-)~ hrc == NULL")));
  window().showInputWindow();
  window().showOutputWindow();
  EXPECT_FALSE(app->FGLFormInputMesh.isVisible());
  // The commands work without views.
  EXPECT_EQ(controller().getInputMesh().Vertices.size(), 8u);
  controller().setMaxVoxels(2000);
  window().remesh();
  EXPECT_EQ(dialogs.Messages.size(), 1);
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 0u);
}
