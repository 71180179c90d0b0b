#pragma once

#include <QMainWindow>

struct GlobalObjects;
class MyOutput;
namespace tessellor {
class PolygonStorage;
}

using namespace tessellor;
class QAction;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class TFGLForm;
class TFPolygonStorageNodeOptions;
class UserDialogs;

// The main window: the command menu over the controller, the log and the status bar. Holds no
// pipeline state of its own; every command runs to completion before it returns.
class TFMainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static const char* const MeshOpenFilter;
  static const char* const MeshSaveFilter;
  static const char* const VolumeFilter;

  TFMainWindow(GlobalObjects& objects, MyOutput& log, UserDialogs& dialogs, QWidget* parent = nullptr);
  ~TFMainWindow() override;

  // The windows wired at first show.
  void setSecondaryWindows(TFGLForm* inputView, TFGLForm* outputView, TFPolygonStorageNodeOptions* inputOptions,
                           TFPolygonStorageNodeOptions* outputOptions);
  // A mesh to open as the input mesh right after the first show (from the command line).
  void setStartupFile(const QString& fileName) { StartupFile = fileName; }
  // Without OpenGL the view windows cannot be shown (the toolkit fails when it composes them);
  // the first show then reports the missing rendering context instead of showing them.
  void setViewsAvailable(bool available) { ViewsAvailable = available; }

  // Menu commands.
  void openInputMesh();
  void saveInputMesh();
  void showInputOptions();
  void showInputWindow();
  void openVolume();
  void saveVolume();
  void setMaximumNumberOfVoxels();
  void setDetectSharpFeatures(bool on);
  void setThresholdPsi();
  void setExactDistance(bool on);
  void volumeFromInputMesh();
  void outputMeshFromVolume();
  void remesh();
  void openOutputMesh();
  void saveOutputMesh();
  // Removes the output mesh's emptied polygons and unused vertices in place (logged).
  void removeUnusedOutputEntries();
  void showOutputOptions();
  void showOutputWindow();
  void clearLog();

  // Reads fileName into the input mesh and fits it into the 50 x 50 x 50 box; false on failure
  // (reported, mesh unchanged).
  bool openInputMeshFile(const QString& fileName);
  bool openOutputMeshFile(const QString& fileName);
  // filterIndex as in the save dialog: 1 .pc deck, 2 OBJ, 3 PLY, 4 Abaqus .inp, 5 Nastran .bdf;
  // anything else writes nothing.
  bool saveMeshFile(PolygonStorage& mesh, const QString& fileName, int filterIndex);

  QAction* actionDetectSharpFeatures() const { return acDetectSharpFeatures; }
  QAction* actionExactDistanceField() const { return acExactDistanceField; }

  QFrame* Panel3 = nullptr;
  QPlainTextEdit* meOut = nullptr;
  QFrame* Panel1 = nullptr;
  QFrame* pnBusy = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* laStatus = nullptr;
  QProgressBar* ProgressBar1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildControls();
  void buildMenu();
  void formShow();
  bool openMeshFile(PolygonStorage& mesh, const QString& fileName);
  void saveMesh(PolygonStorage& mesh);
  // Runs a command; errors end it with a log line and a message box.
  template <class Command>
  bool guarded(Command command);

  GlobalObjects& Objects;
  MyOutput& LogOutput;
  UserDialogs& Dialogs;
  TFGLForm* FGLFormInputMesh = nullptr;
  TFGLForm* FGLFormOutputMesh = nullptr;
  TFPolygonStorageNodeOptions* FPolygonStorageNodeOptions = nullptr;
  TFPolygonStorageNodeOptions* FPolygonStorageNodeOptions1 = nullptr;
  QAction* acDetectSharpFeatures = nullptr;
  QAction* acExactDistanceField = nullptr;
  bool Shown = false;
  bool ViewsAvailable = true;
  QString StartupFile;
};
