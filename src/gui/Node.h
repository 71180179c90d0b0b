#pragma once

#include "algebra/vec3.h"

// Something a view can draw.
class Node {
 public:
  virtual void draw(bool interactive) = 0;
  virtual void setDefaults() = 0;
  virtual ~Node() = default;

  // The box of what is drawn, in drawn coordinates; false when there is nothing to frame.
  virtual bool bounds(tessellor::vec3& lo, tessellor::vec3& hi) const {
    (void)lo;
    (void)hi;
    return false;
  }
  // True when the faces are coloured by the scaled Jacobian, with its smallest value drawn.
  virtual bool qualityLegend(float& smallest) const {
    (void)smallest;
    return false;
  }
};
