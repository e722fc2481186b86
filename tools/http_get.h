// The player's stream download: one HTTP/1.1 GET of a file on the PC by its
// full path, "?stream=N" choosing the stream slot and "Range: bytes=START-"
// the start position, with the body written to a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/socket.h"

namespace velmor::player {

struct HttpGetRequest {
  std::string path;  // the file's full path, UTF-8 ("/home/u/a.mp4", "C:/v/a.mp4")
  std::optional<int64_t> range_start;
  std::optional<int> stream;
};

// UTF-8 bytes outside the unreserved characters, "/" and ":" as %XX; the
// server decodes every %XX, so a blank, "%", "?" or "#" in a name survive.
std::string PercentEncodePath(std::string_view utf8);
// The request text: every path follows the slash that starts the request
// path, so a POSIX path gives "GET //home/u/a.mp4 HTTP/1.1".
std::string BuildHttpGet(const HttpGetRequest& request, std::string_view host_header);

struct HttpResponseHead {
  std::string status_line;
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, as received
  std::optional<int64_t> content_length;

  // The first header of that name (compared without case), if any.
  std::optional<std::string> Header(std::string_view name) const;
};

// The status line and header lines, without the empty line that ends them.
std::optional<HttpResponseHead> ParseHttpResponseHead(std::string_view head, std::string* error);

// What a correct answer to the request must look like: 200 with the whole
// length when no range or range 0 was asked for, 206 with a Content-Range
// "bytes START-LAST/TOTAL" matching the start otherwise. Each mismatch is
// one text; none for a correct answer or a 404.
std::vector<std::string> CheckHttpAnswer(const HttpResponseHead& head,
                                         const HttpGetRequest& request);

struct HttpGetResult {
  HttpResponseHead head;
  int64_t body_bytes = 0;  // bytes written to the output file
  std::string error;       // connection or format failure
};

// Connects, sends the request and reads the answer; the body (exactly
// Content-Length bytes; none without that header, as the server sends no
// other body) goes to output_path, which is created only for a 2xx answer.
// timeout_ms bounds every wait for the server, not the whole download.
HttpGetResult HttpGet(const platform::Ipv4Address& address, uint16_t port,
                      const HttpGetRequest& request, const std::string& output_path,
                      uint32_t timeout_ms);

}  // namespace velmor::player
