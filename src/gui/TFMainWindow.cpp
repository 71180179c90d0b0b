#include "TFMainWindow.h"

#include "tessellor/Tessellor.h"

#include "BackgroundJob.h"
#include "DroppedFile.h"
#include "GlobalObjects.h"
#include "InterruptingOutput.h"
#include "MyOutput.h"
#include "ProgramSettings.h"
#include "TFGLForm.h"
#include "TFPolygonStorageNodeOptions.h"
#include "TextConversion.h"
#include "UserDialogs.h"
#include "WindowTiling.h"
#include "base/TessellorError.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <new>
#include <utility>

using namespace tessellor;

// Every format readMesh reads, told by content; the extensions only steer the dialog's listing.
const char* const TFMainWindow::MeshOpenFilter =
    "Meshes|*.ply *.stl *.obj *.off *.PLY *.STL *.OBJ *.OFF|*.ply|*.ply|*.stl|*.stl|*.obj|*.obj|*.off|*.off|All "
    "files|*";
const char* const TFMainWindow::MeshSaveFilter = "*.pc|*.pc|*.obj|*.obj|*.ply|*.ply|*.inp|*.inp|*.bdf|*.bdf";
const char* const TFMainWindow::VolumeFilter = "*.vol|*.vol";

TFMainWindow::TFMainWindow(GlobalObjects& objects, MyOutput& log, UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), Objects(objects), LogOutput(log), Dialogs(dialogs) {
  setWindowTitle(QStringLiteral("Tessellor"));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  font.setBold(true);
  setFont(font);
  buildControls();
  buildMenu();
  LogOutput.attach(meOut, laStatus, pnBusy, ProgressBar1);
  setAcceptDrops(true);
  // Only while work runs, so that Esc keeps closing dialogs otherwise.
  EscapeShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  EscapeShortcut->setContext(Qt::ApplicationShortcut);
  EscapeShortcut->setEnabled(false);
  connect(EscapeShortcut, &QShortcut::activated, this, [this] { cancel(); });
}

TFMainWindow::~TFMainWindow() {
  // The controls die with the window; the status output must not reach them afterwards. The
  // views and dialogs are gone already (they were created after this window).
  LogOutput.attach(nullptr, nullptr, nullptr, nullptr);
  Objects.Controller.setStatusOutput(nullptr);
}

void TFMainWindow::buildControls() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  Panel3 = new QFrame(central);
  Panel3->setFixedHeight(25);
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* caption = new QLabel(QStringLiteral("Log File"), Panel3);
  caption->setAlignment(Qt::AlignCenter);
  (new QHBoxLayout(Panel3))->addWidget(caption);
  Panel3->layout()->setContentsMargins(0, 0, 0, 0);

  meOut = new QPlainTextEdit(central);
  QFont memoFont(QStringLiteral("Courier New"));
  memoFont.setStyleHint(QFont::Monospace);
  memoFont.setPixelSize(12);
  memoFont.setBold(false);
  meOut->setFont(memoFont);
  meOut->setReadOnly(true);
  meOut->setLineWrapMode(QPlainTextEdit::NoWrap);
  meOut->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  meOut->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  Panel1 = new QFrame(central);
  Panel1->setFixedHeight(21);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);
  Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Panel1->setLineWidth(1);
  auto* bar = new QHBoxLayout(Panel1);
  bar->setContentsMargins(1, 1, 1, 1);
  bar->setSpacing(0);

  pnBusy = new QFrame(Panel1);
  pnBusy->setFixedWidth(20);
  pnBusy->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnBusy->setAutoFillBackground(true);

  Panel2 = new QFrame(Panel1);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setLineWidth(2);
  Panel2->setAutoFillBackground(true);
  QPalette cream = Panel2->palette();
  cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
  Panel2->setPalette(cream);
  laStatus = new QLabel(QStringLiteral("Status"), Panel2);
  QFont statusFont(QStringLiteral("Arial"));
  statusFont.setPixelSize(12);
  statusFont.setBold(false);
  laStatus->setFont(statusFont);
  auto* statusLayout = new QHBoxLayout(Panel2);
  statusLayout->setContentsMargins(2, 0, 2, 0);
  statusLayout->addWidget(laStatus);

  ProgressBar1 = new QProgressBar(Panel1);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setFixedWidth(209);

  bnCancel = new QPushButton(QStringLiteral("Cancel"), Panel1);
  bnCancel->setFixedHeight(19);
  bnCancel->setEnabled(false);
  bnCancel->setToolTip(QStringLiteral("Stop the running step (Esc)"));
  connect(bnCancel, &QPushButton::clicked, this, [this] { cancel(); });

  bar->addWidget(pnBusy);
  bar->addWidget(Panel2, 1);
  bar->addWidget(bnCancel);
  bar->addWidget(ProgressBar1);

  column->addWidget(Panel3);
  column->addWidget(meOut, 1);
  column->addWidget(Panel1);
  setCentralWidget(central);
}

void TFMainWindow::buildMenu() {
  QMenuBar* menu = menuBar();
  auto conflicting = [this](QAction* action) {
    ConflictingActions << action;
    return action;
  };

  QMenu* input = menu->addMenu(QStringLiteral("Input Mesh"));
  conflicting(input->addAction(QStringLiteral("Open"), this, [this] { openInputMesh(); }));
  RecentMenu = input->addMenu(QStringLiteral("Open Recent"));
  conflicting(RecentMenu->menuAction());
  connect(RecentMenu, &QMenu::aboutToShow, this, [this] { fillRecentFilesMenu(); });
  conflicting(input->addAction(QStringLiteral("Save As ..."), this, [this] { saveInputMesh(); }));
  input->addSeparator();
  input->addAction(QStringLiteral("Options"), this, [this] { showInputOptions(); });
  input->addSeparator();
  input->addAction(QStringLiteral("Show Window"), this, [this] { showInputWindow(); });
  input->addAction(QStringLiteral("Fit to Mesh"), this, [this] { fitInputMesh(); });

  QMenu* volume = menu->addMenu(QStringLiteral("Volume"));
  conflicting(volume->addAction(QStringLiteral("Open"), this, [this] { openVolume(); }));
  conflicting(volume->addAction(QStringLiteral("Save As ..."), this, [this] { saveVolume(); }));
  volume->addSeparator();
  conflicting(
      volume->addAction(QStringLiteral("Set Maximum Number of Voxels"), this, [this] { setMaximumNumberOfVoxels(); }));

  QMenu* remeshing = menu->addMenu(QStringLiteral("Remeshing"));
  acDetectSharpFeatures = conflicting(remeshing->addAction(QStringLiteral("Detect Sharp Features and Edges")));
  acDetectSharpFeatures->setCheckable(true);
  acDetectSharpFeatures->setChecked(true);
  connect(acDetectSharpFeatures, &QAction::triggered, this, [this](bool on) { setDetectSharpFeatures(on); });
  conflicting(remeshing->addAction(QStringLiteral("Set Threshold Psi for Sharp Features"), this,
                                   [this] { setThresholdPsi(); }));
  // Both unchecked, as the controller starts in the classic mode.
  acExactDistanceField = conflicting(remeshing->addAction(QStringLiteral("Exact Distance Field")));
  acExactDistanceField->setCheckable(true);
  acExactDistanceField->setChecked(false);
  connect(acExactDistanceField, &QAction::triggered, this, [this](bool on) { setExactDistance(on); });
  acRobustInsideOutside = conflicting(remeshing->addAction(QStringLiteral("Robust Inside/Outside")));
  acRobustInsideOutside->setCheckable(true);
  acRobustInsideOutside->setChecked(false);
  connect(acRobustInsideOutside, &QAction::triggered, this, [this](bool on) { setRobustInsideOutside(on); });
  remeshing->addSeparator();
  conflicting(remeshing->addAction(QStringLiteral("Input Mesh -> Volume"), this, [this] { volumeFromInputMesh(); }));
  conflicting(remeshing->addAction(QStringLiteral("Volume -> Output Mesh"), this, [this] { outputMeshFromVolume(); }));
  conflicting(
      remeshing->addAction(QStringLiteral("Remesh: Input Mesh -> Volume -> Output Mesh"), this, [this] { remesh(); }));

  QMenu* output = menu->addMenu(QStringLiteral("Output Mesh"));
  conflicting(output->addAction(QStringLiteral("Open"), this, [this] { openOutputMesh(); }));
  conflicting(output->addAction(QStringLiteral("Save As ..."), this, [this] { saveOutputMesh(); }));
  conflicting(
      output->addAction(QStringLiteral("Remove Unused Entries"), this, [this] { removeUnusedOutputEntries(); }));
  output->addSeparator();
  output->addAction(QStringLiteral("Options"), this, [this] { showOutputOptions(); });
  output->addSeparator();
  output->addAction(QStringLiteral("Show Window"), this, [this] { showOutputWindow(); });
  output->addAction(QStringLiteral("Fit to Mesh"), this, [this] { fitOutputMesh(); });

  QMenu* log = menu->addMenu(QStringLiteral("Log File"));
  log->addAction(QStringLiteral("Clear"), this, [this] { clearLog(); });
}

void TFMainWindow::fillRecentFilesMenu() {
  RecentMenu->clear();
  for (const QString& file : ProgramSettings::recentFiles()) {
    if (!QFileInfo::exists(file)) {
      ProgramSettings::removeRecentFile(file);
      continue;
    }
    RecentMenu->addAction(file, this, [this, file] { openInputMeshFile(file); });
  }
  if (RecentMenu->isEmpty()) RecentMenu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void TFMainWindow::setSecondaryWindows(TFGLForm* inputView, TFGLForm* outputView,
                                       TFPolygonStorageNodeOptions* inputOptions,
                                       TFPolygonStorageNodeOptions* outputOptions) {
  FGLFormInputMesh = inputView;
  FGLFormOutputMesh = outputView;
  FPolygonStorageNodeOptions = inputOptions;
  FPolygonStorageNodeOptions1 = outputOptions;
}

void TFMainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (Shown) return;
  Shown = true;
  formShow();
}

void TFMainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ProgressBar1->setFixedWidth(frameGeometry().width() / 3);
}

void TFMainWindow::closeEvent(QCloseEvent* event) {
  if (Busy) {
    CloseRequested = true;
    cancel();
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
  // The program ends with this window: the views and dialogs must not keep it running.
  for (QWidget* window : std::initializer_list<QWidget*>{FGLFormInputMesh, FGLFormOutputMesh,
                                                         FPolygonStorageNodeOptions, FPolygonStorageNodeOptions1})
    if (window != nullptr) window->close();
}

void TFMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!Busy && !droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFMainWindow::dropEvent(QDropEvent* event) {
  const QString file = droppedFile(event->mimeData());
  if (Busy || file.isEmpty()) return;
  event->acceptProposedAction();
  openInputMeshFile(file);
}

void TFMainWindow::formShow() {
  QuadDominantTessellor& controller = Objects.Controller;
  controller.setStatusOutput(&LogOutput);
  controller.setInterrupter(&Stop);
  Objects.InputMeshNode.setStorage(&controller.getInputMesh());
  Objects.OutputMeshNode.setStorage(&controller.getOutputMesh());
  // The check mark is shown from the start, so the controller starts with the switch on too.
  controller.setDetectSharpFeatures(acDetectSharpFeatures->isChecked());

  if (FPolygonStorageNodeOptions != nullptr) {
    FPolygonStorageNodeOptions->setNode(&Objects.InputMeshNode);
    FPolygonStorageNodeOptions->setWindowTitle(QStringLiteral("Input Mesh Options"));
    FPolygonStorageNodeOptions->setStatusOutput(&LogOutput);
    connect(FPolygonStorageNodeOptions, &TFPolygonStorageNodeOptions::drawingChanged, this, [this] {
      if (FGLFormInputMesh != nullptr) FGLFormInputMesh->redraw();
    });
  }
  if (FPolygonStorageNodeOptions1 != nullptr) {
    FPolygonStorageNodeOptions1->setNode(&Objects.OutputMeshNode);
    FPolygonStorageNodeOptions1->setWindowTitle(QStringLiteral("Output Mesh Options"));
    FPolygonStorageNodeOptions1->setStatusOutput(&LogOutput);
    connect(FPolygonStorageNodeOptions1, &TFPolygonStorageNodeOptions::drawingChanged, this, [this] {
      if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->redraw();
    });
  }
  if (FGLFormInputMesh != nullptr) {
    FGLFormInputMesh->setWindowTitle(QStringLiteral("Input Mesh"));
    FGLFormInputMesh->getView().setRootNode(&Objects.InputMeshNode);
    FGLFormInputMesh->setStatusOutput(&LogOutput);
    connect(FGLFormInputMesh, &TFGLForm::fileDropped, this, [this](const QString& file) {
      if (!Busy) openInputMeshFile(file);
    });
  }
  if (FGLFormOutputMesh != nullptr) {
    FGLFormOutputMesh->setWindowTitle(QStringLiteral("Output Mesh"));
    FGLFormOutputMesh->getView().setRootNode(&Objects.OutputMeshNode);
    FGLFormOutputMesh->setStatusOutput(&LogOutput);
    connect(FGLFormOutputMesh, &TFGLForm::fileDropped, this, [this](const QString& file) {
      if (!Busy) openOutputMeshFile(file);
    });
  }

  const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const WindowTiling tiling = WindowTiling::forWorkArea(area.width(), area.height());
  // Bounds are outer bounds. The window system adds its frame around the client area, and it
  // knows the frame's size only once a window is shown, so the views are placed again after.
  auto place = [](QWidget* window, const QRect& bounds) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->move(bounds.topLeft());
    window->resize(std::max(1, bounds.width() - frame.width()), std::max(1, bounds.height() - frame.height()));
  };
  place(this, tiling.mainWindow);
  if (FGLFormInputMesh != nullptr) place(FGLFormInputMesh, tiling.inputView);
  if (FGLFormOutputMesh != nullptr) place(FGLFormOutputMesh, tiling.outputView);
  if (!ViewsAvailable) {
    LogOutput.writeLine(":-)~ hrc == NULL");
    Dialogs.showMessage(this, QStringLiteral(":-)~ hrc == NULL"));
  } else {
    showInputWindow();
    if (FGLFormInputMesh != nullptr) place(FGLFormInputMesh, tiling.inputView);
    showOutputWindow();
    if (FGLFormOutputMesh != nullptr) place(FGLFormOutputMesh, tiling.outputView);
  }

  if (!StartupFile.isEmpty()) QTimer::singleShot(0, this, [this] { openStartupFile(); });
}

void TFMainWindow::openStartupFile() {
  // Once the window is on screen, so that a message about the file has the window behind it.
  const QWindow* handle = windowHandle();
  if (handle != nullptr && !handle->isExposed() && ++StartupWaits < 100) {
    QTimer::singleShot(20, this, [this] { openStartupFile(); });
    return;
  }
  const QString file = StartupFile;
  StartupFile.clear();
  if (!file.isEmpty()) openInputMeshFile(file);
}

template <class Command>
bool TFMainWindow::guarded(Command command) {
  QString message;
  try {
    command();
    return true;
  } catch (const Cancelled& stop) {
    LogOutput.finishOpenTask();
    LogOutput.writeLine(stop.what());
    return false;
  } catch (const TessellorError& error) {
    message = QString::fromLocal8Bit(error.what());
  } catch (const std::bad_alloc&) {
    message = QStringLiteral("Not enough memory for this operation");
  } catch (const std::exception& error) {
    message = QString::fromLocal8Bit(error.what());
  }
  LogOutput.finishOpenTask();
  LogOutput.writeLine(message.toLocal8Bit().constData());
  Dialogs.showMessage(this, message);
  return false;
}

void TFMainWindow::setBusy(bool busy, bool cancellable) {
  Busy = busy;
  for (QAction* action : ConflictingActions) action->setEnabled(!busy);
  bnCancel->setEnabled(busy && cancellable);
  EscapeShortcut->setEnabled(busy && cancellable);
  for (TFPolygonStorageNodeOptions* options : {FPolygonStorageNodeOptions, FPolygonStorageNodeOptions1})
    if (options != nullptr) options->setCommandsEnabled(!busy);
}

void TFMainWindow::cancel() {
  if (Busy) Stop.interrupt();
}

void TFMainWindow::runInBackground(bool cancellable, const std::function<void()>& work) {
  Stop.reset();
  setBusy(true, cancellable);
  bool stopped = false;
  try {
    BackgroundJob::run(work);
    stopped = cancellable && Stop.isInterrupted();
  } catch (...) {
    Stop.reset();
    setBusy(false, false);
    if (CloseRequested) QTimer::singleShot(0, this, &QWidget::close);
    throw;
  }
  Stop.reset();
  setBusy(false, false);
  if (CloseRequested) QTimer::singleShot(0, this, &QWidget::close);
  // Asked too late to stop the work: its result is dropped all the same.
  if (stopped) throw Cancelled();
}

bool TFMainWindow::runPipelineStep(int parts, void (QuadDominantTessellor::*step)()) {
  QuadDominantTessellor& controller = Objects.Controller;
  PolygonStorage input, mc, output;
  VolumeStorageDF volume;
  if (parts & InputPart) {
    input.copyContents(controller.InputMesh);
    Objects.InputMeshNode.setStorage(&input);
  }
  if (parts & OutputPart) {
    mc.swapContents(controller.MCMesh);
    output.swapContents(controller.OutputMesh);
    Objects.OutputMeshNode.setStorage(&output);
  }
  if (parts & VolumePart) std::swap(volume, controller.Volume);
  const bool ok = guarded([&] { runInBackground(true, [&] { (controller.*step)(); }); });
  if (!ok) {
    if (parts & InputPart) controller.InputMesh.swapContents(input);
    if (parts & OutputPart) {
      controller.MCMesh.swapContents(mc);
      controller.OutputMesh.swapContents(output);
    }
    if (parts & VolumePart) std::swap(volume, controller.Volume);
  }
  Objects.InputMeshNode.setStorage(&controller.getInputMesh());
  Objects.OutputMeshNode.setStorage(&controller.getOutputMesh());
  return ok;
}

bool TFMainWindow::openMeshFile(PolygonStorage& mesh, const QString& fileName) {
  const std::string name = fileName.toLocal8Bit().toStdString();
  const bool ok = guarded([&] {
    // Read beside the mesh the view shows, and swapped in here on the GUI thread.
    PolygonStorage fresh;
    runInBackground(true, [&] {
      InterruptingOutput output(LogOutput, Stop);
      readMesh(name, fresh, &output);
      fitIntoWorkingBox(fresh);
    });
    mesh.swapContents(fresh);
  });
  if (ok) ProgramSettings::addRecentFile(fileName);
  return ok;
}

bool TFMainWindow::openInputMeshFile(const QString& fileName) {
  const bool ok = openMeshFile(Objects.Controller.getInputMesh(), fileName);
  if (ok)
    fitInputMesh();
  else if (FGLFormInputMesh != nullptr)
    FGLFormInputMesh->redraw();
  return ok;
}

bool TFMainWindow::openOutputMeshFile(const QString& fileName) {
  const bool ok = openMeshFile(Objects.Controller.getOutputMesh(), fileName);
  if (ok)
    fitOutputMesh();
  else if (FGLFormOutputMesh != nullptr)
    FGLFormOutputMesh->redraw();
  return ok;
}

void TFMainWindow::fitInputMesh() {
  if (FGLFormInputMesh != nullptr) FGLFormInputMesh->fitToMesh();
}

void TFMainWindow::fitOutputMesh() {
  if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->fitToMesh();
}

void TFMainWindow::openInputMesh() {
  int index = 1;
  QString fileName;
  if (!Dialogs.openFile(this, QString::fromLatin1(MeshOpenFilter), index, fileName)) return;
  openInputMeshFile(fileName);
}

void TFMainWindow::openOutputMesh() {
  int index = 1;
  QString fileName;
  if (!Dialogs.openFile(this, QString::fromLatin1(MeshOpenFilter), index, fileName)) return;
  openOutputMeshFile(fileName);
}

bool TFMainWindow::saveMeshFile(PolygonStorage& mesh, const QString& fileName, int filterIndex) {
  const std::string name = fileName.toLocal8Bit().toStdString();
  return guarded([&] {
    // The file type chosen in the dialog decides the writer, whatever extension was typed.
    // Every entry as specified: the window saves what it shows.
    static const MeshFormat Formats[] = {MeshFormat::PC, MeshFormat::OBJ, MeshFormat::PLY, MeshFormat::INP,
                                         MeshFormat::BDF};
    if (filterIndex < 1 || filterIndex > 5) return;
    const MeshFormat format = Formats[filterIndex - 1];
    runInBackground(false, [&] { writeMesh(name, mesh, format); });
  });
}

void TFMainWindow::saveMesh(PolygonStorage& mesh) {
  int index = 1;
  QString fileName;
  if (!Dialogs.saveFile(this, QString::fromLatin1(MeshSaveFilter), QStringLiteral("pc"), index, fileName)) return;
  saveMeshFile(mesh, fileName, index);
}

void TFMainWindow::saveInputMesh() { saveMesh(Objects.Controller.getInputMesh()); }
void TFMainWindow::saveOutputMesh() { saveMesh(Objects.Controller.getOutputMesh()); }

void TFMainWindow::removeUnusedOutputEntries() {
  guarded([&] { removeUnusedEntries(Objects.Controller.getOutputMesh(), &LogOutput); });
  if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->redraw();
}

void TFMainWindow::showInputOptions() {
  if (FPolygonStorageNodeOptions != nullptr) FPolygonStorageNodeOptions->show();
}

void TFMainWindow::showOutputOptions() {
  if (FPolygonStorageNodeOptions1 != nullptr) FPolygonStorageNodeOptions1->show();
}

void TFMainWindow::showInputWindow() {
  if (FGLFormInputMesh != nullptr && ViewsAvailable) FGLFormInputMesh->show();
}

void TFMainWindow::showOutputWindow() {
  if (FGLFormOutputMesh != nullptr && ViewsAvailable) FGLFormOutputMesh->show();
}

void TFMainWindow::saveVolume() {
  int index = 1;
  QString fileName;
  if (!Dialogs.saveFile(this, QString::fromLatin1(VolumeFilter), QStringLiteral("vol"), index, fileName)) return;
  guarded([&] {
    // The worker reads and writes the controller's volume, which nothing on the GUI thread
    // touches while it runs.
    VolumeStorageDF_IO& io = Objects.Controller.getVolumeIO();
    io.setFileName(fileName.toLocal8Bit().toStdString());
    runInBackground(false, [&] { io.write(); });
  });
}

void TFMainWindow::openVolume() {
  int index = 1;
  QString fileName;
  if (!Dialogs.openFile(this, QString::fromLatin1(VolumeFilter), index, fileName)) return;
  guarded([&] {
    VolumeStorageDF_IO& io = Objects.Controller.getVolumeIO();
    io.setFileName(fileName.toLocal8Bit().toStdString());
    runInBackground(false, [&] { io.read(); });
  });
}

void TFMainWindow::setMaximumNumberOfVoxels() {
  QString text = QString::number(Objects.Controller.getMaxVoxels());
  Dialogs.inputQuery(this, QStringLiteral("Volume Size"), QStringLiteral("Desired maximum number of voxels"), text);
  try {
    const int value = TextConversion::toInteger(text);
    if (value > 0) Objects.Controller.setMaxVoxels(value);
  } catch (const ConversionError& error) {
    Dialogs.showMessage(this, QString::fromLocal8Bit(error.what()));
  }
}

void TFMainWindow::setDetectSharpFeatures(bool on) { Objects.Controller.setDetectSharpFeatures(on); }

void TFMainWindow::setExactDistance(bool on) {
  if (on) acRobustInsideOutside->setChecked(false);
  Objects.Controller.setVoxelizationMode(on ? VoxelizationMode::Exact : VoxelizationMode::Classic);
}

void TFMainWindow::setRobustInsideOutside(bool on) {
  if (on) acExactDistanceField->setChecked(false);
  Objects.Controller.setVoxelizationMode(on ? VoxelizationMode::Robust : VoxelizationMode::Classic);
}

void TFMainWindow::setThresholdPsi() {
  QString text = TextConversion::formatGeneral4(Objects.Controller.getThresholdPsi());
  Dialogs.inputQuery(this, QStringLiteral("Theshold value for sharp edges"),
                     QStringLiteral("Value for cos(alpha) for sharp edges"), text);
  try {
    Objects.Controller.setThresholdPsi(TextConversion::toFloat(text));
  } catch (const ConversionError& error) {
    Dialogs.showMessage(this, QString::fromLocal8Bit(error.what()));
  }
}

// A step that succeeds frames what it produced (the input mesh moves into the voxel frame); one
// that fails or is cancelled leaves the views as they were.
void TFMainWindow::volumeFromInputMesh() {
  if (runPipelineStep(InputPart | VolumePart, &QuadDominantTessellor::volumeFromInputMesh))
    fitInputMesh();
  else if (FGLFormInputMesh != nullptr)
    FGLFormInputMesh->redraw();
}

void TFMainWindow::outputMeshFromVolume() {
  if (runPipelineStep(OutputPart, &QuadDominantTessellor::outputMeshFromVolume))
    fitOutputMesh();
  else if (FGLFormOutputMesh != nullptr)
    FGLFormOutputMesh->redraw();
}

void TFMainWindow::remesh() {
  if (runPipelineStep(InputPart | VolumePart | OutputPart, &QuadDominantTessellor::remesh)) {
    fitInputMesh();
    fitOutputMesh();
  } else {
    if (FGLFormInputMesh != nullptr) FGLFormInputMesh->redraw();
    if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->redraw();
  }
}

void TFMainWindow::clearLog() { meOut->clear(); }
