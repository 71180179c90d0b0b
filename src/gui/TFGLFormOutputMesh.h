#pragma once

#include "TFGLForm.h"

// The view window of the output mesh.
class TFGLFormOutputMesh : public TFGLForm {
  Q_OBJECT

 public:
  explicit TFGLFormOutputMesh(QWidget* parent = nullptr) : TFGLForm(QStringLiteral("OutputMesh"), parent) {}
};
