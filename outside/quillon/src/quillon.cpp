#include "quillon/quillon.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <string_view>

namespace {

// Settings files are a few hundred bytes; anything this large is not one.
constexpr std::streamoff kMaxFileBytes = 16 * 1024 * 1024;

pugi::xml_node node_of(DOMElement* e) {
  return pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(e));
}

DOMElement* element_of(pugi::xml_node n) {
  return reinterpret_cast<DOMElement*>(n.internal_object());
}

// The node after n in document order, walking without recursion so that
// deeply nested input cannot exhaust the stack.
pugi::xml_node next_in_order(pugi::xml_node n) {
  if (pugi::xml_node child = n.first_child()) return child;
  for (; n; n = n.parent()) {
    if (pugi::xml_node sibling = n.next_sibling()) return sibling;
  }
  return {};
}

bool is_named(pugi::xml_node n, const char* name) {
  return n.type() == pugi::node_element && std::strcmp(n.name(), name) == 0;
}

// First element called name strictly after `after`, or from the start of the
// document when `after` is null.
pugi::xml_node find_after(const pugi::xml_document& doc, pugi::xml_node after, const char* name) {
  pugi::xml_node n = after ? next_in_order(after) : doc.first_child();
  for (; n; n = next_in_order(n))
    if (is_named(n, name)) return n;
  return {};
}

// The element's own text: its text and CDATA children joined, without the
// blanks around it.
std::string text_of(pugi::xml_node element) {
  std::string all;
  for (pugi::xml_node n = element.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) all += n.value();
  std::string_view s(all);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// Bytes are kept as they are (GBK, UTF-8, anything 8-bit) unless a byte-order
// mark or zero bytes around the first '<' say the text is UTF-16 or UTF-32.
pugi::xml_encoding encoding_for(std::string_view data) {
  const auto at = [&](std::size_t i) {
    return i < data.size() ? static_cast<unsigned char>(data[i]) : 0x100u;
  };
  const bool wide = (at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF) ||
                    (at(0) == 0x3C && at(1) == 0x00) || (at(0) == 0x00 && at(1) == 0x3C) ||
                    (at(0) == 0x00 && at(1) == 0x00);
  return wide ? pugi::encoding_auto : pugi::encoding_utf8;
}

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
};

constexpr unsigned kPrintFlags = pugi::format_raw | pugi::format_no_declaration;

}  // namespace

struct CQuillon::Impl {
  pugi::xml_document doc;
  bool loaded = false;
  // The current element as this reader set it; the public member mirrors it
  // but belongs to the caller.
  pugi::xml_node current;

  bool parse(std::string_view data) {
    doc.reset();
    current = {};
    loaded = false;
    if (data.empty()) return false;
    const pugi::xml_parse_result r =
        doc.load_buffer(data.data(), data.size(), pugi::parse_default, encoding_for(data));
    loaded = r && doc.document_element();
    if (!loaded) doc.reset();
    return loaded;
  }

  pugi::xml_node first(const char* name) const {
    if (!loaded || !name) return {};
    return find_after(doc, {}, name);
  }

  // True when e is a node of the loaded document; the pointer itself is
  // never followed unless it is found there.
  bool owns(DOMElement* e) const {
    if (!loaded || !e) return false;
    if (e == element_of(current)) return true;
    for (pugi::xml_node n = doc.first_child(); n; n = next_in_order(n))
      if (element_of(n) == e) return true;
    return false;
  }
};

CQuillon::CQuillon() : impl_(std::make_unique<Impl>()) {}
CQuillon::~CQuillon() = default;

int CQuillon::LoadXML(const char* text, int length) {
  m_pCurElement = nullptr;
  if (!text || length < 0) {
    impl_->parse({});
    return -1;
  }
  const std::size_t size = length == 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  return impl_->parse(std::string_view(text, size)) ? 0 : -1;
}

int CQuillon::LoadXML(const char* path) {
  m_pCurElement = nullptr;
  std::string data;
  if (path && *path) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      in.seekg(0, std::ios::end);
      const std::streamoff size = in.tellg();
      in.seekg(0, std::ios::beg);
      if (size > 0 && size <= kMaxFileBytes) {
        data.resize(static_cast<std::size_t>(size));
        if (!in.read(data.data(), size)) data.clear();
      }
    }
  }
  return impl_->parse(data) ? 1 : 0;
}

std::string CQuillon::Query(char* name, char* child) {
  pugi::xml_node n = impl_->first(name);
  if (n && child) n = n.child(child);
  return n ? text_of(n) : std::string();
}

long CQuillon::QueryLng(char* name) {
  const pugi::xml_node n = impl_->first(name);
  if (!n) return 0xFFFFFF;
  const std::string text = text_of(n);
  return std::strtol(text.c_str(), nullptr, 10);
}

std::string CQuillon::QueryAttr(char* name, char* attribute) {
  const pugi::xml_node n = impl_->first(name);
  if (!n || !attribute) return {};
  return n.attribute(attribute).value();
}

bool CQuillon::MoveTo(char* const name) {
  const pugi::xml_node n = impl_->first(name);
  if (!n) return false;
  impl_->current = n;
  m_pCurElement = element_of(n);
  return true;
}

DOMElement* CQuillon::MoveNext(char* name, char* /*unused1*/, char* /*unused2*/) {
  if (!impl_->loaded || !name) return nullptr;
  const pugi::xml_node n = find_after(impl_->doc, impl_->current, name);
  if (!n) return nullptr;
  impl_->current = n;
  m_pCurElement = element_of(n);
  return m_pCurElement;
}

std::string CQuillon::GetXml(DOMElement* element) {
  if (!impl_->owns(element)) return {};
  StringWriter out;
  node_of(element).print(out, "", kPrintFlags, pugi::encoding_utf8);
  return std::move(out.text);
}

std::string CQuillon::GetXml() {
  if (!impl_->loaded) return {};
  StringWriter out;
  impl_->doc.save(out, "", kPrintFlags, pugi::encoding_utf8);
  return std::move(out.text);
}
