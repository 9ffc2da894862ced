// Builds the simulator's XML replies. Text is written as given (CP936 bytes
// pass through); only the characters XML reserves are escaped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvsim {

class XmlWriter {
 public:
  XmlWriter();  // starts with the declaration
  XmlWriter& open(std::string_view name);
  XmlWriter& close();
  XmlWriter& element(std::string_view name, std::string_view text);
  XmlWriter& element(std::string_view name, long long number);
  // An element with one attribute and text: <name attr="value">text</name>.
  XmlWriter& element(std::string_view name, std::string_view attr, std::string_view value,
                     std::string_view text);
  // Closes what is still open and hands out the document.
  std::string finish();

 private:
  std::string out_;
  std::vector<std::string> open_;
};

std::string xml_escape(std::string_view text);

// The reply of a failed request: MSGTYPE "Error" with the reason in "detail".
std::string error_reply(std::string_view detail);

}  // namespace orvsim
