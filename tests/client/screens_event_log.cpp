#include "model/event_log.h"
#include "model/time_source.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/event_log_window.h"

namespace screens {

int event_log(const Context& c) {
  model::ClientState& state = c.app.State();
  model::SystemClock clock;
  // What a day on the road leaves besides the events of this run.
  model::LocalTime t = clock.local_now();
  t.hour = 7;
  t.minute = 58;
  state.events.append(model::live_start_failed_text(u"100000000009", 0, 20404), t);
  t.minute = 59;
  state.events.append(std::u16string(model::exception_notice(32771)), t);
  t.hour = 12;
  t.minute = 30;
  state.events.append(u"删除文件D:\\H264record成功", t);
  ui::CEventLog dialog(state, c.sink, clock, c.app.MainWindow());
  dialog.show();
  const int failures = !save(dialog, c.out, "event-log.png");
  dialog.hide();
  return failures;
}

}  // namespace screens
