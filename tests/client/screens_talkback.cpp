#include "screens_util.h"

namespace screens {

int talkback(const Context&) {
  return 0;
}

}  // namespace screens
