#include "PolygonStorageNode.h"

#include "mesh/PolygonStorage.h"
#include "mesh/ElementShape.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

using namespace tessellor;

namespace {

// The scaled Jacobian of a triangle or quad (the quality report's measure); false for other
// polygons, which keep the face colour.
bool scaledJacobian(const PolygonStorage& mesh, const VertexIDList& poly, float& value) {
  const std::size_t n = poly.size();
  if (n != 3 && n != 4) return false;
  double p[4][3];
  for (std::size_t k = 0; k < n; ++k) {
    const V3& q = mesh.Vertices[static_cast<std::size_t>(poly[k])].pos;
    p[k][0] = q.x;
    p[k][1] = q.y;
    p[k][2] = q.z;
  }
  value = static_cast<float>(n == 3 ? ElementShape::triangle(p).ScaledJacobian : ElementShape::quad(p).ScaledJacobian);
  return true;
}

// A vertex normal that turns further than this from the face normal lies across a sharp edge;
// the face is then lit with its own normal there, so creases stay crisp.
const float CreaseCosine = 0.8f;

void normalAt(const V3& vertexNormal, const V3& faceNormal) {
  const float c = vertexNormal.x * faceNormal.x + vertexNormal.y * faceNormal.y + vertexNormal.z * faceNormal.z;
  const V3& n = c > CreaseCosine ? vertexNormal : faceNormal;
  glNormal3f(n.x, n.y, n.z);
}

}  // namespace

constexpr float PolygonStorageNode::FaceColour[3];

PolygonStorageNode::PolygonStorageNode() { setDefaults(); }

void PolygonStorageNode::setDefaults() {
  scale = vec3(1.0f, 1.0f, 1.0f);
  // A headlight: the light shines along the line of sight, so whatever faces the eye is lit.
  lightPosition = vec3(0.0f, 0.0f, 1.0f);
  drawLines = true;
  drawFaces = true;
}

void PolygonStorageNode::qualityColour(float value, float rgb[3]) {
  const float t = std::min(1.0f, std::max(0.0f, value));
  // Red (0) -> yellow (1/3) -> green (2/3) -> blue (1).
  const float stops[4][3] = {{0.85f, 0.1f, 0.1f}, {0.95f, 0.85f, 0.1f}, {0.15f, 0.75f, 0.2f}, {0.15f, 0.35f, 0.9f}};
  const float x = t * 3.0f;
  const int i = std::min(2, static_cast<int>(x));
  const float f = x - static_cast<float>(i);
  for (int k = 0; k < 3; ++k) rgb[k] = stops[i][k] + (stops[i + 1][k] - stops[i][k]) * f;
}

bool PolygonStorageNode::bounds(vec3& lo, vec3& hi) const {
  if (storage == nullptr) return false;
  const PolygonStorage& mesh = *storage;
  const int count = static_cast<int>(mesh.Vertices.size());
  bool any = false;
  for (const VertexIDList& poly : mesh.Polygons)
    for (int id : poly) {
      if (id < 0 || id >= count) continue;
      const V3& p = mesh.Vertices[static_cast<std::size_t>(id)].pos;
      const vec3 q(p.x * scale[0], p.y * scale[1], p.z * scale[2]);
      if (!std::isfinite(q[0]) || !std::isfinite(q[1]) || !std::isfinite(q[2])) continue;
      if (!any) {
        lo = hi = q;
        any = true;
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], q[k]);
        hi[k] = std::max(hi[k], q[k]);
      }
    }
  return any;
}

bool PolygonStorageNode::qualityLegend(float& smallest) const {
  if (!visible || !drawFaces || !colourByQuality || storage == nullptr || storage->Polygons.empty()) return false;
  smallest = smallestQuality;
  return true;
}

void PolygonStorageNode::draw(bool interactive) {
  if (!visible || storage == nullptr || storage->Polygons.empty()) return;
  const PolygonStorage& mesh = *storage;

  glScalef(scale[0], scale[1], scale[2]);

  const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat ambient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
  const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
  const GLfloat specular[4] = {0.1f, 0.1f, 0.1f, 1.0f};
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_NORMALIZE);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  // Polygons run counter-clockwise seen from their normal's side; the inside of an open or
  // clipped surface is lit from its own side too.
  glFrontFace(GL_CCW);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50.0f);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);

  // A directional light fixed in eye coordinates.
  glPushMatrix();
  glLoadIdentity();
  const GLfloat position[4] = {lightPosition[0], lightPosition[1], lightPosition[2], 0.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glPopMatrix();

  // Faces sit 0.05 units behind the outlines so that the lines are not hidden by them, and a
  // depth offset keeps them behind when a large mesh is seen from far away.
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -0.05f);
  glMultMatrixf(m);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1.0f, 1.0f);
  if (drawFaces) drawFacesOf(mesh, interactive);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glPopMatrix();

  if (drawLines) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float opacity =
        outlineOpacity(static_cast<double>(viewport[2]) * static_cast<double>(viewport[3]), mesh.Polygons.size());
    glDisable(GL_LIGHTING);
    if (opacity < 1.0f) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glColor4f(0.0f, 0.0f, 0.0f, opacity);
    glLineWidth(effectiveLineWidth(lineWidth));
    drawOutlinesOf(mesh);
    glLineWidth(1.0f);
    glDisable(GL_BLEND);
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

void PolygonStorageNode::drawFacesOf(const PolygonStorage& mesh, bool interactive) {
  const int count = static_cast<int>(mesh.Polygons.size());
  const int step = interactive ? faceStep(mesh.Polygons.size()) : 1;
  const int midpoints = static_cast<int>(mesh.Midpoints.size());
  glColor3fv(FaceColour);
  float smallest = 1.0f;
  for (int p = 0; p < count; p += step) {
    const VertexIDList& poly = mesh.Polygons[p];
    const std::size_t n = poly.size();
    if (n < 3 || p >= midpoints) continue;
    const Vertex& mid = mesh.Midpoints[p];
    float q = 0.0f;
    if (colourByQuality && scaledJacobian(mesh, poly, q)) {
      smallest = std::min(smallest, q);
      float rgb[3];
      qualityColour(q, rgb);
      glColor3fv(rgb);
    } else if (colourByQuality) {
      glColor3fv(FaceColour);
    }
    if (n > 3) {
      // Fan around the centroid, which takes the face normal.
      glBegin(GL_TRIANGLE_FAN);
      glNormal3f(mid.n.x, mid.n.y, mid.n.z);
      glVertex3f(mid.pos.x, mid.pos.y, mid.pos.z);
      for (int id : poly) {
        const Vertex& v = mesh.Vertices[id];
        normalAt(v.n, mid.n);
        glVertex3f(v.pos.x, v.pos.y, v.pos.z);
      }
      const Vertex& first = mesh.Vertices[poly[0]];
      normalAt(first.n, mid.n);
      glVertex3f(first.pos.x, first.pos.y, first.pos.z);
      glEnd();
    } else {
      glBegin(GL_POLYGON);
      for (int id : poly) {
        const Vertex& v = mesh.Vertices[id];
        normalAt(v.n, mid.n);
        glVertex3f(v.pos.x, v.pos.y, v.pos.z);
      }
      glEnd();
    }
  }
  if (colourByQuality && !interactive) smallestQuality = smallest;
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
