// Process-wide named events and mutexes: one object per name while anyone
// holds it, like the kernel objects they stand for.
#include <map>
#include <mutex>

#include "platform/event.h"

namespace platform {
namespace {

template <typename T>
struct Registry {
  std::mutex m;
  std::map<std::string, std::weak_ptr<T>> objects;

  template <typename Make>
  std::shared_ptr<T> open(const std::string& name, Make make) {
    std::lock_guard lock(m);
    auto& slot = objects[name];
    if (auto existing = slot.lock()) return existing;
    auto created = make();
    slot = created;
    // Forget names whose objects are gone, so the map does not grow without end.
    for (auto it = objects.begin(); it != objects.end();)
      it = it->second.expired() ? objects.erase(it) : std::next(it);
    return created;
  }
};

}  // namespace

std::shared_ptr<Event> open_named_event(const std::string& name, bool manual_reset,
                                        bool initially_set) {
  static Registry<Event> registry;
  return registry.open(name,
                       [&] { return std::make_shared<Event>(manual_reset, initially_set); });
}

std::shared_ptr<Mutex> open_named_mutex(const std::string& name) {
  static Registry<Mutex> registry;
  return registry.open(name, [] { return std::make_shared<Mutex>(); });
}

}  // namespace platform
