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
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRect>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

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
  // Shows the window with a file from the command line and waits until it is opened.
  void showWithStartupFile(const QString& file) {
    window().setStartupFile(file);
    window().show();
    QElapsedTimer clock;
    clock.start();
    while ((window().hasPendingStartupFile() || window().isBusy()) && clock.elapsed() < 30000)
      QCoreApplication::processEvents();
  }
  QAction* remeshItem() { return window().menuBar()->actions()[2]->menu()->actions().last(); }
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

// The bounding box of what the view draws: everything but the white background and the axes.
QRect drawnBox(TFGLForm& view) {
  const QImage image = view.grabFramebuffer();
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      const bool white = p.red() > 245 && p.green() > 245 && p.blue() > 245;
      const int high = (p.red() > 250) + (p.green() > 250) + (p.blue() > 250);
      const int low = (p.red() < 5) + (p.green() < 5) + (p.blue() < 5);
      if (!white && !(high == 1 && low == 2)) box |= QRect(x, y, 1, 1);
    }
  return box;
}

// The mesh fills most of the view in one direction, all of it in sight, around the middle.
void expectFramed(TFGLForm& view, const std::string& what) {
  const QRect box = drawnBox(view);
  const QSize size = view.grabFramebuffer().size();
  ASSERT_FALSE(box.isEmpty()) << what << ": nothing drawn";
  const double wide = static_cast<double>(box.width()) / size.width();
  const double high = static_cast<double>(box.height()) / size.height();
  EXPECT_GT(std::max(wide, high), 0.6) << what << ": " << wide << " x " << high << " of the view";
  EXPECT_TRUE(box.left() > 0 && box.top() > 0 && box.right() < size.width() - 1 && box.bottom() < size.height() - 1)
      << what << ": clipped at the edge";
  EXPECT_NEAR(box.center().x(), size.width() / 2, size.width() * 0.05) << what;
  EXPECT_NEAR(box.center().y(), size.height() / 2, size.height() * 0.05) << what;
}

}  // namespace

TEST_F(MainWindowTest, MenusFirstShowAndTiling) {
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Tessellor"));
  const QList<QAction*> menus = window().menuBar()->actions();
  const QList<QPair<QString, QStringList>> expected = {
      {"Input Mesh", {"Open", "Open Recent", "Save As ...", "-", "Options", "-", "Show Window", "Fit to Mesh"}},
      {"Volume", {"Open", "Save As ...", "-", "Set Maximum Number of Voxels"}},
      {"Remeshing",
       {"Detect Sharp Features and Edges", "Set Threshold Psi for Sharp Features", "Exact Distance Field",
        "Robust Inside/Outside", "-", "Input Mesh -> Volume", "Volume -> Output Mesh",
        "Remesh: Input Mesh -> Volume -> Output Mesh"}},
      {"Output Mesh",
       {"Open", "Save As ...", "Remove Unused Entries", "-", "Options", "-", "Show Window", "Fit to Mesh"}},
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
  window().actionDetectSharpFeatures()->trigger();
  EXPECT_FALSE(controller().DetectSharpFeatures);
  // The two mode items start unchecked with the controller classic, and exclude each other.
  QAction *exact = window().actionExactDistanceField(), *robust = window().actionRobustInsideOutside();
  const struct {
    QAction* Item;
    VoxelizationMode Mode;
  } steps[] = {{nullptr, VoxelizationMode::Classic}, {exact, VoxelizationMode::Exact},
               {robust, VoxelizationMode::Robust},   {exact, VoxelizationMode::Exact},
               {exact, VoxelizationMode::Classic},   {robust, VoxelizationMode::Robust},
               {robust, VoxelizationMode::Classic}};
  for (const auto& step : steps) {
    if (step.Item) step.Item->trigger();
    EXPECT_EQ(exact->isChecked(), step.Mode == VoxelizationMode::Exact);
    EXPECT_EQ(robust->isChecked(), step.Mode == VoxelizationMode::Robust);
    EXPECT_EQ(controller().getVoxelizationMode(), step.Mode);
  }
}

TEST_F(MainWindowTest, OpenRemeshSaveAndVolumeFilesKeepFileCoordinates) {
  showAndOpen("box.ply");
  EXPECT_TRUE(dialogs.Filters.back().startsWith(QStringLiteral("Meshes|*.ply *.stl *.obj *.off")));
  const PolygonStorage& input = controller().getInputMesh();
  EXPECT_NEAR(input.BBoxMax.x - input.BBoxMin.x, 46.0f, 0.01f) << "fitted into the 50 box";
  controller().setMaxVoxels(3000);
  window().remesh();
  EXPECT_TRUE(dialogs.Messages.isEmpty()) << dialogs.Messages.join(QLatin1Char('\n')).toStdString();
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 20u);
  EXPECT_TRUE(logLines().contains(QStringLiteral("Smoothing")));
  EXPECT_EQ(logLines().count(QStringLiteral("--------------- begin ")),
            logLines().count(QStringLiteral("--------------- end")));
  // The filter index chooses the writer whatever the typed extension; an unknown one writes nothing.
  // Save As writes every entry, emptied polygons too.
  controller().getOutputMesh().deletePolygon(0);
  for (auto [name, filter] :
       {std::pair{"out.ply", 3}, {"obj-really.ply", 2}, {"deck.pc", 1}, {"abaqus.txt", 4}, {"nothing.ply", 6}})
    answer(name, filter);
  dialogs.FileAnswers.push_back(std::nullopt);
  for (int i = 0; i < 6; ++i) window().saveOutputMesh();
  EXPECT_EQ(dialogs.Filters.back() + dialogs.Extensions.back(),
            QStringLiteral("*.pc|*.pc|*.obj|*.obj|*.ply|*.ply|*.inp|*.inp|*.bdf|*.bdfpc"));
  EXPECT_EQ(read("out.ply").rfind("ply\n", 0), 0u);
  EXPECT_NE(read("out.ply").find("\n0\n"), std::string::npos) << "the emptied polygon";
  EXPECT_EQ(read("obj-really.ply").rfind("v ", 0), 0u) << "OBJ text under a .ply name";
  EXPECT_EQ(read("deck.pc").rfind("MATER /", 0), 0u);
  EXPECT_EQ(read("abaqus.txt").rfind("*HEADING\n", 0), 0u);
  EXPECT_FALSE(QFile::exists(path("nothing.ply")));
  // Remove Unused Entries compacts the output mesh in place, with its own task in the log.
  const std::size_t entries = controller().getOutputMesh().Polygons.size();
  window().removeUnusedOutputEntries();
  EXPECT_TRUE(logLines().contains(QStringLiteral("Removing unused entries")));
  EXPECT_LT(controller().getOutputMesh().Polygons.size(), entries);
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
  // A file dropped on the output view opens as the output mesh.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path("box.ply"))});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&app->FGLFormOutputMesh, &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&app->FGLFormOutputMesh, &drop);
  EXPECT_EQ(controller().getOutputMesh().Vertices.size(), 8u);
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
// Opened from the command line and remeshed from the menu, a mesh off the origin (and a scan) is
// in sight and centred in both views without any navigation.
TEST_F(MainWindowTest, OpenedAndRemeshedMeshesAreFramedInTheirViews) {
  const QString bunny = QString::fromLatin1(TESSELLOR_SHARED_DIR "/meshes/bunny.ply");
  for (const QString& file : {path("box.ply"), bunny}) {
    if (!QFileInfo::exists(file)) continue;
    app.reset();
    app = std::make_unique<TessellorApplication>(log, dialogs);
    showWithStartupFile(file);
    const std::string name = QFileInfo(file).fileName().toStdString();
    expectFramed(app->FGLFormInputMesh, name + " opened");
    remeshItem()->trigger();
    ASSERT_TRUE(dialogs.Messages.isEmpty()) << dialogs.Messages.join(QLatin1Char('\n')).toStdString();
    expectFramed(app->FGLFormInputMesh, name + " in the voxel frame");
    expectFramed(app->FGLFormOutputMesh, name + " remeshed");
  }
}

// While a long remesh runs, timer events arrive with the conflicting commands off and Cancel on;
// Esc in the output view cancels, which is no error and leaves meshes, volume and the view's
// camera as they were; the stop request is spent: the next commands go through.
TEST_F(MainWindowTest, LongRemeshKeepsTheWindowAnsweringAndCancelChangesNothing) {
  showAndOpen("box.ply");
  controller().setMaxVoxels(3000);
  window().remesh();
  TFGLForm& outputView = app->FGLFormOutputMesh;
  auto state = [&] {
    std::vector<float> values{controller().Volume.Voxels.size() * 1.0f, outputView.getView().distance,
                              outputView.getView().center[0], controller().getMCMesh().Polygons.size() * 1.0f};
    for (const PolygonStorage* mesh : {&controller().getInputMesh(), &controller().getOutputMesh()})
      for (const Vertex& v : mesh->Vertices) values.insert(values.end(), {v.pos.x, v.pos.y, v.pos.z});
    return values;
  };
  const std::vector<float> before = state();
  controller().setMaxVoxels(4000000);
  int ticks = 0;
  bool disabledWhileRunning = true;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!window().isBusy()) return;
    disabledWhileRunning = disabledWhileRunning && !remeshItem()->isEnabled() && window().bnCancel->isEnabled();
    if (++ticks == 3) QTest::keyClick(&outputView, Qt::Key_Escape);
  });
  outputView.activateWindow();  // keys go to the active window
  ASSERT_TRUE(QTest::qWaitForWindowActive(&outputView));
  timer.start(10);
  remeshItem()->trigger();
  timer.stop();
  EXPECT_GE(ticks, 3) << "timer events while it ran";
  EXPECT_TRUE(disabledWhileRunning);
  EXPECT_EQ(logLines().last(), QStringLiteral("Cancelled"));
  EXPECT_TRUE(dialogs.Messages.isEmpty()) << "a cancel is not an error";
  EXPECT_TRUE(remeshItem()->isEnabled() && !window().bnCancel->isEnabled() && !log.isBusy());
  EXPECT_TRUE(state() == before);
  EXPECT_EQ(app->Objects.OutputMeshNode.getStorage(), &controller().getOutputMesh());
  app->FPolygonStorageNodeOptions1.smooth();
  controller().setMaxVoxels(3000);
  window().remesh();
  EXPECT_TRUE(dialogs.Messages.isEmpty());
  EXPECT_EQ(logLines().last(), QStringLiteral("--------------- end"));
}

TEST_F(MainWindowTest, WithoutOpenGLTheViewsStayHiddenAndTheCommandsWork) {
  window().setViewsAvailable(false);
  showWithStartupFile(path("box.ply"));
  EXPECT_FALSE(app->FGLFormInputMesh.isVisible() || app->FGLFormOutputMesh.isVisible());
  expectReported(1, ":-)~ hrc == NULL");
  window().showInputWindow();
  EXPECT_FALSE(app->FGLFormInputMesh.isVisible());
  controller().setMaxVoxels(2000);
  window().remesh();
  EXPECT_EQ(dialogs.Messages.size(), 1);
  EXPECT_GT(controller().getOutputMesh().Polygons.size(), 0u);
}
