// One failure the host reports to its user as a single line: what went wrong
// and with which file or script line. Everything the host does on untrusted
// input ends in one of these, never in a crash.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message) : std::runtime_error(oneLine(message)) {}

 private:
  // Messages quote libraries and files, which may hold line breaks and
  // other control characters; the user gets one clean line.
  static std::string oneLine(std::string text) {
    for (char& c : text)
      if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
    return text;
  }
};

}  // namespace host
