#include "faults.h"

namespace orvsim {

Fault Fault::Status(int code) {
  Fault f;
  f.kind = FaultKind::status;
  f.status = code;
  return f;
}

Fault Fault::MissingElement(std::string name) {
  Fault f;
  f.kind = FaultKind::missing_element;
  f.element = std::move(name);
  return f;
}

Fault Fault::WrongElement(std::string name, std::string text) {
  Fault f;
  f.kind = FaultKind::wrong_element;
  f.element = std::move(name);
  f.text = std::move(text);
  return f;
}

Fault Fault::ShortBody(std::size_t bytes_sent) {
  Fault f;
  f.kind = FaultKind::short_body;
  f.body_bytes = bytes_sent;
  return f;
}

Fault Fault::Stall() {
  Fault f;
  f.kind = FaultKind::stall;
  return f;
}

Fault Fault::Drop() {
  Fault f;
  f.kind = FaultKind::drop;
  return f;
}

Fault Fault::NoContentLength() {
  Fault f;
  f.kind = FaultKind::no_content_length;
  return f;
}

Fault Fault::Delay(int ms) {
  Fault f;
  f.kind = FaultKind::delay;
  f.delay_ms = ms;
  return f;
}

Fault Fault::Raw(std::string answer) {
  Fault f;
  f.kind = FaultKind::raw;
  f.text = std::move(answer);
  return f;
}

std::string Fault::describe() const {
  switch (kind) {
    case FaultKind::status:
      return "status " + std::to_string(status);
    case FaultKind::missing_element:
      return "missing " + element;
    case FaultKind::wrong_element:
      return "wrong " + element;
    case FaultKind::short_body:
      return "short body " + std::to_string(body_bytes);
    case FaultKind::stall:
      return "stall";
    case FaultKind::drop:
      return "drop";
    case FaultKind::no_content_length:
      return "no content-length";
    case FaultKind::delay:
      return "delay " + std::to_string(delay_ms);
    case FaultKind::raw:
      return "raw";
  }
  return "?";
}

void FaultPlan::next(const Fault& fault, int count) {
  std::lock_guard lock(m_);
  for (int i = 0; i < count; ++i) next_.push_back(fault);
}

void FaultPlan::for_path(std::string path, const Fault& fault, int count) {
  std::lock_guard lock(m_);
  if (count == 0) return;
  paths_.push_back({std::move(path), fault, count});
}

void FaultPlan::clear() {
  std::lock_guard lock(m_);
  next_.clear();
  paths_.clear();
}

std::optional<Fault> FaultPlan::take(std::string_view path) {
  std::lock_guard lock(m_);
  if (!next_.empty()) {
    Fault f = std::move(next_.front());
    next_.pop_front();
    return f;
  }
  for (auto it = paths_.begin(); it != paths_.end(); ++it) {
    if (it->path != path) continue;
    Fault f = it->fault;
    if (it->remaining > 0 && --it->remaining == 0) paths_.erase(it);
    return f;
  }
  return std::nullopt;
}

namespace {

// Finds the next element `name` at or after `from`: [start, end) covers the
// whole element, [inner, inner_end) its content (empty for <name/>).
struct ElementSpan {
  std::size_t start, inner, inner_end, end;
};

std::optional<ElementSpan> find_element(std::string_view xml, std::string_view name,
                                        std::size_t from) {
  while (from < xml.size()) {
    std::size_t lt = xml.find('<', from);
    if (lt == std::string_view::npos) return std::nullopt;
    std::size_t after = lt + 1 + name.size();
    if (xml.compare(lt + 1, name.size(), name) != 0 || after >= xml.size()) {
      from = lt + 1;
      continue;
    }
    char c = xml[after];
    if (c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      from = lt + 1;
      continue;
    }
    std::size_t gt = xml.find('>', after);
    if (gt == std::string_view::npos) return std::nullopt;
    if (xml[gt - 1] == '/') return ElementSpan{lt, gt + 1, gt + 1, gt + 1};
    std::string close = "</" + std::string(name) + ">";
    std::size_t ct = xml.find(close, gt + 1);
    if (ct == std::string_view::npos) return std::nullopt;
    return ElementSpan{lt, gt + 1, ct, ct + close.size()};
  }
  return std::nullopt;
}

}  // namespace

std::string remove_element(std::string_view xml, std::string_view name) {
  std::string out;
  std::size_t pos = 0;
  while (auto span = find_element(xml, name, pos)) {
    out.append(xml.substr(pos, span->start - pos));
    pos = span->end;
  }
  out.append(xml.substr(pos));
  return out;
}

std::string replace_element_text(std::string_view xml, std::string_view name,
                                 std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  while (auto span = find_element(xml, name, pos)) {
    if (span->inner == span->end) {  // <name/> grows into <name>text</name>
      out.append(xml.substr(pos, span->start - pos));
      out.append("<").append(name).append(">").append(text);
      out.append("</").append(name).append(">");
    } else {
      out.append(xml.substr(pos, span->inner - pos));
      out.append(text);
      out.append(xml.substr(span->inner_end, span->end - span->inner_end));
    }
    pos = span->end;
  }
  out.append(xml.substr(pos));
  return out;
}

}  // namespace orvsim
