#include "base/NullOutput.h"

namespace tessellor {

NullOutput& NullOutput::instance() {
  static NullOutput output;
  return output;
}

}  // namespace tessellor
