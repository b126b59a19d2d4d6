// The request operation of every module: parse, answer the version probe, run the named function,
// compose the response. The only place where saori_error becomes a status line.
#include <string>

#include "frame/responses.h"
#include "frame/saori_error.h"
#include "frame/saori_module.h"
#include "frame/saori_request.h"

namespace korvel {
namespace {

std::string success_response(const std::string& charset, const std::string& module_name,
                             const saori_result& result) {
  std::string response;
  response.append("SAORI/1.0 200 OK\r\n");
  response.append("Charset: ").append(charset).append("\r\n");
  response.append("Sender: ").append(module_name).append("\r\n");
  if (!result.result.empty()) response.append("Result: ").append(result.result).append("\r\n");
  for (std::size_t i = 0; i < result.values.size(); ++i)
    response.append("Value").append(std::to_string(i)).append(": ").append(result.values[i]).append("\r\n");
  response.append("\r\n");
  return response;
}

}  // namespace

bool basic_saori_module::request(const std::string& request_text, std::string& response) {
  try {
    saori_request parsed(request_text);
    parsed.parse();
    if (parsed.method == version_method) {
      response = version_response;
      return true;
    }
    charset = parsed.charset;
    security_level = parsed.security_level;
    sender = parsed.sender;

    if (parsed.arguments.empty()) throw saori_error(saori_error::bad_request, "Bad argument1.");
    const auto function = function_table.find(parsed.arguments[0]);
    if (function == function_table.end()) throw saori_error(saori_error::bad_request, parsed.arguments[0]);

    saori_result result;
    if (function->second(parsed.arguments, result))
      response = success_response(charset, module_name, result);
    else
      response = no_contents_response;
    return true;
  } catch (const saori_error& error) {
    response = error.status_code == saori_error::bad_request ? bad_request_response : internal_error_response;
    return false;
  }
}

}  // namespace korvel
