#!/bin/sh
# Remakes the pictures of the desktop program in docs/: the real program under a virtual X
# server, driven by mouse and key events (tests/gui/ScreenshotTool.cpp). Usage, from the source
# tree after a build: tools/screenshots.sh [BUILD_DIR]
set -e
build=${1:-build}
meshes=../shared/meshes
tool=$build/tests/gui/gui_screenshot
[ -x "$tool" ] || { echo "build the gui_screenshot target first" >&2; exit 1; }
shoot() {
  QT_QPA_PLATFORM=xcb xvfb-run -a -n 170 -s "-screen 0 1600x1000x24" "$tool" "$@"
}
shoot examples/fandisk.ply docs/fandisk.png
shoot "$meshes/bunny.ply" docs/bunny.png --quality
