#pragma once

#include "TFGLForm.h"

// The view window of the input mesh.
class TFGLFormInputMesh : public TFGLForm {
  Q_OBJECT

 public:
  explicit TFGLFormInputMesh(QWidget* parent = nullptr) : TFGLForm(QStringLiteral("InputMesh"), parent) {}
};
