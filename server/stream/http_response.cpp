#include "stream/http_response.h"

namespace velmor {

std::string OkHeader(int64_t file_size) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(file_size) + "\r\n\r\n";
}

std::string PartialHeader(int64_t start, int64_t file_size) {
  return "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\nContent-Range: bytes " +
         std::to_string(start) + "-" + std::to_string(file_size - 1) + "/" +
         std::to_string(file_size) + "\r\nContent-Length: " + std::to_string(file_size - start) +
         "\r\n\r\n";
}

std::string NotFoundHeader() { return "HTTP/1.1 404 File Not Find\r\n\r\n"; }

std::string RangeNotSatisfiableHeader(int64_t file_size) {
  return "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
         std::to_string(file_size) + "\r\nContent-Length: 0\r\n\r\n";
}

std::string UriTooLongHeader() {
  return "HTTP/1.1 414 URI Too Long\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

}  // namespace velmor
