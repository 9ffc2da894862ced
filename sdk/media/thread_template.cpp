#include "media/thread_template.h"

namespace velmo {

CThreadTemplate::CThreadTemplate() {
  m_hThread.create([this] { Run(); });
}

CThreadTemplate::~CThreadTemplate() = default;

void CThreadTemplate::ResumeThread() {
  m_hThread.resume();
}

bool CThreadTemplate::JoinThread() {
  return m_hThread.join();
}

}  // namespace velmo
