#pragma once

#include "CommandLine.h"

#include <string>

class PolygonStorage;
class StatusOutput;

// Reading and writing meshes for the commands: PLY in, PLY, OBJ or .pc deck out, always in the
// coordinates of the file the mesh came from. Failures throw FileError naming the file.
class MeshFiles {
 public:
  // Imports a PLY file into mesh (which keeps its contents on failure), logging to output.
  static void import(const std::string& path, PolygonStorage& mesh, StatusOutput* output);
  static void save(const std::string& path, MeshFormat format, const PolygonStorage& mesh);
};
