#include "TFPolygonStorageNodeOptions.h"

#include "PolygonStorageNode.h"
#include "TextConversion.h"
#include "UserDialogs.h"
#include "mesh/PolygonStorage.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace tessellor;

TFPolygonStorageNodeOptions::TFPolygonStorageNodeOptions(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), Dialogs(dialogs) {
  setWindowTitle(QStringLiteral("Polygon Storage "));
  setModal(false);

  cbVisible = new QCheckBox(QStringLiteral("Visible"), this);
  cbVisible->setChecked(true);
  cbDrawLines = new QCheckBox(QStringLiteral("Draw Lines"), this);
  cbDrawFaces = new QCheckBox(QStringLiteral("Draw Faces"), this);
  cbDrawAttrVertices = new QCheckBox(QStringLiteral("Draw Vertices with Attr != 0"), this);
  cbDrawEdges = new QCheckBox(QStringLiteral("Draw Boundary, Features etc"), this);
  cbColourByQuality = new QCheckBox(QStringLiteral("Colour Faces by Scaled Jacobian"), this);
  edHighlightPolygon = new QSpinBox(this);
  edHighlightPolygon->setRange(0, 32767);
  edHighlightPolygon->setValue(0);
  edLineThickness = new QSpinBox(this);
  edLineThickness->setRange(0, 32767);
  edLineThickness->setValue(1);
  bnSmooth = new QPushButton(QStringLiteral("Smooth"), this);
  bnCheckIndex = new QPushButton(QStringLiteral("Check Index"), this);
  bnPrintPolygon = new QPushButton(QStringLiteral("Print Polygon"), this);
  bnPrintVertex = new QPushButton(QStringLiteral("Print Vertex"), this);
  bnPrintStats = new QPushButton(QStringLiteral("Print Stats"), this);

  auto* layout = new QVBoxLayout(this);
  for (QCheckBox* box : {cbVisible, cbDrawLines, cbDrawFaces, cbDrawAttrVertices, cbDrawEdges, cbColourByQuality})
    layout->addWidget(box);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Highlight Polygon"), this), 0, 0);
  grid->addWidget(edHighlightPolygon, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Line Thickness"), this), 1, 0);
  grid->addWidget(edLineThickness, 1, 1);
  layout->addLayout(grid);
  for (QPushButton* button : {bnSmooth, bnCheckIndex, bnPrintPolygon, bnPrintVertex, bnPrintStats})
    layout->addWidget(button);

  connect(cbVisible, &QCheckBox::toggled, this, [this](bool on) {
    if (node) node->setVisible(on);
  });
  connect(cbDrawLines, &QCheckBox::toggled, this, [this](bool on) {
    if (node) node->setDrawLines(on);
  });
  connect(cbDrawFaces, &QCheckBox::toggled, this, [this](bool on) {
    if (node) node->setDrawFaces(on);
  });
  connect(cbDrawAttrVertices, &QCheckBox::toggled, this, [this](bool on) {
    if (node) node->setDrawAttrVertices(on);
  });
  connect(cbDrawEdges, &QCheckBox::toggled, this, [this](bool on) {
    if (node) node->setDrawEdges(on);
  });
  connect(cbColourByQuality, &QCheckBox::toggled, this, [this](bool on) {
    if (node) node->setColourByQuality(on);
  });
  connect(edHighlightPolygon, &QSpinBox::valueChanged, this, [this](int v) {
    if (node) node->setHighlightPolygon(v);
  });
  connect(edLineThickness, &QSpinBox::valueChanged, this, [this](int v) {
    if (node) node->setLineWidth(static_cast<float>(v));
  });
  // After the node has taken the change.
  for (QCheckBox* box : {cbVisible, cbDrawLines, cbDrawFaces, cbDrawAttrVertices, cbDrawEdges, cbColourByQuality})
    connect(box, &QCheckBox::toggled, this, &TFPolygonStorageNodeOptions::drawingChanged);
  connect(edLineThickness, &QSpinBox::valueChanged, this, &TFPolygonStorageNodeOptions::drawingChanged);
  connect(bnSmooth, &QPushButton::clicked, this, [this] { smooth(); });
  connect(bnCheckIndex, &QPushButton::clicked, this, [this] { checkIndex(); });
  connect(bnPrintPolygon, &QPushButton::clicked, this, [this] { printPolygon(); });
  connect(bnPrintVertex, &QPushButton::clicked, this, [this] { printVertex(); });
  connect(bnPrintStats, &QPushButton::clicked, this, [this] { printStats(); });
}

void TFPolygonStorageNodeOptions::showEvent(QShowEvent* event) {
  if (node != nullptr) {
    cbVisible->setChecked(node->getVisible());
    cbDrawLines->setChecked(node->getDrawLines());
    cbDrawFaces->setChecked(node->getDrawFaces());
    cbDrawAttrVertices->setChecked(node->getDrawAttrVertices());
    cbDrawEdges->setChecked(node->getDrawEdges());
    cbColourByQuality->setChecked(node->getColourByQuality());
  }
  QDialog::showEvent(event);
}

void TFPolygonStorageNodeOptions::setCommandsEnabled(bool enabled) {
  for (QPushButton* button : {bnSmooth, bnCheckIndex, bnPrintPolygon, bnPrintVertex, bnPrintStats})
    button->setEnabled(enabled);
}

template <class Action>
void TFPolygonStorageNodeOptions::guarded(Action action) {
  if (node == nullptr || node->getStorage() == nullptr) return;
  try {
    action(*node->getStorage());
  } catch (const std::exception& error) {
    if (Output != nullptr) Output->writeLine(error.what());
    Dialogs.showMessage(this, QString::fromLocal8Bit(error.what()));
  }
}

bool TFPolygonStorageNodeOptions::askId(const QString& caption, const QString& prompt, int& id) {
  QString text = QStringLiteral("-1");
  Dialogs.inputQuery(this, caption, prompt, text);
  try {
    id = TextConversion::toInteger(text);
  } catch (const ConversionError& error) {
    Dialogs.showMessage(this, QString::fromLocal8Bit(error.what()));
    return false;
  }
  return id != -1;
}

void TFPolygonStorageNodeOptions::smooth() {
  guarded([](PolygonStorage& mesh) { mesh.smooth(); });
}

void TFPolygonStorageNodeOptions::checkIndex() {
  guarded([](PolygonStorage& mesh) { mesh.checkIntegrity(); });
}

void TFPolygonStorageNodeOptions::printStats() {
  guarded([](PolygonStorage& mesh) { mesh.printStatistics(); });
}

void TFPolygonStorageNodeOptions::printPolygon() {
  int id = -1;
  if (node == nullptr || !askId(QStringLiteral("Print polygon with id"), QStringLiteral("Polygon ID"), id)) return;
  guarded([id](PolygonStorage& mesh) { mesh.printPolygon(id); });
}

void TFPolygonStorageNodeOptions::printVertex() {
  int id = -1;
  if (node == nullptr || !askId(QStringLiteral("Print vertex with id"), QStringLiteral("Vertex ID"), id)) return;
  guarded([id](PolygonStorage& mesh) { mesh.printVertex(id); });
}
