// Base of the SDK's worker objects: one thread, created suspended with the
// object, whose body calls Run once resumed. A derived class stops its loop
// and calls JoinThread in its own destructor, before its members go.
#pragma once

#include "platform/thread.h"

namespace velmo {

class CThreadTemplate {
 public:
  CThreadTemplate();
  // Joins the thread. Reached from Run itself (the object deleted by its own
  // thread) it cannot join: the thread is then joined by the platform once Run
  // has returned, and Run must not touch the object after the delete.
  virtual ~CThreadTemplate();
  CThreadTemplate(const CThreadTemplate&) = delete;
  CThreadTemplate& operator=(const CThreadTemplate&) = delete;

  virtual void Run() = 0;

  // Lets the body start; later calls do nothing.
  void ResumeThread();
  // Waits for the body to end (a body never resumed does not run). False,
  // without waiting, when called from Run itself.
  bool JoinThread();
  bool ThreadRunning() const { return m_hThread.running(); }
  bool IsThreadCurrent() const { return m_hThread.is_current(); }

 private:
  platform::Thread m_hThread;
};

}  // namespace velmo
