#include "media/thread_template.h"

namespace velmo {

CThreadTemplate::CThreadTemplate() {
  m_hThread.create([this] { Run(); });
}

CThreadTemplate::~CThreadTemplate() {
  m_hThread.join();
}

void CThreadTemplate::ResumeThread() {
  m_hThread.resume();
}

void CThreadTemplate::JoinThread() {
  if (!m_hThread.is_current()) m_hThread.join();
}

}  // namespace velmo
