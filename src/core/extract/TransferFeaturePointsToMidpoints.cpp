#include "extract/TransferFeaturePointsToMidpoints.h"

#include "base/Parallel.h"
#include "mesh/PolygonStorage.h"
#include "volume/GenericVolumeStorage.h"

#include <cmath>

namespace tessellor {

void transferFeaturePointsToMidpoints(PolygonStorage& mesh, const GenericVolumeStorage& volume) {
  const int sizes[3] = {volume.getXSize(), volume.getYSize(), volume.getZSize()};
  // Half a cell diagonal: anything at least this far is not in a neighbouring cell's reach.
  const float reach = static_cast<float>(0.5 * std::sqrt(3.0));
  if (!volume.mayHoldFeaturePoints()) return;
  // Every record is moved on its own: ranges of them in parallel.
  forEachRange(static_cast<int>(mesh.Midpoints.size()), 4096, [&](int begin, int end) {
    VoxelData voxel;
    for (int m = begin; m < end; ++m) {
      Vertex& record = mesh.Midpoints[m];
      const float r[3] = {record.pos.x, record.pos.y, record.pos.z};
      int lower[3] = {0, 0, 0};
      bool outside = false;
      for (int a = 0; a < 3; ++a) {
        const double first = std::floor(static_cast<double>(r[a]) - 0.5);
        // Also false for NaN: such a record has no candidates at all.
        if (!(first >= -1.0 && first < static_cast<double>(sizes[a])))
          outside = true;
        else
          lower[a] = static_cast<int>(first);
      }
      if (outside) continue;

      float best = reach;
      bool found = false;
      V3 bestPoint;
      std::uint8_t bestType = 0;
      // Ties keep the first voxel in this order (k fastest): the comparison below is strict.
      for (int i = lower[0]; i <= lower[0] + 1; ++i) {
        if (i < 0 || i >= sizes[0]) continue;
        for (int j = lower[1]; j <= lower[1] + 1; ++j) {
          if (j < 0 || j >= sizes[1]) continue;
          for (int k = lower[2]; k <= lower[2] + 1; ++k) {
            if (k < 0 || k >= sizes[2]) continue;
            volume.getVoxel(i, j, k, voxel);
            if (voxel.FeatureOffset[0] > 1.0f) continue;
            const V3 f{static_cast<float>(i) + 0.5f - voxel.FeatureOffset[0],
                       static_cast<float>(j) + 0.5f - voxel.FeatureOffset[1],
                       static_cast<float>(k) + 0.5f - voxel.FeatureOffset[2]};
            const float dx = f.x - r[0], dy = f.y - r[1], dz = f.z - r[2];
            const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (d < best) {
              best = d;
              bestPoint = f;
              bestType = voxel.FeatureType;
              found = true;
            }
          }
        }
      }
      if (found) {
        record.pos = bestPoint;
        record.attr = bestType;
      }
    }
  });
}

}  // namespace tessellor
