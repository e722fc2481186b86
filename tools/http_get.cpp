#include "http_get.h"

#include <algorithm>
#include <limits>

#include "platform/clock.h"
#include "platform/file.h"

namespace velmor::player {
namespace {

constexpr size_t kMaxHeadBytes = 16 * 1024;
constexpr size_t kReceivePiece = 64 * 1024;

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/' || c == ':';
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameWithoutCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A whole decimal number without sign, or nothing.
std::optional<int64_t> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ParseStatusLine(std::string_view line, HttpResponseHead* head) {
  if (line.substr(0, 5) != "HTTP/") return false;
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.size() < blank + 4) return false;
  const auto status = ParseCount(line.substr(blank + 1, 3));
  if (!status || (line.size() > blank + 4 && line[blank + 4] != ' ')) return false;
  head->status = static_cast<int>(*status);
  return true;
}

bool AddHeader(std::string_view line, HttpResponseHead* head, std::string* error) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) {
    SetError(error, "header line without a name: \"" + std::string(line) + "\"");
    return false;
  }
  const std::string_view name = line.substr(0, colon);
  const std::string_view value = Trim(line.substr(colon + 1));
  head->headers.emplace_back(std::string(name), std::string(value));
  if (!SameWithoutCase(name, "Content-Length")) return true;
  const auto length = ParseCount(value);
  if (!length || (head->content_length && *head->content_length != *length)) {
    SetError(error, "bad Content-Length \"" + std::string(value) + "\"");
    return false;
  }
  head->content_length = length;
  return true;
}

struct ContentRange {
  int64_t first = 0;
  int64_t last = 0;
  int64_t total = 0;
};

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  if (value.substr(0, 6) != "bytes ") return std::nullopt;
  value.remove_prefix(6);
  const size_t dash = value.find('-');
  const size_t slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
    return std::nullopt;
  }
  const auto first = ParseCount(value.substr(0, dash));
  const auto last = ParseCount(value.substr(dash + 1, slash - dash - 1));
  const auto total = ParseCount(value.substr(slash + 1));
  if (!first || !last || !total) return std::nullopt;
  return ContentRange{*first, *last, *total};
}

std::vector<std::string> CheckPartialAnswer(const HttpResponseHead& head, int64_t start) {
  std::vector<std::string> problems;
  const auto header = head.Header("Content-Range");
  const auto range = header ? ParseContentRange(*header) : std::nullopt;
  if (!range) return {"206 answer without a Content-Range \"bytes START-LAST/TOTAL\""};
  if (range->first != start) {
    problems.push_back("Content-Range starts at " + std::to_string(range->first) +
                       ", the request asked for " + std::to_string(start));
  }
  if (range->last != range->total - 1) {
    problems.push_back("Content-Range ends at " + std::to_string(range->last) +
                       ", not at the last byte " + std::to_string(range->total - 1));
  }
  if (head.content_length != range->total - range->first) {
    problems.push_back("Content-Length is not TOTAL - START = " +
                       std::to_string(range->total - range->first));
  }
  return problems;
}

class NetworkingScope {
 public:
  NetworkingScope() : started_(platform::StartNetworking()) {}
  ~NetworkingScope() {
    if (started_) platform::StopNetworking();
  }
  bool started() const { return started_; }

 private:
  bool started_;
};

// Reads more bytes into *received; false with *error on close, error or
// time-out.
bool ReceiveSome(platform::Socket* socket, uint32_t timeout_ms, std::string* received,
                 std::string* error) {
  if (!socket->WaitReadable(timeout_ms)) {
    SetError(error, "timed out waiting for the server");
    return false;
  }
  char piece[kReceivePiece];
  platform::SocketError socket_error = platform::kSocketOk;
  const int64_t n = socket->Receive(piece, sizeof(piece), &socket_error);
  if (n < 0 && socket_error == platform::kSocketWouldBlock) return true;
  if (n <= 0) {
    SetError(error, n == 0 ? "the server closed the connection"
                           : "receive failed (socket error " + std::to_string(socket_error) + ")");
    return false;
  }
  received->append(piece, static_cast<size_t>(n));
  return true;
}

bool SendAll(platform::Socket* socket, std::string_view bytes, uint32_t timeout_ms,
             std::string* error) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    platform::SocketError socket_error = platform::kSocketOk;
    const int64_t n = socket->Send(bytes.data() + sent, bytes.size() - sent, &socket_error);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && socket_error != platform::kSocketWouldBlock) {
      SetError(error, "send failed (socket error " + std::to_string(socket_error) + ")");
      return false;
    }
    if (!socket->WaitWritable(timeout_ms)) {
      SetError(error, "send timed out");
      return false;
    }
  }
  return true;
}

// Receives up to the empty line; the bytes after it stay in *received.
std::optional<HttpResponseHead> ReceiveHead(platform::Socket* socket, uint32_t timeout_ms,
                                            std::string* received, std::string* error) {
  size_t end = received->find("\r\n\r\n");
  while (end == std::string::npos) {
    if (received->size() > kMaxHeadBytes) {
      SetError(error, "response head is longer than " + std::to_string(kMaxHeadBytes) + " bytes");
      return std::nullopt;
    }
    std::string receive_error;
    if (!ReceiveSome(socket, timeout_ms, received, &receive_error)) {
      SetError(error, receive_error + " before the end of the response head");
      return std::nullopt;
    }
    end = received->find("\r\n\r\n");
  }
  auto head = ParseHttpResponseHead(std::string_view(*received).substr(0, end), error);
  received->erase(0, end + 4);
  return head;
}

bool WriteAll(platform::File* file, std::string_view bytes, std::string* error) {
  if (bytes.empty() ||
      file->Write(bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size()))
    return true;
  SetError(error, "cannot write the output file");
  return false;
}

// Writes exactly `length` body bytes, those already received first.
bool ReceiveBody(platform::Socket* socket, uint32_t timeout_ms, std::string received,
                 int64_t length, platform::File* file, HttpGetResult* result) {
  for (;;) {
    const auto wanted = static_cast<size_t>(length - result->body_bytes);
    const std::string_view piece = std::string_view(received).substr(0, wanted);
    if (!WriteAll(file, piece, &result->error)) return false;
    result->body_bytes += static_cast<int64_t>(piece.size());
    received.clear();
    if (result->body_bytes == length) return true;
    std::string error;
    if (!ReceiveSome(socket, timeout_ms, &received, &error)) {
      result->error = error + " after " + std::to_string(result->body_bytes) + " of " +
                      std::to_string(length) + " body bytes";
      return false;
    }
  }
}

}  // namespace

std::string PercentEncodePath(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      encoded.push_back(c);
      continue;
    }
    encoded.push_back('%');
    encoded.push_back(kHex[byte >> 4]);
    encoded.push_back(kHex[byte & 0xF]);
  }
  return encoded;
}

std::string BuildHttpGet(const HttpGetRequest& request, std::string_view host_header) {
  std::string text = "GET /" + PercentEncodePath(request.path);
  if (request.stream) text += "?stream=" + std::to_string(*request.stream);
  text += " HTTP/1.1\r\nHost: " + std::string(host_header) + "\r\n";
  if (request.range_start) text += "Range: bytes=" + std::to_string(*request.range_start) + "-\r\n";
  text += "\r\n";
  return text;
}

std::optional<std::string> HttpResponseHead::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameWithoutCase(key, name)) return value;
  }
  return std::nullopt;
}

std::optional<HttpResponseHead> ParseHttpResponseHead(std::string_view head, std::string* error) {
  HttpResponseHead result;
  size_t line_start = 0;
  bool first = true;
  while (line_start <= head.size()) {
    size_t line_end = head.find("\r\n", line_start);
    if (line_end == std::string_view::npos) line_end = head.size();
    const std::string_view line = head.substr(line_start, line_end - line_start);
    line_start = line_end + 2;
    if (first) {
      first = false;
      result.status_line = std::string(line);
      if (!ParseStatusLine(line, &result)) {
        SetError(error, "bad status line \"" + std::string(line) + "\"");
        return std::nullopt;
      }
      continue;
    }
    if (!AddHeader(line, &result, error)) return std::nullopt;
  }
  return result;
}

std::vector<std::string> CheckHttpAnswer(const HttpResponseHead& head,
                                         const HttpGetRequest& request) {
  const int64_t start = request.range_start.value_or(0);
  if (head.status == 404) return {};
  if (!head.content_length) return {"answer without a Content-Length"};
  if (head.status == 206) return CheckPartialAnswer(head, start);
  if (head.status != 200) return {"unexpected status " + std::to_string(head.status)};
  if (start != 0) {
    return {"200 answer to a request starting at " + std::to_string(start) + " (206 expected)"};
  }
  return {};
}

HttpGetResult HttpGet(const platform::Ipv4Address& address, uint16_t port,
                      const HttpGetRequest& request, const std::string& output_path,
                      uint32_t timeout_ms) {
  HttpGetResult result;
  NetworkingScope networking;
  platform::Socket socket;
  if (!networking.started() || !socket.ConnectTcp(address, port, timeout_ms)) {
    result.error = "cannot connect to " + address.ToString() + ":" + std::to_string(port);
    return result;
  }
  const std::string host = address.ToString() + ":" + std::to_string(port);
  if (!SendAll(&socket, BuildHttpGet(request, host), timeout_ms, &result.error)) return result;
  std::string received;
  auto head = ReceiveHead(&socket, timeout_ms, &received, &result.error);
  if (!head) return result;
  result.head = std::move(*head);
  if (result.head.status < 200 || result.head.status > 299) return result;
  platform::File file;
  if (!file.Open(output_path, platform::File::Mode::kCreate)) {
    result.error = "cannot create " + output_path;
    return result;
  }
  const int64_t length = result.head.content_length.value_or(0);
  ReceiveBody(&socket, timeout_ms, std::move(received), length, &file, &result);
  return result;
}

}  // namespace velmor::player
