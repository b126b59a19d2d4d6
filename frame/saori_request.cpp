#include "frame/saori_request.h"

#include "frame/request_grammar.h"
#include "frame/saori_error.h"

namespace korvel {

saori_request::saori_request(const std::string& request_text)
    : request_text(request_text), arguments(10) {}

void saori_request::parse() {
  if (!request_grammar(*this)) throw saori_error(saori_error::bad_request, "Parser error.");
}

void saori_request::store_argument(std::int32_t index, std::string_view value) {
  argument_index = index;
  const auto entry = static_cast<std::size_t>(index);
  if (entry >= arguments.size()) arguments.resize(entry + 1);
  arguments[entry].assign(value.data(), value.size());
}

}  // namespace korvel
