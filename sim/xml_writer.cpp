#include "xml_writer.h"

namespace orvsim {

std::string xml_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

XmlWriter::XmlWriter() {
  out_ = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
}

XmlWriter& XmlWriter::open(std::string_view name) {
  out_.append(open_.size() * 2, ' ').append("<").append(name).append(">\r\n");
  open_.emplace_back(name);
  return *this;
}

XmlWriter& XmlWriter::close() {
  if (open_.empty()) return *this;
  std::string name = std::move(open_.back());
  open_.pop_back();
  out_.append(open_.size() * 2, ' ').append("</").append(name).append(">\r\n");
  return *this;
}

XmlWriter& XmlWriter::element(std::string_view name, std::string_view text) {
  out_.append(open_.size() * 2, ' ').append("<").append(name).append(">");
  out_.append(xml_escape(text)).append("</").append(name).append(">\r\n");
  return *this;
}

XmlWriter& XmlWriter::element(std::string_view name, long long number) {
  return element(name, std::to_string(number));
}

XmlWriter& XmlWriter::element(std::string_view name, std::string_view attr, std::string_view value,
                              std::string_view text) {
  out_.append(open_.size() * 2, ' ').append("<").append(name).append(" ").append(attr);
  out_.append("=\"").append(xml_escape(value)).append("\">").append(xml_escape(text));
  out_.append("</").append(name).append(">\r\n");
  return *this;
}

std::string XmlWriter::finish() {
  while (!open_.empty()) close();
  return std::move(out_);
}

std::string error_reply(std::string_view detail) {
  XmlWriter xml;
  xml.open("Message").element("MSGTYPE", "detail", detail, "Error");
  return xml.finish();
}

}  // namespace orvsim
