#pragma once

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// The names of the .ply files in a folder, sorted (empty when it cannot be read).
inline std::vector<std::string> plyFilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ply") == 0) names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The meshes named on the command line, else every .ply file of dir (paths); says so on standard
// error when there are none.
inline std::vector<std::string> meshPaths(int argc, char** argv, const std::string& dir) {
  std::vector<std::string> paths(argv + 1, argv + argc);
  if (paths.empty())
    for (const std::string& name : plyFilesIn(dir)) paths.push_back(dir + name);
  if (paths.empty()) std::fprintf(stderr, "no meshes in %s\n", dir.c_str());
  return paths;
}
