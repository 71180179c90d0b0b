#include "TFMainWindow.h"

#include "tessellor/Tessellor.h"

#include "GlobalObjects.h"
#include "MyOutput.h"
#include "TFGLForm.h"
#include "TFPolygonStorageNodeOptions.h"
#include "TextConversion.h"
#include "UserDialogs.h"
#include "WindowTiling.h"
#include "base/TessellorError.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <new>

using namespace tessellor;

// Every format readMesh reads, told by content; the extensions only steer the dialog's listing.
const char* const TFMainWindow::MeshOpenFilter =
    "Meshes|*.ply *.stl *.obj *.off *.PLY *.STL *.OBJ *.OFF|*.ply|*.ply|*.stl|*.stl|*.obj|*.obj|*.off|*.off|All "
    "files|*";
const char* const TFMainWindow::MeshSaveFilter = "*.pc|*.pc|*.obj|*.obj|*.ply|*.ply";
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

  bar->addWidget(pnBusy);
  bar->addWidget(Panel2, 1);
  bar->addWidget(ProgressBar1);

  column->addWidget(Panel3);
  column->addWidget(meOut, 1);
  column->addWidget(Panel1);
  setCentralWidget(central);
}

void TFMainWindow::buildMenu() {
  QMenuBar* menu = menuBar();

  QMenu* input = menu->addMenu(QStringLiteral("Input Mesh"));
  input->addAction(QStringLiteral("Open"), this, [this] { openInputMesh(); });
  input->addAction(QStringLiteral("Save As ..."), this, [this] { saveInputMesh(); });
  input->addSeparator();
  input->addAction(QStringLiteral("Options"), this, [this] { showInputOptions(); });
  input->addSeparator();
  input->addAction(QStringLiteral("Show Window"), this, [this] { showInputWindow(); });

  QMenu* volume = menu->addMenu(QStringLiteral("Volume"));
  volume->addAction(QStringLiteral("Open"), this, [this] { openVolume(); });
  volume->addAction(QStringLiteral("Save As ..."), this, [this] { saveVolume(); });
  volume->addSeparator();
  volume->addAction(QStringLiteral("Set Maximum Number of Voxels"), this, [this] { setMaximumNumberOfVoxels(); });

  QMenu* remeshing = menu->addMenu(QStringLiteral("Remeshing"));
  acDetectSharpFeatures = remeshing->addAction(QStringLiteral("Detect Sharp Features and Edges"));
  acDetectSharpFeatures->setCheckable(true);
  acDetectSharpFeatures->setChecked(true);
  connect(acDetectSharpFeatures, &QAction::triggered, this, [this](bool on) { setDetectSharpFeatures(on); });
  remeshing->addAction(QStringLiteral("Set Threshold Psi for Sharp Features"), this, [this] { setThresholdPsi(); });
  // Unchecked, as the controller's switch starts.
  acExactDistanceField = remeshing->addAction(QStringLiteral("Exact Distance Field"));
  acExactDistanceField->setCheckable(true);
  acExactDistanceField->setChecked(false);
  connect(acExactDistanceField, &QAction::triggered, this, [this](bool on) { setExactDistance(on); });
  remeshing->addSeparator();
  remeshing->addAction(QStringLiteral("Input Mesh -> Volume"), this, [this] { volumeFromInputMesh(); });
  remeshing->addAction(QStringLiteral("Volume -> Output Mesh"), this, [this] { outputMeshFromVolume(); });
  remeshing->addAction(QStringLiteral("Remesh: Input Mesh -> Volume -> Output Mesh"), this, [this] { remesh(); });

  QMenu* output = menu->addMenu(QStringLiteral("Output Mesh"));
  output->addAction(QStringLiteral("Open"), this, [this] { openOutputMesh(); });
  output->addAction(QStringLiteral("Save As ..."), this, [this] { saveOutputMesh(); });
  output->addSeparator();
  output->addAction(QStringLiteral("Options"), this, [this] { showOutputOptions(); });
  output->addSeparator();
  output->addAction(QStringLiteral("Show Window"), this, [this] { showOutputWindow(); });

  QMenu* log = menu->addMenu(QStringLiteral("Log File"));
  log->addAction(QStringLiteral("Clear"), this, [this] { clearLog(); });
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

void TFMainWindow::formShow() {
  QuadDominantTessellor& controller = Objects.Controller;
  controller.setStatusOutput(&LogOutput);
  Objects.InputMeshNode.setStorage(&controller.getInputMesh());
  Objects.OutputMeshNode.setStorage(&controller.getOutputMesh());
  // The check mark is shown from the start, so the controller starts with the switch on too.
  controller.setDetectSharpFeatures(acDetectSharpFeatures->isChecked());

  if (FPolygonStorageNodeOptions != nullptr) {
    FPolygonStorageNodeOptions->setNode(&Objects.InputMeshNode);
    FPolygonStorageNodeOptions->setWindowTitle(QStringLiteral("Input Mesh Options"));
    FPolygonStorageNodeOptions->setStatusOutput(&LogOutput);
  }
  if (FPolygonStorageNodeOptions1 != nullptr) {
    FPolygonStorageNodeOptions1->setNode(&Objects.OutputMeshNode);
    FPolygonStorageNodeOptions1->setWindowTitle(QStringLiteral("Output Mesh Options"));
    FPolygonStorageNodeOptions1->setStatusOutput(&LogOutput);
  }
  if (FGLFormInputMesh != nullptr) {
    FGLFormInputMesh->setWindowTitle(QStringLiteral("Input Mesh"));
    FGLFormInputMesh->getView().setRootNode(&Objects.InputMeshNode);
    FGLFormInputMesh->setStatusOutput(&LogOutput);
  }
  if (FGLFormOutputMesh != nullptr) {
    FGLFormOutputMesh->setWindowTitle(QStringLiteral("Output Mesh"));
    FGLFormOutputMesh->getView().setRootNode(&Objects.OutputMeshNode);
    FGLFormOutputMesh->setStatusOutput(&LogOutput);
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

  if (!StartupFile.isEmpty()) openInputMeshFile(StartupFile);
}

template <class Command>
bool TFMainWindow::guarded(Command command) {
  QString message;
  try {
    command();
    return true;
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

bool TFMainWindow::openMeshFile(PolygonStorage& mesh, const QString& fileName) {
  return guarded([&] {
    readMesh(fileName.toLocal8Bit().toStdString(), mesh, &LogOutput);
    fitIntoWorkingBox(mesh);
  });
}

bool TFMainWindow::openInputMeshFile(const QString& fileName) {
  const bool ok = openMeshFile(Objects.Controller.getInputMesh(), fileName);
  if (FGLFormInputMesh != nullptr) FGLFormInputMesh->redraw();
  return ok;
}

bool TFMainWindow::openOutputMeshFile(const QString& fileName) {
  const bool ok = openMeshFile(Objects.Controller.getOutputMesh(), fileName);
  if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->redraw();
  return ok;
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
    static const MeshFormat Formats[] = {MeshFormat::PC, MeshFormat::OBJ, MeshFormat::PLY};
    if (filterIndex >= 1 && filterIndex <= 3) writeMesh(name, mesh, Formats[filterIndex - 1]);
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
    VolumeStorageDF_IO& io = Objects.Controller.getVolumeIO();
    io.setFileName(fileName.toLocal8Bit().toStdString());
    io.write();
  });
}

void TFMainWindow::openVolume() {
  int index = 1;
  QString fileName;
  if (!Dialogs.openFile(this, QString::fromLatin1(VolumeFilter), index, fileName)) return;
  guarded([&] {
    VolumeStorageDF_IO& io = Objects.Controller.getVolumeIO();
    io.setFileName(fileName.toLocal8Bit().toStdString());
    io.read();
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

void TFMainWindow::setExactDistance(bool on) { Objects.Controller.setExactDistance(on); }

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

void TFMainWindow::volumeFromInputMesh() {
  guarded([&] { Objects.Controller.volumeFromInputMesh(); });
}

void TFMainWindow::outputMeshFromVolume() {
  guarded([&] { Objects.Controller.outputMeshFromVolume(); });
  if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->redraw();
}

void TFMainWindow::remesh() {
  guarded([&] { Objects.Controller.remesh(); });
  if (FGLFormOutputMesh != nullptr) FGLFormOutputMesh->redraw();
}

void TFMainWindow::clearLog() { meOut->clear(); }
