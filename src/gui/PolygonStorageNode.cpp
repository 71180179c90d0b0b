#include "PolygonStorageNode.h"

#include "mesh/PolygonStorage.h"

#include <GL/gl.h>

using namespace tessellor;

PolygonStorageNode::PolygonStorageNode() { setDefaults(); }

void PolygonStorageNode::setDefaults() {
  scale = vec3(1.0f, 1.0f, 1.0f);
  lightPosition = vec3(-50.0f, -50.0f, -100.0f);
  drawLines = true;
  drawFaces = true;
}

void PolygonStorageNode::draw(bool interactive) {
  if (!visible || storage == nullptr || storage->Polygons.empty()) return;
  const PolygonStorage& mesh = *storage;

  glScalef(scale[0], scale[1], scale[2]);

  const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_COLOR_MATERIAL);
  glFrontFace(GL_CW);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, grey);
  glLightfv(GL_LIGHT0, GL_AMBIENT, white);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);

  // A directional light fixed in eye coordinates.
  glPushMatrix();
  glLoadIdentity();
  const GLfloat position[4] = {lightPosition[0], lightPosition[1], lightPosition[2], 0.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glPopMatrix();

  // Faces sit 0.05 units behind the outlines so that the lines are not hidden by them.
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -0.05f);
  glMultMatrixf(m);
  if (drawFaces) drawFacesOf(mesh, interactive);
  glPopMatrix();

  if (drawLines) {
    glDisable(GL_LIGHTING);
    glColor3f(0.0f, 0.0f, 0.0f);
    glLineWidth(effectiveLineWidth(lineWidth));
    drawOutlinesOf(mesh);
    glLineWidth(1.0f);
  }

  glDisable(GL_LIGHTING);
  if (drawAttrVertices) {
    glColor3f(1.0f, 0.0f, 0.0f);
    glPointSize(5.0f);
    drawFeatureVerticesOf(mesh);
  }
  if (drawEdges) {
    glColor3f(1.0f, 0.0f, 0.0f);
    drawBoundaryEdgesOf(mesh);
  }
}

void PolygonStorageNode::drawFacesOf(const PolygonStorage& mesh, bool interactive) const {
  const int count = static_cast<int>(mesh.Polygons.size());
  const int step = interactive ? faceStep(mesh.Polygons.size()) : 1;
  const int midpoints = static_cast<int>(mesh.Midpoints.size());
  for (int p = 0; p < count; p += step) {
    const VertexIDList& poly = mesh.Polygons[p];
    const std::size_t n = poly.size();
    if (n < 3 || p >= midpoints) continue;
    const Vertex& mid = mesh.Midpoints[p];
    if (n > 3) {
      // Fan around the centroid, lit with the face normal only.
      glBegin(GL_TRIANGLE_FAN);
      glNormal3f(mid.n.x, mid.n.y, mid.n.z);
      glVertex3f(mid.pos.x, mid.pos.y, mid.pos.z);
      for (int id : poly) {
        const V3& q = mesh.Vertices[id].pos;
        glVertex3f(q.x, q.y, q.z);
      }
      const V3& first = mesh.Vertices[poly[0]].pos;
      glVertex3f(first.x, first.y, first.z);
      glEnd();
    } else {
      glBegin(GL_POLYGON);
      glNormal3f(mid.n.x, mid.n.y, mid.n.z);
      for (int id : poly) {
        const V3& q = mesh.Vertices[id].pos;
        glVertex3f(q.x, q.y, q.z);
      }
      glEnd();
    }
  }
}

void PolygonStorageNode::drawOutlinesOf(const PolygonStorage& mesh) const {
  for (const VertexIDList& poly : mesh.Polygons) {
    if (poly.empty()) continue;
    glBegin(GL_LINE_LOOP);
    for (int id : poly) {
      const V3& q = mesh.Vertices[id].pos;
      glVertex3f(q.x, q.y, q.z);
    }
    glEnd();
  }
}

void PolygonStorageNode::drawFeatureVerticesOf(const PolygonStorage& mesh) const {
  glBegin(GL_POINTS);
  for (const Vertex& v : mesh.Vertices)
    if (v.attr != 0) glVertex3f(v.pos.x, v.pos.y, v.pos.z);
  glEnd();
}

void PolygonStorageNode::drawBoundaryEdgesOf(const PolygonStorage& mesh) const {
  // The marked edges are the mesh's boundary: edges with a single polygon.
  glBegin(GL_LINES);
  for (const auto& entry : mesh.EdgeIndex) {
    if (entry.second.Second != -1) continue;
    const V3& a = mesh.Vertices[entry.first.Lower].pos;
    const V3& b = mesh.Vertices[entry.first.Upper].pos;
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
  }
  glEnd();
}
