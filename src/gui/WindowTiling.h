#pragma once

#include <QRect>

// Places the main window over the left half of the desktop's work area at full height and the two
// views over the right half, one above the other. Positions are absolute, not offset by the work
// area's own corner.
struct WindowTiling {
  QRect mainWindow;
  QRect inputView;
  QRect outputView;

  static WindowTiling forWorkArea(int width, int height) {
    const int halfW = width / 2;
    const int halfH = height / 2;
    return WindowTiling{QRect(0, 0, halfW, height), QRect(halfW, 0, halfW, halfH), QRect(halfW, halfH, halfW, halfH)};
  }
};
