#include "screens_util.h"

namespace screens {

int preset_ptz(const Context&) {
  return 0;
}

}  // namespace screens
