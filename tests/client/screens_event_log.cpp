#include "screens_util.h"

namespace screens {

int event_log(const Context&) {
  return 0;
}

}  // namespace screens
