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

#ifndef KORVEL_COMMAND_VERSION
#define KORVEL_COMMAND_VERSION "unknown"
#endif

void print_usage(std::FILE* to) {
  std::fputs(
      "usage: korvel [--module PATH] raw FILE|-\n"
      "       korvel [--module PATH] call FUNCTION [ARG1 [ARG2 [ARG3]]] [--charset NAME]\n"
      "       korvel --help | --version\n"
      "  raw   sends the bytes of FILE (or of standard input) as the request and writes the\n"
      "        response bytes unchanged\n"
      "  call  sends an EXECUTE request with Argument0 = FUNCTION and Argument1-3 = ARG1-3\n"
      "  --module PATH  the SAORI module to load (default: ",
      to);
  std::fprintf(to, "%s beside this program)\n", default_module_name);
  std::fputs(
      "Exit status: 0 for a 2xx answer; 1 for any other answer (it is still printed) or a\n"
      "module that cannot be loaded or gives no answer; 2 for a usage error.\n",
      to);
}

int usage(const char* problem = nullptr) {
  if (problem != nullptr) std::fprintf(stderr, "korvel: %s\n", problem);
  print_usage(stderr);
  return usage_status;
}

// The status code of a response's first line ("SAORI/1.0 200 OK"), or -1.
int status_code(const std::string& response) {
  const std::size_t space = response.find(' ');
  if (space == std::string::npos || space + 4 > response.size()) return -1;
  int code = 0;
  for (std::size_t i = space + 1; i < space + 4; ++i) {
    const char digit = response[i];
    if (digit < '0' || digit > '9') return -1;
    code = code * 10 + (digit - '0');
  }
  return code;
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

bool file_exists(const std::string& path) {
  std::FILE* const file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// Beside the program in a build directory; in the library directory once installed.
std::string default_module_path() {
  const std::string beside = korvel::executable_directory() + default_module_name;
#ifdef KORVEL_INSTALLED_MODULE_DIRECTORY
  if (!file_exists(beside)) {
    const std::string installed =
        korvel::executable_directory() + KORVEL_INSTALLED_MODULE_DIRECTORY + default_module_name;
    if (file_exists(installed)) return installed;
  }
#endif
  return beside;
}

bool has_line_end(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
    print_usage(stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : failure_status;
  }
  if (words.size() == 1 && (words[0] == "--version" || words[0] == "-V")) {
    std::fputs("korvel " KORVEL_COMMAND_VERSION "\n", stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : failure_status;
  }
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

  if (module_path.empty()) module_path = default_module_path();
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
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "korvel: write error: %s\n", std::strerror(errno));
    return failure_status;
  }
  // Scripts test the exit status: an answer that is no success is a failure.
  const int code = status_code(*response);
  if (code < 200 || code > 299) {
    std::fprintf(stderr, "korvel: the module answered %s\n",
                 response->substr(0, response->find_first_of("\r\n")).c_str());
    return failure_status;
  }
  return 0;
}
