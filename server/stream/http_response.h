// The stream server's answers: the exact header bytes the player expects
// for 200, 206 and 404, and the refusals of requests it never makes.
#pragma once

#include <cstdint>
#include <string>

namespace velmor {

// "HTTP/1.1 200 OK" with the file size as Content-Length.
std::string OkHeader(int64_t file_size);
// "HTTP/1.1 206 Partial Content" from start to the file's last byte.
std::string PartialHeader(int64_t start, int64_t file_size);
// Every refusal of a file the player may not have: "HTTP/1.1 404 File Not Find".
std::string NotFoundHeader();
// A start at or past the end of the file: 416 with "bytes */SIZE".
std::string RangeNotSatisfiableHeader(int64_t file_size);
// A header block longer than the receive buffer; the connection is closed.
std::string UriTooLongHeader();

}  // namespace velmor
