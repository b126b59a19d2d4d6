#pragma once
// The fixed response texts, each a whole response.
#include <string_view>

namespace korvel {

// The version probe names the protocol and nothing else: kawari detaches a module whose answer
// does not start with "SAORI/1.", and YAYA would adopt a Charset line as its charset for the module.
inline constexpr std::string_view version_response{"SAORI/1.0 200 OK\r\n\r\n"};
inline constexpr std::string_view no_contents_response{"SAORI/1.0 204 No Content\r\n\r\n"};
inline constexpr std::string_view bad_request_response{"SAORI/1.0 400 Bad Request\r\n\r\n"};
inline constexpr std::string_view internal_error_response{"SAORI/1.0 500 Internal Server Error\r\n\r\n"};

inline constexpr std::string_view version_method{"GET Version"};

}  // namespace korvel
