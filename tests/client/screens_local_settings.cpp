#include "screens_util.h"

namespace screens {

int local_settings(const Context&) {
  return 0;
}

}  // namespace screens
