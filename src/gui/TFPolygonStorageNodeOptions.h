#pragma once

#include <QDialog>

class PolygonStorageNode;
class QCheckBox;
class QPushButton;
class QSpinBox;
namespace tessellor {
class StatusOutput;
}

using namespace tessellor;
class UserDialogs;

// Modeless dialog with the drawing options of one render node and diagnostics on its mesh.
class TFPolygonStorageNodeOptions : public QDialog {
  Q_OBJECT

 public:
  explicit TFPolygonStorageNodeOptions(UserDialogs& dialogs, QWidget* parent = nullptr);

  void setNode(PolygonStorageNode* edited) { node = edited; }
  PolygonStorageNode* getNode() const { return node; }
  // Where errors of the diagnostics are logged.
  void setStatusOutput(StatusOutput* output) { Output = output; }

  // The buttons act on the mesh; they are disabled while the window's work runs on it.
  void setCommandsEnabled(bool enabled);

  // The buttons' commands.
  void smooth();
  void checkIndex();
  void printPolygon();
  void printVertex();
  void printStats();

  QCheckBox* cbVisible = nullptr;
  QCheckBox* cbDrawLines = nullptr;
  QCheckBox* cbDrawFaces = nullptr;
  QCheckBox* cbDrawAttrVertices = nullptr;
  QCheckBox* cbDrawEdges = nullptr;
  QCheckBox* cbColourByQuality = nullptr;
  QSpinBox* edHighlightPolygon = nullptr;
  QSpinBox* edLineThickness = nullptr;
  QPushButton* bnSmooth = nullptr;
  QPushButton* bnCheckIndex = nullptr;
  QPushButton* bnPrintPolygon = nullptr;
  QPushButton* bnPrintVertex = nullptr;
  QPushButton* bnPrintStats = nullptr;

 signals:
  // A drawing option changed; the view shows it at its next frame.
  void drawingChanged();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Asks for an id with default "-1"; false when the answer is -1 or not a number (reported).
  bool askId(const QString& caption, const QString& prompt, int& id);
  template <class Action>
  void guarded(Action action);

  UserDialogs& Dialogs;
  PolygonStorageNode* node = nullptr;
  StatusOutput* Output = nullptr;
};
