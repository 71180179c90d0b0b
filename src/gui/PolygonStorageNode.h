#pragma once

#include "Node.h"
#include "algebra/vec3.h"

#include <cstddef>

namespace tessellor {
class PolygonStorage;
}

using namespace tessellor;

// Draws one mesh: flat-shaded faces in the current colour, black outlines, red feature vertices.
class PolygonStorageNode : public Node {
 public:
  PolygonStorageNode();

  void draw(bool interactive) override;
  void setDefaults() override;

  void setStorage(PolygonStorage* mesh) { storage = mesh; }
  PolygonStorage* getStorage() const { return storage; }

  void setVisible(bool on) { visible = on; }
  void setDrawAttrVertices(bool on) { drawAttrVertices = on; }
  void setDrawEdges(bool on) { drawEdges = on; }
  void setDrawLines(bool on) { drawLines = on; }
  void setDrawFaces(bool on) { drawFaces = on; }
  void setHighlightPolygon(int id) { highlightPolygon = id; }
  void setLineWidth(float width) { lineWidth = width; }
  bool getVisible() const { return visible; }
  bool getDrawAttrVertices() const { return drawAttrVertices; }
  bool getDrawEdges() const { return drawEdges; }
  bool getDrawLines() const { return drawLines; }
  bool getDrawFaces() const { return drawFaces; }

  // While a button is held only every step-th polygon's face is drawn, so that at most about
  // 5000 faces are drawn per frame.
  static int faceStep(std::size_t polygonEntries) { return static_cast<int>(polygonEntries / 5000 + 1); }
  // OpenGL has no zero-width lines; a thickness of 0 (or less) draws one pixel wide.
  static float effectiveLineWidth(float width) { return width < 1.0f ? 1.0f : width; }

  vec3 scale;
  vec3 lightPosition;
  bool visible = true;
  bool drawAttrVertices = false;
  bool drawEdges = false;
  bool drawLines = false;
  bool drawFaces = false;
  int highlightPolygon = 0;
  float lineWidth = 1.0f;
  PolygonStorage* storage = nullptr;

 private:
  void drawFacesOf(const PolygonStorage& mesh, bool interactive) const;
  void drawOutlinesOf(const PolygonStorage& mesh) const;
  void drawFeatureVerticesOf(const PolygonStorage& mesh) const;
  void drawBoundaryEdgesOf(const PolygonStorage& mesh) const;
};
