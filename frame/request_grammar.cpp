#include "frame/request_grammar.h"

#include <boost/spirit/home/x3.hpp>
#include <functional>
#include <string_view>

namespace korvel {
namespace {

namespace x3 = boost::spirit::x3;
using x3::lit;

// The record being filled travels in the parse context.
struct record_tag;

template <class Context>
saori_request& record(Context& context) {
  return x3::get<record_tag>(context).get();
}

using text_range = boost::iterator_range<const char*>;

std::string_view text_of(const text_range& range) {
  return std::string_view(range.begin(), static_cast<std::size_t>(range.end() - range.begin()));
}

// Actions. A value is stored only after the whole line has matched.
auto const store_method = [](auto& context) { record(context).method = text_of(x3::_attr(context)); };
auto const store_security_level = [](auto& context) {
  record(context).security_level = text_of(x3::_attr(context));
};
auto const store_charset = [](auto& context) { record(context).charset = text_of(x3::_attr(context)); };
auto const store_sender = [](auto& context) { record(context).sender = text_of(x3::_attr(context)); };
auto const store_argument = [](auto& context) {
  auto& line = x3::_attr(context);
  record(context).store_argument(boost::fusion::at_c<0>(line), text_of(boost::fusion::at_c<1>(line)));
};
// A number that names no entry fails here, so the line is read again as an ignored header.
auto const read_argument_index = [](auto& context) {
  const std::int32_t index = x3::_attr(context);
  x3::_pass(context) = 0 <= index && index <= saori_request::max_argument_index;
  if (x3::_pass(context)) record(context).argument_index = index;
};

// Signed decimal, optional sign, leading zeros allowed; a value beyond 32 bits does not match.
x3::int_parser<std::int32_t> const argument_number;
auto const line_end = lit("\r\n");
auto const any_byte = x3::standard::char_;

// Ordered choice and greedy repetition are PEG semantics already; every repetition here is a loop.
auto const header_value = x3::rule<struct header_value_id, text_range>{"header_value"} =
    x3::raw[*~x3::standard::char_("\r\n")];
auto const method = x3::rule<struct method_id, text_range>{"method"} =
    x3::raw[lit("GET Version") | lit("EXECUTE")];
auto const request_line = x3::rule<struct request_line_id>{"request_line"} =
    method[store_method] >> lit(" SAORI/1.0\r\n");
auto const argument_line = x3::rule<struct argument_line_id>{"argument_line"} =
    (lit("Argument") >> argument_number[read_argument_index] >> ": " >> header_value >> line_end)
        [store_argument];
auto const other_header = x3::rule<struct other_header_id>{"other_header"} =
    *~x3::standard::char_(':') >> ": " >> header_value >> line_end;
auto const header_line = x3::rule<struct header_line_id>{"header_line"} =
    argument_line
    | (lit("SecurityLevel: ") >> header_value >> line_end)[store_security_level]
    | (lit("Charset: ") >> header_value >> line_end)[store_charset]
    | (lit("Sender: ") >> header_value >> line_end)[store_sender]
    | other_header;
auto const start = request_line >> *header_line >> line_end >> x3::omit[*any_byte];

}  // namespace

bool request_grammar(saori_request& request) {
  const char* first = request.request_text.data();
  const char* const last = first + request.request_text.size();
  return x3::parse(first, last, x3::with<record_tag>(std::ref(request))[start]);
}

}  // namespace korvel
