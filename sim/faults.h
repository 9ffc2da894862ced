// Faults tests inject into the HTTP server's answers: for the next request(s)
// or for every request to one path. A planned fault is used up one request at
// a time; "next" faults win over path faults.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvsim {

enum class FaultKind {
  status,             // answer with `status`, body as the handler made it
  missing_element,    // every `element` removed from the reply body
  wrong_element,      // the text of every `element` replaced by `text`
  short_body,         // Content-Length of the whole body, `body_bytes` of it sent, then close
  stall,              // no answer until the server stops or the client closes
  drop,               // close the connection without answering
  no_content_length,  // the reply without a Content-Length field, then close
  delay,              // the normal answer after `delay_ms` (cut short by stop)
  raw,                // `text` sent as the whole answer (status line and all), then kept open
};

struct Fault {
  FaultKind kind = FaultKind::status;
  int status = 0;
  std::string element;
  std::string text;
  std::size_t body_bytes = 0;
  int delay_ms = 0;

  static Fault Status(int code);
  static Fault MissingElement(std::string name);
  static Fault WrongElement(std::string name, std::string text);
  static Fault ShortBody(std::size_t bytes_sent);
  static Fault Stall();
  static Fault Drop();
  static Fault NoContentLength();
  static Fault Delay(int ms);
  static Fault Raw(std::string answer);

  std::string describe() const;  // "status 404", "missing IP", ...
};

class FaultPlan {
 public:
  // The next `count` requests, whatever their path, get this fault.
  void next(const Fault& fault, int count = 1);
  // Requests to `path` ("/query") get this fault; count < 0: until cleared.
  void for_path(std::string path, const Fault& fault, int count = -1);
  void clear();
  // The fault for one request, used up.
  std::optional<Fault> take(std::string_view path);

 private:
  struct PathFault {
    std::string path;
    Fault fault;
    int remaining;  // < 0: without limit
  };
  std::mutex m_;
  std::deque<Fault> next_;
  std::vector<PathFault> paths_;
};

// Body edits on the simulator's own replies (well-formed, no same-name nesting).
std::string remove_element(std::string_view xml, std::string_view name);
std::string replace_element_text(std::string_view xml, std::string_view name,
                                 std::string_view text);

}  // namespace orvsim
