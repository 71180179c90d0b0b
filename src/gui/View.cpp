#include "View.h"

#include "Node.h"

#include <GL/gl.h>
#include <GL/glu.h>

void View::setViewport(int x, int y, int w, int h) {
  viewport[0] = x;
  viewport[1] = y;
  viewport[2] = w;
  viewport[3] = h;
  if (h - y != 0) aspect = static_cast<float>(w - x) / static_cast<float>(h - y);
}

bool View::fitToScene() {
  vec3 lo, hi;
  if (rootNode == nullptr || !rootNode->bounds(lo, hi)) return false;
  frameBox(lo, hi);
  return true;
}

void View::paintGL(bool interactive) {
  // Discard what earlier drawing left behind; bounded, since a lost context may answer errors forever.
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
  checkErrors("beginning of View::paintGL");
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  paint(interactive);
  checkErrors("end of View::paintGL");
}

void View::paint(bool interactive) {
  apply();
  drawAxes();
  if (drawScene && rootNode != nullptr) rootNode->draw(interactive);
}

void View::checkErrors(const char* label) {
  const GLenum code = glGetError();
  if (code == GL_NO_ERROR || errorReported) return;
  errorReported = true;
  const GLubyte* text = gluErrorString(code);
  const std::string message = std::string(label) + ":" + (text ? reinterpret_cast<const char*>(text) : "unknown error");
  if (errorReporter) errorReporter(message);
}

void View::drawAxes() {
  const GLboolean lighting = glIsEnabled(GL_LIGHTING);
  glDisable(GL_LIGHTING);
  glBegin(GL_LINES);
  glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(1.0f, 0.0f, 0.0f);
  glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 1.0f, 0.0f);
  glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 0.0f, 1.0f);
  glEnd();
  if (lighting) glEnable(GL_LIGHTING);
}
