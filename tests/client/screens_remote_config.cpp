#include "screens_util.h"

namespace screens {

int remote_config(const Context&) {
  return 0;
}

}  // namespace screens
