#pragma once
// The fixed response texts, each a whole response.
#include <string_view>

namespace korvel {

inline constexpr std::string_view no_contents_response{"SHIORI/1.0 210 No Contents\r\n\r\n"};
inline constexpr std::string_view bad_request_response{"SAORI/1.0 400 Bad Request\r\n\r\n"};
inline constexpr std::string_view internal_error_response{"SAORI/1.0 500 Internal Server Error\r\n\r\n"};

inline constexpr std::string_view version_method{"GET Version"};

}  // namespace korvel
