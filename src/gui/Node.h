#pragma once

// Something a view can draw.
class Node {
 public:
  virtual void draw(bool interactive) = 0;
  virtual void setDefaults() = 0;
  virtual ~Node() = default;
};
