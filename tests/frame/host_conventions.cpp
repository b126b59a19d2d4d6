// KORVEL.so as the hosts that ghosts run call it: dlopen, blocks from malloc that the module frees,
// answers the host frees. kawari8 and YAYA call load, request and unload with C long lengths;
// ninix-kagari calls KORVEL_saori_load, _request and _unload with an instance id, passes a request
// block one byte longer than *len and reads *len bytes of answer. Each family replays its session
// from tests/requests/hosts/ (version probe first, then every function), whose expected answers
// Python's codecs computed.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/frame/test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using testing::hex;

// As the hosts declare them.
using host_load = int (*)(char* h, long len);
using host_request = char* (*)(char* h, long* len);
using host_unload = int (*)();
using ninix_load = int (*)(char* dir, long len);
using ninix_request = char* (*)(long id, char* h, long* len);
using ninix_unload = int (*)(long id);

const std::string module_directory = "/home/user/ghost/master/saori/";

struct exchange_case {
  std::string name;
  std::string request;
  std::string response;
};

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The family's session, in the order the files are numbered.
std::vector<exchange_case> session(const std::string& family) {
  const char* const source = std::getenv("KORVEL_SOURCE_DIR");
  const fs::path bank = fs::path(source != nullptr ? source : ".") / "tests" / "requests" / "hosts";
  std::vector<fs::path> requests;
  for (const auto& entry : fs::directory_iterator(bank)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".request" && name.rfind(family + "-", 0) == 0 &&
        std::isdigit(static_cast<unsigned char>(name[family.size() + 1])))
      requests.push_back(entry.path());
  }
  std::sort(requests.begin(), requests.end());
  std::vector<exchange_case> cases;
  for (const fs::path& request : requests)
    cases.push_back({request.stem().string(), read_file(request), read_file(fs::path(request).replace_extension(".response"))});
  return cases;
}

// `extra` bytes more than the text, zero: a NUL the length does not count.
char* malloc_block(const std::string& bytes, std::size_t extra = 0) {
  char* const block = static_cast<char*>(std::calloc(bytes.size() + extra + 1, 1));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

class korvel_so : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = dlopen(KORVEL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (library_ != nullptr) dlclose(library_);
  }
  template <class Function>
  Function find(const char* name) {
    void* const symbol = dlsym(library_, name);
    EXPECT_NE(symbol, nullptr) << name << " is not exported";
    return reinterpret_cast<Function>(symbol);
  }

  // kawari8's and YAYA's way: *len counts the NUL that ends the answer.
  void run_plain_session(const std::string& family) {
    const auto load = find<host_load>("load");
    const auto request = find<host_request>("request");
    const auto unload = find<host_unload>("unload");
    ASSERT_TRUE(load && request && unload);
    const std::vector<exchange_case> cases = session(family);
    ASSERT_GE(cases.size(), 10u) << family;
    EXPECT_EQ(load(malloc_block(module_directory), static_cast<long>(module_directory.size())), 1);
    for (const exchange_case& c : cases) {
      long len = static_cast<long>(c.request.size());
      char* const answer = request(malloc_block(c.request), &len);
      ASSERT_NE(answer, nullptr) << c.name;
      ASSERT_EQ(len, static_cast<long>(c.response.size() + 1)) << c.name;
      const std::string got(answer, static_cast<std::size_t>(len));
      std::free(answer);
      EXPECT_EQ(got, c.response + '\0')
          << c.name << ":\n  got  " << hex(got) << "\n  want " << hex(c.response + '\0');
    }
    EXPECT_EQ(unload(), 1);
  }

  void* library_ = nullptr;
};

TEST_F(korvel_so, kawari_session) { run_plain_session("kawari"); }
TEST_F(korvel_so, yaya_euc_jp_session) { run_plain_session("yaya-euc"); }
TEST_F(korvel_so, yaya_utf8_session) { run_plain_session("yaya-utf8"); }

// The probe as each host reads it: kawari wants "SAORI/1." at the start, Satori "SAORI/1.0 ",
// YAYA a status starting with 2 and no Charset line to adopt.
TEST_F(korvel_so, version_probe_as_each_host_reads_it) {
  const auto request = find<host_request>("request");
  ASSERT_NE(request, nullptr);
  for (const char* family : {"kawari", "yaya-euc", "yaya-utf8", "ninix"}) {
    const exchange_case probe = session(family).at(0);
    long len = static_cast<long>(probe.request.size());
    char* const answer = request(malloc_block(probe.request), &len);
    ASSERT_NE(answer, nullptr) << probe.name;
    const std::string text(answer, static_cast<std::size_t>(len) - 1);
    std::free(answer);
    EXPECT_EQ(len, 21) << probe.name;
    EXPECT_EQ(text.rfind("SAORI/1.0 2", 0), 0u) << probe.name << " " << hex(text);
    EXPECT_EQ(text.find("Charset"), std::string::npos) << probe.name << " " << hex(text);
  }
}

// ninix-kagari's way: an id from load, *len bytes of answer with an uncounted NUL after them.
TEST_F(korvel_so, ninix_session) {
  const auto load = find<ninix_load>("KORVEL_saori_load");
  const auto request = find<ninix_request>("KORVEL_saori_request");
  const auto unload = find<ninix_unload>("KORVEL_saori_unload");
  ASSERT_TRUE(load && request && unload);
  const std::vector<exchange_case> cases = session("ninix");
  ASSERT_GE(cases.size(), 10u);
  const long id = load(malloc_block(module_directory, 1), static_cast<long>(module_directory.size()));
  ASSERT_GT(id, 0);
  for (const exchange_case& c : cases) {
    long len = static_cast<long>(c.request.size());
    char* const answer = request(id, malloc_block(c.request, 1), &len);
    ASSERT_NE(answer, nullptr) << c.name;
    ASSERT_EQ(len, static_cast<long>(c.response.size())) << c.name;
    EXPECT_EQ(answer[len], '\0') << c.name;
    const std::string got(answer, static_cast<std::size_t>(len));
    std::free(answer);
    EXPECT_EQ(got, c.response) << c.name << ":\n  got  " << hex(got) << "\n  want " << hex(c.response);
  }
  EXPECT_EQ(unload(id), 1);
}

// The module keeps no instances: two loaded at once, and ids it never handed out, answer alike.
TEST_F(korvel_so, ninix_instances_share_nothing) {
  const auto load = find<ninix_load>("KORVEL_saori_load");
  const auto request = find<ninix_request>("KORVEL_saori_request");
  const auto unload = find<ninix_unload>("KORVEL_saori_unload");
  ASSERT_TRUE(load && request && unload);
  const long first = load(malloc_block("/a/", 1), 3);
  const long second = load(malloc_block("/b/", 1), 3);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  const std::vector<exchange_case> cases = session("ninix");
  for (const long id : {first, second, 7L, 123456789L}) {
    for (const exchange_case& c : cases) {
      long len = static_cast<long>(c.request.size());
      char* const answer = request(id, malloc_block(c.request, 1), &len);
      ASSERT_NE(answer, nullptr) << c.name << " id " << id;
      const std::string got(answer, static_cast<std::size_t>(std::max(len, 0L)));
      std::free(answer);
      EXPECT_EQ(got, c.response) << c.name << " id " << id << ":\n  got  " << hex(got) << "\n  want "
                                 << hex(c.response);
    }
  }
  EXPECT_EQ(unload(first), 1);
  EXPECT_EQ(unload(second), 1);
}

// Bad input at ninix's entry points gets an answer, as at the plain ones.
TEST_F(korvel_so, ninix_bad_blocks) {
  const auto load = find<ninix_load>("KORVEL_saori_load");
  const auto request = find<ninix_request>("KORVEL_saori_request");
  ASSERT_TRUE(load && request);
  EXPECT_GT(load(nullptr, 0), 0);
  const std::string bad = "SAORI/1.0 400 Bad Request\r\n\r\n";
  struct {
    const char* name;
    char* block;
    long len;
  } cases[] = {
      {"null_block", nullptr, 0},
      {"empty", malloc_block("", 1), 0},
      {"negative_length", malloc_block("GET Version SAORI/1.0\r\n\r\n", 1), -25},
      {"cut_probe", malloc_block("GET Version SAORI/1.0\r\n\r\n", 1), 23},
  };
  for (auto& c : cases) {
    long len = c.len;
    char* const answer = request(1, c.block, &len);
    ASSERT_NE(answer, nullptr) << c.name;
    ASSERT_EQ(len, static_cast<long>(bad.size())) << c.name;
    EXPECT_EQ(std::string(answer, static_cast<std::size_t>(len)), bad) << c.name;
    std::free(answer);
  }
}

}  // namespace
}  // namespace korvel
