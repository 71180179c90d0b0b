#pragma once

#include "base/FlagInterrupter.h"

#include <QMainWindow>

#include <functional>

struct GlobalObjects;
class MyOutput;
namespace tessellor {
class PolygonStorage;
class QuadDominantTessellor;
}  // namespace tessellor

using namespace tessellor;
class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QShortcut;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class TFGLForm;
class TFPolygonStorageNodeOptions;
class UserDialogs;

// The main window: the command menu over the controller, the log and the status bar. Holds no
// pipeline state of its own. A command's pipeline step or file transfer runs on a worker thread
// while the windows keep answering; the command returns when it is done. Meanwhile the commands
// that would conflict with it are disabled, and Cancel (or Esc) stops a step or a read: the
// log says "Cancelled" and the meshes, the volume and the files stay as they were.
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
  // A mesh to open as the input mesh once the window is first on screen (from the command line).
  void setStartupFile(const QString& fileName) { StartupFile = fileName; }
  bool hasPendingStartupFile() const { return !StartupFile.isEmpty(); }
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
  // The two mode items are exclusive; with neither checked the classic mode runs.
  void setExactDistance(bool on);
  void setRobustInsideOutside(bool on);
  void volumeFromInputMesh();
  void outputMeshFromVolume();
  void remesh();
  void openOutputMesh();
  void saveOutputMesh();
  // Removes the output mesh's emptied polygons and unused vertices in place (logged).
  void removeUnusedOutputEntries();
  void showOutputOptions();
  void showOutputWindow();
  void fitInputMesh();
  void fitOutputMesh();
  void clearLog();
  // Stops the running work (Cancel button, Esc); nothing happens when none runs.
  void cancel();
  bool isBusy() const { return Busy; }

  // Reads fileName into the input mesh and fits it into the 50 x 50 x 50 box; false on failure
  // (reported, mesh unchanged).
  bool openInputMeshFile(const QString& fileName);
  bool openOutputMeshFile(const QString& fileName);
  // filterIndex as in the save dialog: 1 .pc deck, 2 OBJ, 3 PLY, 4 Abaqus .inp, 5 Nastran .bdf;
  // anything else writes nothing.
  bool saveMeshFile(PolygonStorage& mesh, const QString& fileName, int filterIndex);

  QAction* actionDetectSharpFeatures() const { return acDetectSharpFeatures; }
  QAction* actionExactDistanceField() const { return acExactDistanceField; }
  QMenu* recentFilesMenu() const { return RecentMenu; }
  QAction* actionRobustInsideOutside() const { return acRobustInsideOutside; }

  QFrame* Panel3 = nullptr;
  QPlainTextEdit* meOut = nullptr;
  QFrame* Panel1 = nullptr;
  QFrame* pnBusy = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* laStatus = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* bnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Closing while work runs stops it first; the window closes when it has ended.
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  void buildMenu();
  void formShow();
  bool openMeshFile(PolygonStorage& mesh, const QString& fileName);
  void saveMesh(PolygonStorage& mesh);
  void fillRecentFilesMenu();
  void openStartupFile();
  // Runs a command; errors end it with a log line and a message box, a cancel with "Cancelled".
  template <class Command>
  bool guarded(Command command);
  // Runs work on the worker thread (see BackgroundJob) with the conflicting commands disabled;
  // cancellable work that was asked to stop throws Cancelled, even when it had finished.
  void runInBackground(bool cancellable, const std::function<void()>& work);
  void setBusy(bool busy, bool cancellable);
  // What a pipeline step may change.
  enum StepParts { InputPart = 1, VolumePart = 2, OutputPart = 4 };
  // Runs a step of the controller in the background. The parts it may change are set aside (the
  // views draw them meanwhile) and put back when it fails or is cancelled.
  bool runPipelineStep(int parts, void (QuadDominantTessellor::*step)());

  GlobalObjects& Objects;
  MyOutput& LogOutput;
  UserDialogs& Dialogs;
  TFGLForm* FGLFormInputMesh = nullptr;
  TFGLForm* FGLFormOutputMesh = nullptr;
  TFPolygonStorageNodeOptions* FPolygonStorageNodeOptions = nullptr;
  TFPolygonStorageNodeOptions* FPolygonStorageNodeOptions1 = nullptr;
  QAction* acDetectSharpFeatures = nullptr;
  QAction* acExactDistanceField = nullptr;
  QMenu* RecentMenu = nullptr;
  QShortcut* EscapeShortcut = nullptr;
  // Disabled while work runs.
  QList<QAction*> ConflictingActions;
  FlagInterrupter Stop;
  bool Busy = false;
  bool CloseRequested = false;
  int StartupWaits = 0;
  QAction* acRobustInsideOutside = nullptr;
  bool Shown = false;
  bool ViewsAvailable = true;
  QString StartupFile;
};
