// One HTTP request as the server received it, and the pure parsing of its head
// and query. Nothing here touches a socket, so the fuzz target drives it directly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvsim {

struct HeaderField {
  std::string name;   // as received
  std::string value;  // as received, without the blanks around it
};

struct HttpRequest {
  std::string head;          // request line and header fields, byte for byte, with the blank line
  std::string request_line;  // without its line end
  std::string method;
  std::string target;  // as received: "/query?i2c=..." (an absolute URL is kept too)
  std::string version;
  std::string path;   // "/query"
  std::string query;  // raw text after '?', no decoding
  std::vector<HeaderField> fields;
  std::string body;

  // First field with that name (case-insensitive); nullopt when absent.
  std::optional<std::string> field(std::string_view name) const;
  // True when the client asked to keep the connection (HTTP/1.1 default).
  bool keep_alive() const;
};

// Query values are taken as raw bytes: the client sends them without
// percent-encoding, and CP936 text passes through untouched.
struct QueryParams {
  std::vector<std::pair<std::string, std::string>> items;  // in order, duplicates kept

  const std::string* find(std::string_view key) const;  // first with that key
  std::string get(std::string_view key) const;          // empty when absent
  bool has(std::string_view key) const { return find(key) != nullptr; }
};

QueryParams parse_query(std::string_view query);

// Where the head ends: the index just past the blank line ("\r\n\r\n" or
// "\n\n"), or nullopt when the buffer does not hold a whole head yet.
std::optional<std::size_t> find_head_end(std::string_view buffer);

enum class HeadError { none, bad_request_line, bad_field, bad_version };

// Parses a complete head (as cut by find_head_end) into request; no body.
HeadError parse_request_head(std::string_view head, HttpRequest& request);

// Content-Length of a request: 0 when absent, nullopt when malformed.
std::optional<std::size_t> request_body_length(const HttpRequest& request);

}  // namespace orvsim
