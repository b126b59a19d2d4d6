// Random and mutated requests through the exports: every one gets a well-formed response, nothing
// crashes, nothing leaks (the sanitize build checks the last two).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/frame/test_support.h"

namespace korvel {
namespace {

using testing::exchange;
using testing::hex;
using testing::send_request;

const std::vector<std::string> seeds = {
    "GET Version SAORI/1.0\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nArgument0: arguments\r\nArgument1: a\r\nArgument3: c\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nSender: host\r\nSecurityLevel: Local\r\nArgument0: headers\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nArgument0: twelve values\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nArgument0: no contents\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nArgument0: internal error\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nArgument0: foreign exception\r\n\r\n",
    "EXECUTE SAORI/1.0\r\nX-Note: a: b\r\n: \r\nArgument0: empty value\r\n\r\ntrailing: x\r\n\r\n",
};

// Pieces that steer the grammar to its decisions.
const std::vector<std::string> fragments = {
    "\r\n", "\n", "\r", ": ", ":", " ", std::string(1, '\0'), "Argument", "Argument0: ", "Argument-1: ",
    "Argument2147483648: ", "Argument65535: ", "Argument99999999999: ", "Argument+", "Charset: ", "Sender: ",
    "SecurityLevel: ", "EXECUTE SAORI/1.0\r\n", "GET Version SAORI/1.0\r\n", "\xFF\xFE", "Argument0: arguments\r\n",
};

bool well_formed(const exchange& answer) {
  if (!answer.returned_block || answer.length < 1) return false;
  const std::string& block = answer.block_text;
  if (block.size() != static_cast<std::size_t>(answer.length) || block.back() != '\0') return false;
  const std::string text = block.substr(0, block.size() - 1);
  if (text.find('\0') != std::string::npos) return false;
  if (text == "SAORI/1.0 200 OK\r\n\r\n" || text == "SAORI/1.0 204 No Content\r\n\r\n" || text == "SAORI/1.0 400 Bad Request\r\n\r\n" ||
      text == "SAORI/1.0 500 Internal Server Error\r\n\r\n")
    return true;
  const std::string head = "SAORI/1.0 200 OK\r\nCharset: ";
  return text.compare(0, head.size(), head) == 0 && text.size() >= 4 &&
         text.compare(text.size() - 4, 4, "\r\n\r\n") == 0 && text.find("\r\nSender: TEST\r\n") != std::string::npos;
}

std::string mutate(std::string text, std::mt19937& random) {
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = text.empty() ? 0 : random() % (text.size() + 1);
    switch (random() % 5) {
      case 0:  // flip a byte
        if (!text.empty()) text[at % text.size()] = static_cast<char>(random());
        break;
      case 1:  // cut a range
        text.erase(at, random() % 8);
        break;
      case 2:  // insert a fragment
        text.insert(at, fragments[random() % fragments.size()]);
        break;
      case 3:  // repeat a piece
        text.insert(at, text.substr(at, random() % 40));
        break;
      default:  // random bytes
        for (std::size_t n = random() % 6; n > 0; --n) text.insert(text.begin() + static_cast<long>(at), static_cast<char>(random()));
        break;
    }
  }
  return text;
}

TEST(robustness, random_and_mutated_requests) {
  std::mt19937 random(20240601);
  for (int i = 0; i < 10000; ++i) {
    std::string text;
    if (i % 10 == 0) {
      for (std::size_t n = random() % 64; n > 0; --n) text += static_cast<char>(random());
    } else {
      text = mutate(seeds[random() % seeds.size()], random);
    }
    // Sometimes *len says less than the block holds.
    const std::size_t length = i % 7 == 0 && !text.empty() ? random() % text.size() : text.size();
    const exchange answer = send_request(text, static_cast<saori_long>(length));
    ASSERT_TRUE(well_formed(answer)) << "case " << i << " request " << hex(text.substr(0, length)) << "\n  response "
                                     << hex(answer.block_text);
  }
}

TEST(robustness, huge_inputs) {
  const std::string execute = "EXECUTE SAORI/1.0\r\n";
  std::string many_lines = execute;
  for (int i = 0; i < 100000; ++i) many_lines += "Argument" + std::to_string(i % 50) + ": " + std::to_string(i) + "\r\n";
  many_lines += "Argument0: arguments\r\n\r\n";

  const std::vector<std::pair<const char*, std::string>> cases = {
      {"sixteen_megabyte_value",
       execute + "Argument0: arguments\r\nSender: " + std::string(16 << 20, 's') + "\r\n\r\n"},
      {"sixteen_megabyte_name_without_colon", execute + std::string(16 << 20, 'n')},
      {"hundred_thousand_lines", many_lines},
      {"largest_argument_number", execute + "Argument0: arguments\r\nArgument65535: x\r\n\r\n"},
      {"huge_argument_numbers", execute + "Argument0: arguments\r\nArgument4294967296: x\r\nArgument-2147483649: y\r\n\r\n"},
  };
  for (const auto& [name, text] : cases) {
    const exchange answer = send_request(text);
    ASSERT_TRUE(well_formed(answer)) << name << " response " << hex(answer.block_text);
  }
}

}  // namespace
}  // namespace korvel
