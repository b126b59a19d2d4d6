// korvel: a SAORI host on the command line. Loads a module, sends it one request, prints the answer.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/saori_host.h"

namespace {

constexpr int usage_status = 2;
constexpr int failure_status = 1;

#ifdef _WIN32
constexpr const char* default_module_name = "KORVEL.dll";
#else
constexpr const char* default_module_name = "KORVEL.so";
#endif

// The headers a host sends beside the arguments.
constexpr const char* host_sender = "korvel";
constexpr const char* host_security_level = "Local";

int usage(const char* problem = nullptr) {
  if (problem != nullptr) std::fprintf(stderr, "korvel: %s\n", problem);
  std::fputs(
      "usage: korvel [--module PATH] raw FILE|-\n"
      "       korvel [--module PATH] call FUNCTION [ARG1 [ARG2 [ARG3]]] [--charset NAME]\n"
      "  raw   sends the bytes of FILE (or of standard input) as the request and writes the\n"
      "        response bytes unchanged\n"
      "  call  sends an EXECUTE request with Argument0 = FUNCTION and Argument1-3 = ARG1-3\n"
      "  --module PATH  the SAORI module to load (default: " ,
      stderr);
  std::fprintf(stderr, "%s beside this program)\n", default_module_name);
  return usage_status;
}

std::optional<std::string> read_all(const std::string& file_name) {
  std::FILE* const file = file_name == "-" ? stdin : std::fopen(file_name.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  if (failed) return std::nullopt;
  return bytes;
}

std::string execute_request(const std::vector<std::string>& arguments, const std::string* charset) {
  std::string text = "EXECUTE SAORI/1.0\r\n";
  if (charset != nullptr) text += "Charset: " + *charset + "\r\n";
  text += std::string("Sender: ") + host_sender + "\r\n";
  text += std::string("SecurityLevel: ") + host_security_level + "\r\n";
  for (std::size_t i = 0; i < arguments.size(); ++i)
    text += "Argument" + std::to_string(i) + ": " + arguments[i] + "\r\n";
  text += "\r\n";
  return text;
}

bool has_line_end(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string module_path;
  std::size_t next = 0;
  if (next < words.size() && words[next] == "--module") {
    if (next + 1 >= words.size()) return usage("--module needs a path");
    module_path = words[next + 1];
    next += 2;
  }
  if (next >= words.size()) return usage();
  const std::string command = words[next++];

  std::string request_text;
  if (command == "raw") {
    if (words.size() - next != 1) return usage("raw takes one FILE or -");
    const std::optional<std::string> bytes = read_all(words[next]);
    if (!bytes) {
      std::fprintf(stderr, "korvel: cannot read %s: %s\n", words[next].c_str(), std::strerror(errno));
      return failure_status;
    }
    request_text = *bytes;
  } else if (command == "call") {
    std::vector<std::string> arguments;
    std::optional<std::string> charset;
    for (; next < words.size(); ++next) {
      if (words[next] == "--charset") {
        if (next + 1 >= words.size()) return usage("--charset needs a name");
        charset = words[++next];
      } else {
        arguments.push_back(words[next]);
      }
    }
    if (arguments.empty()) return usage("call needs a FUNCTION");
    if (arguments.size() > 4) return usage("call takes at most three arguments after FUNCTION");
    for (const std::string& argument : arguments)
      if (has_line_end(argument)) return usage("a request line cannot hold CR or LF");
    if (charset && has_line_end(*charset)) return usage("a request line cannot hold CR or LF");
    request_text = execute_request(arguments, charset ? &*charset : nullptr);
  } else {
    return usage(("unknown command " + command).c_str());
  }

  if (module_path.empty()) module_path = korvel::executable_directory() + default_module_name;
  korvel::saori_host host;
  if (!host.open(module_path)) {
    std::fprintf(stderr, "korvel: %s\n", host.error().c_str());
    return failure_status;
  }
  host.load(korvel::directory_of(module_path));
  const std::optional<std::string> response = host.request(request_text);
  host.unload();
  if (!response) {
    std::fputs("korvel: the module returned no response\n", stderr);
    return failure_status;
  }
  std::fwrite(response->data(), 1, response->size(), stdout);
  std::fflush(stdout);
  return 0;
}
