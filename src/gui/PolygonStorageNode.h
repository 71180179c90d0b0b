#pragma once

#include "Node.h"
#include "algebra/vec3.h"

#include <cstddef>

namespace tessellor {
class PolygonStorage;
}

using namespace tessellor;

// Draws one mesh: faces lit by a headlight with per-vertex normals (the face normal across sharp
// edges), optionally coloured by their scaled Jacobian; black outlines; red feature vertices.
class PolygonStorageNode : public Node {
 public:
  PolygonStorageNode();

  void draw(bool interactive) override;
  void setDefaults() override;
  // Over the vertices that polygons use (a pass may leave unused ones anywhere), times scale.
  bool bounds(vec3& lo, vec3& hi) const override;
  bool qualityLegend(float& smallest) const override;

  void setStorage(PolygonStorage* mesh) { storage = mesh; }
  PolygonStorage* getStorage() const { return storage; }

  void setVisible(bool on) { visible = on; }
  void setDrawAttrVertices(bool on) { drawAttrVertices = on; }
  void setDrawEdges(bool on) { drawEdges = on; }
  void setDrawLines(bool on) { drawLines = on; }
  void setDrawFaces(bool on) { drawFaces = on; }
  void setHighlightPolygon(int id) { highlightPolygon = id; }
  void setLineWidth(float width) { lineWidth = width; }
  void setColourByQuality(bool on) { colourByQuality = on; }
  bool getColourByQuality() const { return colourByQuality; }
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
  // Outlines are black, but where the polygons are only a few pixels large on average (a dense
  // scan filling the view) they would hide the faces: they are then blended in, down to 0.25.
  static float outlineOpacity(double viewportPixels, std::size_t polygons) {
    const double perPolygon = viewportPixels / static_cast<double>(polygons > 0 ? polygons : 1);
    return static_cast<float>(perPolygon >= 24.0  ? 1.0
                              : perPolygon <= 6.0 ? 0.25
                                                  : 0.25 + 0.75 * (perPolygon - 6.0) / 18.0);
  }
  // The colour of a scaled Jacobian: red at 0 and below, through yellow and green, blue at 1.
  static void qualityColour(float value, float rgb[3]);
  // Faces are drawn in this colour unless coloured by quality.
  static constexpr float FaceColour[3] = {0.45f, 0.62f, 0.88f};

  vec3 scale;
  vec3 lightPosition;
  bool visible = true;
  bool drawAttrVertices = false;
  bool drawEdges = false;
  bool drawLines = false;
  bool drawFaces = false;
  int highlightPolygon = 0;
  float lineWidth = 1.0f;
  bool colourByQuality = false;
  PolygonStorage* storage = nullptr;

 private:
  void drawFacesOf(const PolygonStorage& mesh, bool interactive);
  void drawOutlinesOf(const PolygonStorage& mesh) const;
  void drawFeatureVerticesOf(const PolygonStorage& mesh) const;
  void drawBoundaryEdgesOf(const PolygonStorage& mesh) const;

  float smallestQuality = 0.0f;  // of the last frame drawn with quality colours
};
