// morvik beside glibc iconv, ICU and uchardet, in one run on the same bytes, and whole SAORI requests
// through the module's exported `request`. scripts/bench turns the JSON into one table.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <iconv.h>
#include <uchardet/uchardet.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/corpus.h"
#include "frame/saori_exports.h"
#include "morvik/engine.h"
#include "morvik/morvik.h"

namespace {

using bench::form;

constexpr std::size_t feed_size = 64 * 1024;
constexpr std::size_t detection_size = morvik::analysis_length;

struct conversion {
  const char* name;
  morvik::encoding_id from;
  morvik::encoding_id to;
  form source;
  form target;
};

// morvik's `jis` is written and read by iconv as ISO-2022-JP; the texts carry no
// half-width katakana, so both mean the same bytes.
const conversion conversions[] = {
    {"Shift_JIS->UTF-8", morvik::sjis, morvik::utf8, form::sjis, form::utf8},
    {"UTF-8->Shift_JIS", morvik::utf8, morvik::sjis, form::utf8, form::sjis},
    {"EUC-JP->Shift_JIS", morvik::euc, morvik::sjis, form::euc, form::sjis},
    {"Shift_JIS->EUC-JP", morvik::sjis, morvik::euc, form::sjis, form::euc},
    {"Shift_JIS->JIS", morvik::sjis, morvik::jis, form::sjis, form::jis},
    {"UTF-8->EUC-JP", morvik::utf8, morvik::euc, form::utf8, form::euc},
    {"JIS->UTF-8", morvik::jis, morvik::utf8, form::jis, form::utf8},
    {"EUC-JP->UTF-8", morvik::euc, morvik::utf8, form::euc, form::utf8},
    {"UTF-8->JIS", morvik::utf8, morvik::jis, form::utf8, form::jis},
};

std::string environment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

// The newest libstdc++ header folder: plain C++ to carry the Japanese comments.
std::string default_source_directory() {
  std::string best;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/include/c++", error)) {
    std::string candidate = (entry.path() / "bits").string();
    if (std::filesystem::is_directory(candidate) && candidate > best) best = candidate;
  }
  return best;
}

// --- iconv ---------------------------------------------------------------------------------

class iconv_converter {
 public:
  iconv_converter(const char* from, const char* to) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
  }
  ~iconv_converter() { iconv_close(cd_); }
  iconv_converter(const iconv_converter&) = delete;
  iconv_converter& operator=(const iconv_converter&) = delete;

  // Into a buffer the caller keeps, so iconv pays no allocation; returns the length written.
  std::size_t convert(std::string_view text, std::vector<char>& out) {
    if (out.size() < 4 * text.size() + 16) out.resize(4 * text.size() + 16);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char* target = out.data();
    std::size_t out_left = out.size();
    if (iconv(cd_, &in, &in_left, &target, &out_left) == static_cast<std::size_t>(-1) ||
        iconv(cd_, nullptr, nullptr, &target, &out_left) == static_cast<std::size_t>(-1)) {
      failed = true;
    }
    return out.size() - out_left;
  }

  bool failed = false;  // iconv stopped at a character: its time would not count the whole text

 private:
  iconv_t cd_;
};

// --- conversions ---------------------------------------------------------------------------

std::string first_difference(std::string_view ours, std::string_view theirs) {
  if (ours == theirs) return "same bytes as iconv";
  std::size_t at = 0;
  while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at]) ++at;
  auto hex = [at](std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = at; i < bytes.size() && i < at + 4; ++i) {
      const unsigned b = static_cast<unsigned char>(bytes[i]);
      out += digits[b >> 4];
      out += digits[b & 15];
    }
    return out.empty() ? std::string("end") : out;
  };
  return "differs from iconv at byte " + std::to_string(at) + " (" + hex(ours) + " vs " + hex(theirs) + ")";
}

std::string compare_with_iconv(const conversion& c, const std::vector<std::string>& texts) {
  iconv_converter converter(bench::iconv_name(c.source), bench::iconv_name(c.target));
  std::vector<char> buffer;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::string ours = morvik::translate_text(texts[i], c.from, c.to);
    std::size_t length = converter.convert(texts[i], buffer);
    std::string verdict = first_difference(ours, std::string_view(buffer.data(), length));
    if (verdict != "same bytes as iconv") return texts.size() == 1 ? verdict : "string " + std::to_string(i) + " " + verdict;
  }
  return "same bytes as iconv";
}

// --- ICU ---------------------------------------------------------------------------------------

// ICU's names for the same tables iconv uses: CP932 is windows-31j.
const char* icu_name(form f) {
  switch (f) {
    case form::sjis: return "windows-31j";
    case form::euc: return "EUC-JP";
    case form::jis: return "ISO-2022-JP";
    default: return "UTF-8";
  }
}

// ucnv_convertEx between two converters, through ICU's own UTF-16 pivot buffer.
class icu_converter {
 public:
  icu_converter(const char* from, const char* to) {
    UErrorCode status = U_ZERO_ERROR;
    source_ = ucnv_open(from, &status);
    target_ = ucnv_open(to, &status);
    if (U_FAILURE(status)) throw std::runtime_error(std::string("ucnv_open: ") + u_errorName(status));
  }
  ~icu_converter() {
    ucnv_close(source_);
    ucnv_close(target_);
  }
  icu_converter(const icu_converter&) = delete;
  icu_converter& operator=(const icu_converter&) = delete;

  std::size_t convert(const std::string& text, std::vector<char>& buffer) {
    if (buffer.size() < 4 * text.size() + 16) buffer.resize(4 * text.size() + 16);
    ucnv_resetToUnicode(source_);
    ucnv_resetFromUnicode(target_);
    char* target = buffer.data();
    const char* source = text.data();
    UChar pivot[1024];
    UChar* pivot_source = pivot;
    UChar* pivot_target = pivot;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(target_, source_, &target, buffer.data() + buffer.size(), &source, text.data() + text.size(),
                   pivot, &pivot_source, &pivot_target, pivot + 1024, true, true, &status);
    if (U_FAILURE(status)) failed = true;
    return static_cast<std::size_t>(target - buffer.data());
  }

  bool failed = false;

 private:
  UConverter* source_ = nullptr;
  UConverter* target_ = nullptr;
};

std::size_t total_size(const std::vector<std::string>& texts) {
  std::size_t size = 0;
  for (const std::string& text : texts) size += text.size();
  return size;
}

void run_translate_text(benchmark::State& state, const conversion& c, const std::vector<std::string>* texts,
                        const std::string& label) {
  for (auto _ : state) {
    for (const std::string& text : *texts) {
      morvik::narrow_string out = morvik::translate_text(text, c.from, c.to);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total_size(*texts)));
  state.SetLabel(label);
}

// A streaming caller: one engine, fed in 64 KiB pieces, output taken after each feed. Short
// strings reuse the engine and clear it after each text.
void run_engine(benchmark::State& state, const conversion& c, const std::vector<std::string>* texts) {
  morvik::engine_handle handle = morvik::create_engine<char, char>(c.from, c.to);
  auto& engine = handle.as<char, char>();
  std::size_t produced = 0;
  for (auto _ : state) {
    for (const std::string& text : *texts) {
      for (std::size_t at = 0; at < text.size(); at += feed_size) {
        engine.rest.append(text, at, feed_size);
        engine.translate();
        produced += engine.output.size();
        engine.output.clear();
      }
      engine.flush();
      produced += engine.output.size();
      engine.clear();
    }
  }
  benchmark::DoNotOptimize(produced);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total_size(*texts)));
}

void run_iconv(benchmark::State& state, const conversion& c, const std::vector<std::string>* texts) {
  iconv_converter converter(bench::iconv_name(c.source), bench::iconv_name(c.target));
  std::vector<char> buffer;
  for (auto _ : state) {
    for (const std::string& text : *texts) {
      std::size_t length = converter.convert(text, buffer);
      benchmark::DoNotOptimize(length);
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  if (converter.failed) state.SkipWithError("iconv stopped before the end of the text");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total_size(*texts)));
}

void run_icu(benchmark::State& state, const conversion& c, const std::vector<std::string>* texts) {
  icu_converter converter(icu_name(c.source), icu_name(c.target));
  std::vector<char> buffer;
  bool same = true;
  for (const std::string& text : *texts) {
    morvik::narrow_string ours = morvik::translate_text(text, c.from, c.to);
    const std::size_t length = converter.convert(text, buffer);
    same = same && std::string_view(buffer.data(), length) == ours;
  }
  for (auto _ : state) {
    for (const std::string& text : *texts) {
      std::size_t length = converter.convert(text, buffer);
      benchmark::DoNotOptimize(length);
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  if (converter.failed) state.SkipWithError("ICU failed on the text");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total_size(*texts)));
  state.SetLabel(same ? "same bytes as morvik" : "other bytes than morvik");
}

// --- detection -----------------------------------------------------------------------------

const char* morvik_encoding_name(morvik::encoding_id id) {
  switch (id) {
    case morvik::ansi: return "ANSI";
    case morvik::sjis: return "Shift_JIS";
    case morvik::jis: return "JIS";
    case morvik::euc: return "EUC-JP";
    case morvik::iso2022jp: return "ISO-2022-JP";
    case morvik::utf8: return "UTF-8";
    default: return "unknown";
  }
}

void run_detect_morvik(benchmark::State& state, const std::string* text) {
  morvik::encoding_id id = morvik::unknown_encoding;
  for (auto _ : state) {
    id = morvik::detect_encoding(*text, detection_size);
    benchmark::DoNotOptimize(id);
  }
  state.SetLabel(morvik_encoding_name(id));
}

void run_detect_uchardet(benchmark::State& state, const std::string* text) {
  uchardet_t detector = uchardet_new();
  std::string answer;
  for (auto _ : state) {
    uchardet_reset(detector);
    uchardet_handle_data(detector, text->data(), text->size());
    uchardet_data_end(detector);
    const char* charset = uchardet_get_charset(detector);
    benchmark::DoNotOptimize(charset);
    answer = charset;
  }
  uchardet_delete(detector);
  state.SetLabel(answer.empty() ? "none" : answer);
}

// --- requests through the module -----------------------------------------------------------

struct module_library {
  void* handle = nullptr;
  saori_load_function load = nullptr;
  saori_request_function request = nullptr;
  saori_unload_function unload = nullptr;
  std::string error;
};

module_library open_module(const std::string& path) {
  module_library module;
  module.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module.handle == nullptr) {
    const char* error = dlerror();
    module.error = error != nullptr ? error : "dlopen failed";
    return module;
  }
  module.load = reinterpret_cast<saori_load_function>(dlsym(module.handle, "load"));
  module.request = reinterpret_cast<saori_request_function>(dlsym(module.handle, "request"));
  module.unload = reinterpret_cast<saori_unload_function>(dlsym(module.handle, "unload"));
  if (module.request == nullptr) module.error = "no request export in " + path;
  return module;
}

// The module frees what it is given and the host frees the answer; on Linux both are the C heap.
std::string send_request(saori_request_function request, const std::string& text) {
  void* block = std::malloc(text.size());
  std::memcpy(block, text.data(), text.size());
  saori_long length = static_cast<saori_long>(text.size());
  void* answer = request(block, &length);
  std::string response;
  if (answer != nullptr && length > 0) response.assign(static_cast<const char*>(answer), static_cast<std::size_t>(length) - 1);
  std::free(answer);
  return response;
}

std::string translate_request(const std::string& text) {
  return "EXECUTE SAORI/1.0\r\nCharset: Shift_JIS\r\nSender: bench\r\nArgument0: translate\r\nArgument1: " + text +
         "\r\nArgument2: Shift_JIS\r\nArgument3: UTF-8\r\n\r\n";
}

std::string analyze_request(const std::string& text) {
  return "EXECUTE SAORI/1.0\r\nCharset: Shift_JIS\r\nSender: bench\r\nArgument0: analyze encoding\r\nArgument1: " +
         text + "\r\n\r\n";
}

// Each request is also timed alone, so that the median of single requests can be reported
// beside the mean that the benchmark itself gives.
void run_request(benchmark::State& state, saori_request_function request, const std::vector<std::string>* requests) {
  using clock = std::chrono::steady_clock;
  std::size_t next = 0;
  std::size_t answered = 0;
  std::vector<double> samples;
  samples.reserve(1 << 20);
  for (auto _ : state) {
    const std::string& text = (*requests)[next];
    if (++next == requests->size()) next = 0;
    const clock::time_point start = clock::now();
    void* block = std::malloc(text.size());
    std::memcpy(block, text.data(), text.size());
    saori_long length = static_cast<saori_long>(text.size());
    void* answer = request(block, &length);
    answered += static_cast<std::size_t>(length);
    std::free(answer);
    if (samples.size() < samples.capacity()) {
      samples.push_back(std::chrono::duration<double, std::micro>(clock::now() - start).count());
    }
  }
  benchmark::DoNotOptimize(answered);
  if (!samples.empty()) {
    auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    state.counters["median_us"] = *middle;
  }
  std::string status = send_request(request, requests->front());
  status = status.substr(0, status.find('\r'));
  state.SetLabel(status);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string manuals = environment("KORVEL_BENCH_MANUALS", "/usr/share/man/ja");
  const std::string sources = environment("KORVEL_BENCH_SOURCES", default_source_directory());
  const std::size_t prose_bytes = std::stoul(environment("KORVEL_BENCH_PROSE_BYTES", "10000000"));
  const std::size_t ascii_bytes = std::stoul(environment("KORVEL_BENCH_ASCII_BYTES", "4000000"));

  morvik::initialize_library();
  static const bench::corpus inputs = bench::build_corpus(manuals, sources, prose_bytes, ascii_bytes, 1000);

  // For profiling one conversion outside the benchmark (callgrind, perf): the inputs as files.
  const std::string dump = environment("KORVEL_BENCH_DUMP", "");
  if (!dump.empty()) {
    std::filesystem::create_directories(dump);
    for (form f : {form::sjis, form::euc, form::jis, form::utf8}) {
      std::ofstream(dump + "/prose." + bench::display_name(f), std::ios::binary) << inputs.prose[f];
      std::ofstream(dump + "/ascii-heavy." + bench::display_name(f), std::ios::binary) << inputs.ascii_heavy[f];
    }
  }

  auto ascii_share = [](const std::string& text) {
    std::size_t plain = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    return std::to_string(text.empty() ? 0 : 100 * plain / text.size()) + "%";
  };
  benchmark::AddCustomContext("prose", std::to_string(inputs.prose[form::utf8].size()) + " bytes UTF-8 from " +
                                           std::to_string(inputs.manual_pages) + " pages of " + manuals +
                                           ", ASCII " + ascii_share(inputs.prose[form::utf8]));
  benchmark::AddCustomContext("ascii_heavy", std::to_string(inputs.ascii_heavy[form::utf8].size()) +
                                                 " bytes UTF-8 from " + std::to_string(inputs.source_files) +
                                                 " headers of " + sources + ", ASCII " +
                                                 ascii_share(inputs.ascii_heavy[form::utf8]));
  benchmark::AddCustomContext("short", std::to_string(inputs.short_strings[form::sjis].size()) +
                                           " strings of about 100 bytes");

  // Whole texts are benchmarked as one-element lists, so every runner serves all three inputs.
  static std::vector<std::vector<std::string>> whole_texts;
  whole_texts.reserve(2 * bench::form_count);
  auto as_list = [](const std::string& text) {
    whole_texts.push_back({text});
    return &whole_texts.back();
  };
  struct input_kind {
    const char* name;
    const std::vector<std::string>* texts[bench::form_count];
  };
  std::vector<input_kind> kinds(3);
  kinds[0].name = "prose";
  kinds[1].name = "ascii-heavy";
  kinds[2].name = "100-byte";
  for (int f = 0; f < bench::form_count; ++f) {
    kinds[0].texts[f] = as_list(inputs.prose.forms[f]);
    kinds[1].texts[f] = as_list(inputs.ascii_heavy.forms[f]);
    kinds[2].texts[f] = &inputs.short_strings.forms[f];
  }

  for (const input_kind& kind : kinds) {
    for (const conversion& c : conversions) {
      const std::vector<std::string>* texts = kind.texts[static_cast<int>(c.source)];
      const std::string prefix = std::string("convert/") + c.name + "/" + kind.name + "/";
      const std::string verdict = compare_with_iconv(c, *texts);
      benchmark::RegisterBenchmark((prefix + "translate_text").c_str(), run_translate_text, c, texts, verdict)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((prefix + "engine").c_str(), run_engine, c, texts)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((prefix + "iconv").c_str(), run_iconv, c, texts)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((prefix + "icu").c_str(), run_icu, c, texts)->Unit(benchmark::kMillisecond);
    }
  }

  static std::vector<std::string> detection_texts;
  detection_texts.reserve(2 * bench::form_count);
  for (const char* kind : {"prose", "ascii-heavy"}) {
    const bench::text_set& set = std::string_view(kind) == "prose" ? inputs.prose : inputs.ascii_heavy;
    for (form f : {form::sjis, form::euc, form::jis, form::utf8}) {
      detection_texts.push_back(set[f].substr(0, detection_size));
      const std::string prefix = std::string("detect/") + bench::display_name(f) + "/" + kind + "/";
      benchmark::RegisterBenchmark((prefix + "morvik").c_str(), run_detect_morvik, &detection_texts.back())
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark((prefix + "uchardet").c_str(), run_detect_uchardet, &detection_texts.back())
          ->Unit(benchmark::kMicrosecond);
    }
  }

  const std::string module_path = environment("KORVEL_MODULE", KORVEL_MODULE_PATH);
  static module_library module = open_module(module_path);
  static std::vector<std::string> translate_requests;
  static std::vector<std::string> analyze_requests;
  if (module.error.empty()) {
    if (module.load != nullptr) {
      void* directory = std::malloc(1);
      module.load(directory, 0);
    }
    for (const std::string& text : inputs.short_strings[form::sjis]) {
      translate_requests.push_back(translate_request(text));
      analyze_requests.push_back(analyze_request(text));
    }
    benchmark::RegisterBenchmark("request/translate/100-byte", run_request, module.request, &translate_requests)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("request/analyze encoding/100-byte", run_request, module.request, &analyze_requests)
        ->Unit(benchmark::kMicrosecond);
  } else {
    std::cerr << "morvik_bench: requests not measured: " << module.error << "\n";
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (module.error.empty() && module.unload != nullptr) module.unload();
  return 0;
}
