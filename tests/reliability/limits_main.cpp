// Times whole requests of 16, 32 and 64 MB (or the sizes in MB given as arguments) through the
// exported request, for two conversions: Shift_JIS to UTF-8 (two stages) and UTF-8 to
// ISO-2022-JP (four stages). Linear means the seconds per MB stay flat as the size grows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/reliability/request_samples.h"

namespace {

using korvel::reliability::execute;
using korvel::reliability::send;

// Japanese prose-like text of exactly `size` bytes in the given piece's encoding, whole pieces only.
std::string text_of_size(const std::string& piece, std::size_t size) {
  std::string text;
  text.reserve(size);
  while (text.size() + piece.size() <= size) text += piece;
  text.append(size - text.size(), 'a');
  return text;
}

struct conversion {
  const char* name;
  std::string piece;
  const char* source;
  const char* target;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> megabytes;
  for (int i = 1; i < argc; ++i) megabytes.push_back(static_cast<std::size_t>(std::atoi(argv[i])));
  if (megabytes.empty()) megabytes = {16, 32, 64};

  using korvel::reliability::sjis_halfwidth;
  using korvel::reliability::sjis_text;
  using korvel::reliability::utf8_text;
  const conversion conversions[] = {
      {"Shift_JIS -> UTF-8", sjis_text + " abc " + sjis_halfwidth + ", ", "Shift_JIS", "UTF-8"},
      {"UTF-8 -> ISO-2022-JP", utf8_text + " abc \xef\xbd\xb1\xef\xbe\x9e, ", "UTF-8", "ISO-2022-JP"},
  };
  std::printf("%-22s %8s %10s %10s %12s\n", "conversion", "MB", "seconds", "s per MB", "response MB");
  int status = 0;
  for (const conversion& c : conversions) {
    for (std::size_t mb : megabytes) {
      const std::string request_text = execute({"translate", text_of_size(c.piece, mb << 20), c.source, c.target});
      const auto start = std::chrono::steady_clock::now();
      const std::string response = send(request_text);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (response.compare(0, 17, "SAORI/1.0 200 OK\r") != 0) {
        std::printf("%-22s %8zu: no success response: %.60s\n", c.name, mb, response.c_str());
        status = 1;
        continue;
      }
      std::printf("%-22s %8zu %10.3f %10.4f %12.1f\n", c.name, mb, seconds, seconds / static_cast<double>(mb),
                  static_cast<double>(response.size()) / (1 << 20));
    }
  }
  return status;
}
