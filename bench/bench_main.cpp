// tarnwick-bench: whole-file figures for the load path, each compared with the bare libyaml
// event scan of the same bytes (the floor).
//
//   tarnwick-bench table NAME=FILE...       scan, tree, load, dump, peak RSS of `check`, ratios
//   tarnwick-bench linear FILE_V FILE_2V    load time and peak RSS as the VPC count doubles
//   tarnwick-bench startup FILE             `check FILE` against a process that only exits
//   tarnwick-bench paired FILE [PAIRS]      median load/scan ratio of at least 9 paired runs
//   tarnwick-bench process FILE [PAIRS]     the same for whole processes: `check FILE` against
//                                           tarnwick-bench-scan FILE, with peak RSS
//   tarnwick-bench diff OLD NEW [PAIRS]     `diff OLD NEW` against `check OLD`, whole processes
//   tarnwick-bench gbench FILE [--benchmark_...]   the same stages under Google Benchmark
//   tarnwick-bench lsp FILE [CHANGES]       `tarnwick-config lsp`: diagnostics after a change
//
// Times are the minimum over repetitions (the machine is shared; the minimum is the run least
// disturbed). TARNWICK_BENCH_REPS overrides the repetition count.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <yaml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "lsp_client.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;

namespace {

using Clock = std::chrono::steady_clock;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The floor: libyaml's event parser over the bytes, every event dropped at once.
std::size_t scan(const std::string& text) {
  yaml_parser_t parser;
  if (!yaml_parser_initialize(&parser)) throw std::bad_alloc();
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
  std::size_t events = 0;
  for (bool done = false; !done;) {
    yaml_event_t e;
    if (!yaml_parser_parse(&parser, &e)) {
      yaml_parser_delete(&parser);
      throw std::runtime_error("scan failed");
    }
    done = e.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&e);
    ++events;
  }
  yaml_parser_delete(&parser);
  return events;
}

std::size_t tree(const std::string& text) {
  yaml::Document doc = yaml::read_string(text, "bench.yaml");
  return doc.node_count();
}

// The full load, as load_from_yaml does it once the file is read: records built while reading.
core::DiscoveryConfiguration loaded(const std::string& text) {
  core::LoadResult read = core::load(core::Source::text(text, "bench.yaml"));
  if (!read.config) throw std::runtime_error("the benchmark document is not valid");
  return std::move(*read.config);
}

std::size_t load(const std::string& text) {
  return loaded(text).account_info.size();
}

int reps_for(std::size_t bytes) {
  if (const char* env = std::getenv("TARNWICK_BENCH_REPS")) return std::max(1, std::atoi(env));
  if (bytes < 100'000) return 200;
  if (bytes < 5'000'000) return 15;
  return 7;
}

// Minimum wall time of fn() in milliseconds.
double time_ms(int reps, const std::function<void()>& fn) {
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    auto t0 = Clock::now();
    fn();
    auto t1 = Clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

// Minimum wall time in milliseconds of make(), until its result is returned: freeing the result
// is the caller's business, so it is not timed (the load's records, the dump's mapping).
template <class Make>
double ms_until_returned(int reps, Make make) {
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    auto t0 = Clock::now();
    auto result = make();
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(result);
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

double load_ms(int reps, const std::string& text) {
  return ms_until_returned(reps, [&] { return loaded(text); });
}

struct RunResult {
  double wall_ms;
  long maxrss_kb;
  int status;
};

// One child process, output discarded; its wall time and peak resident set (wait4 rusage).
RunResult run_process(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  auto t0 = Clock::now();
  pid_t pid = -1;
  int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error(std::string("cannot start ") + args[0]);
  int status = 0;
  struct rusage ru {};
  while (::wait4(pid, &status, 0, &ru) < 0) {
    if (errno != EINTR) throw std::runtime_error("wait4 failed");
  }
  auto t1 = Clock::now();
  return {std::chrono::duration<double, std::milli>(t1 - t0).count(), ru.ru_maxrss,
          WIFEXITED(status) ? WEXITSTATUS(status) : 128};
}

// Peak RSS of `tarnwick-config check FILE` in KiB (the least of a few runs), and whether it
// passed.
long check_rss_kb(const std::string& file, int runs = 3) {
  long best = -1;
  for (int i = 0; i < runs; ++i) {
    RunResult r = run_process({TARNWICK_CONFIG_BIN, "check", file});
    if (r.status != 0) {
      throw std::runtime_error("tarnwick-config check " + file + " failed with status " +
                               std::to_string(r.status));
    }
    best = best < 0 ? r.maxrss_kb : std::min(best, r.maxrss_kb);
  }
  return best;
}

struct Row {
  std::string name;
  std::size_t bytes;
  double scan_ms, tree_ms, load_ms, dump_ms;
  long rss_kb;
};

Row measure(const std::string& name, const std::string& file, long rss_kb) {
  const std::string text = slurp(file);
  const int reps = reps_for(text.size());
  Row row{name, text.size(), 0, 0, 0, 0, rss_kb};
  // One untimed pass of each, so that first-touch costs do not land on one stage only.
  scan(text);
  load(text);
  // The stages take turns within each repetition, so a disturbed stretch of a shared machine
  // slows all of them rather than one; each keeps its best.
  row.scan_ms = row.tree_ms = row.load_ms = 1e300;
  for (int i = 0; i < reps; ++i) {
    row.scan_ms = std::min(row.scan_ms, time_ms(1, [&] { benchmark::DoNotOptimize(scan(text)); }));
    row.tree_ms = std::min(row.tree_ms, time_ms(1, [&] { benchmark::DoNotOptimize(tree(text)); }));
    row.load_ms = std::min(row.load_ms, load_ms(1, text));
  }
  {
    const core::DiscoveryConfiguration config = loaded(text);
    row.dump_ms = ms_until_returned(reps, [&] { return core::dump_to_dict(config); });
  }
  return row;
}

int cmd_table(const std::vector<std::string>& named_files) {
  std::vector<std::pair<std::string, std::string>> docs;
  for (const std::string& named_file : named_files) {
    auto eq = named_file.find('=');
    docs.emplace_back(eq == std::string::npos ? named_file : named_file.substr(0, eq),
                      eq == std::string::npos ? named_file : named_file.substr(eq + 1));
  }
  // Children first, while this process is still small: Linux carries the high-water mark of the
  // memory a child starts from into its ru_maxrss.
  std::vector<long> rss;
  for (const auto& doc : docs) rss.push_back(check_rss_kb(doc.second));
  std::vector<Row> rows;
  for (std::size_t i = 0; i < docs.size(); ++i) {
    std::fprintf(stderr, "measuring %s (%s)...\n", docs[i].first.c_str(), docs[i].second.c_str());
    rows.push_back(measure(docs[i].first, docs[i].second, rss[i]));
  }
  std::printf("| %-8s | %12s | %9s | %9s | %9s | %9s | %9s | %9s | %9s | %9s | %8s |\n", "size",
              "bytes", "scan ms", "tree ms", "tree/scan", "load ms", "load/scan", "dump ms",
              "dump/load", "peak MB", "RSS/file");
  std::printf("|%s|\n", std::string(128, '-').c_str());
  for (const Row& r : rows) {
    const double mb = static_cast<double>(r.rss_kb) / 1024.0;
    std::printf(
        "| %-8s | %12zu | %9.3f | %9.3f | %9.2f | %9.3f | %9.2f | %9.3f | %9.2f | %9.1f | %8.2f "
        "|\n",
        r.name.c_str(), r.bytes, r.scan_ms, r.tree_ms, r.tree_ms / r.scan_ms, r.load_ms,
        r.load_ms / r.scan_ms, r.dump_ms, r.dump_ms / r.load_ms, mb,
        static_cast<double>(r.rss_kb) * 1024.0 / static_cast<double>(r.bytes));
  }
  return 0;
}

int cmd_linear(const std::string& small, const std::string& big) {
  long ra = check_rss_kb(small), rb = check_rss_kb(big);  // first: see cmd_table
  const std::string a = slurp(small), b = slurp(big);
  const int reps = reps_for(b.size());
  double ta = load_ms(reps, a);
  double tb = load_ms(reps, b);
  std::printf(
      "linearity (VPCs doubled): bytes %zu -> %zu (x%.2f); load %.1f -> %.1f ms (x%.2f); "
      "check peak RSS %.1f -> %.1f MB (x%.2f); goal: at most x2.20\n",
      a.size(), b.size(), static_cast<double>(b.size()) / static_cast<double>(a.size()), ta, tb,
      tb / ta, static_cast<double>(ra) / 1024.0, static_cast<double>(rb) / 1024.0,
      static_cast<double>(rb) / static_cast<double>(ra));
  return 0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Scan and load take turns, run after run, so that a disturbed stretch of the shared machine
// slows both halves of a pair; the figure is the median of the pairs' ratios.
int cmd_paired(const std::string& file, int pairs) {
  const long rss_kb = check_rss_kb(file);  // first: see cmd_table
  const std::string text = slurp(file);
  scan(text);
  load(text);
  std::vector<double> scans, loads, ratios;
  for (int i = 0; i < pairs; ++i) {
    scans.push_back(time_ms(1, [&] { benchmark::DoNotOptimize(scan(text)); }));
    loads.push_back(load_ms(1, text));
    ratios.push_back(loads.back() / scans.back());
  }
  std::printf(
      "%s: %zu bytes; median of %d pairs: scan %.1f ms, load %.1f ms, load/scan %.3f (pairs "
      "%.3f..%.3f); check peak RSS %.1f MB, %.2f x the file\n",
      file.c_str(), text.size(), pairs, median(scans), median(loads), median(ratios),
      *std::min_element(ratios.begin(), ratios.end()),
      *std::max_element(ratios.begin(), ratios.end()), static_cast<double>(rss_kb) / 1024.0,
      static_cast<double>(rss_kb) * 1024.0 / static_cast<double>(text.size()));
  return 0;
}

// Two commands as whole processes, taking turns (base, run, base, run...): the medians, the
// median of the pairs' ratios run/base with their spread, and each one's peak RSS. A run's
// status above `run_ok` is a failure (diff exits 1 when its documents differ).
struct ProcessPairs {
  double base_ms, run_ms, ratio, lowest, highest;
  long base_rss_kb = 0, run_rss_kb = 0;
};

ProcessPairs process_pairs(const std::vector<std::string>& base,
                           const std::vector<std::string>& run, int pairs, int run_ok = 0) {
  run_process(base);  // warm the page cache and the binaries
  run_process(run);
  std::vector<double> bases, runs, ratios;
  ProcessPairs out{};
  for (int i = 0; i < pairs; ++i) {
    const RunResult b = run_process(base);
    const RunResult r = run_process(run);
    if (b.status != 0) throw std::runtime_error(base.front() + " over " + base.back() + " failed");
    if (r.status < 0 || r.status > run_ok)
      throw std::runtime_error(run.front() + " " + run[1] + " over " + run.back() + " failed");
    bases.push_back(b.wall_ms);
    runs.push_back(r.wall_ms);
    ratios.push_back(r.wall_ms / b.wall_ms);
    out.base_rss_kb = std::max(out.base_rss_kb, b.maxrss_kb);
    out.run_rss_kb = std::max(out.run_rss_kb, r.maxrss_kb);
  }
  out.base_ms = median(bases);
  out.run_ms = median(runs);
  out.ratio = median(ratios);
  out.lowest = *std::min_element(ratios.begin(), ratios.end());
  out.highest = *std::max_element(ratios.begin(), ratios.end());
  return out;
}

double mb(long kb) {
  return static_cast<double>(kb) / 1024.0;
}

// As a user runs it: whole processes, started, run and reaped, each pair's `check` against the
// bare scan of the same file in a process of its own.
int cmd_process(const std::string& file, int pairs) {
  const ProcessPairs p =
      process_pairs({TARNWICK_SCAN_BIN, file}, {TARNWICK_CONFIG_BIN, "check", file}, pairs);
  const double bytes = static_cast<double>(std::filesystem::file_size(file));
  std::printf(
      "%s: whole processes, median of %d pairs: scan %.1f ms, check %.1f ms, check/scan %.3f "
      "(pairs %.3f..%.3f); peak RSS scan %.1f MB, check %.1f MB = %.2f x the file\n",
      file.c_str(), pairs, p.base_ms, p.run_ms, p.ratio, p.lowest, p.highest, mb(p.base_rss_kb),
      mb(p.run_rss_kb), static_cast<double>(p.run_rss_kb) * 1024.0 / bytes);
  return 0;
}

// `diff OLD NEW` against one `check OLD`, whole processes taking turns.
int cmd_diff(const std::string& old_file, const std::string& new_file, int pairs) {
  const ProcessPairs p = process_pairs({TARNWICK_CONFIG_BIN, "check", old_file},
                                       {TARNWICK_CONFIG_BIN, "diff", old_file, new_file}, pairs, 1);
  std::printf(
      "%s -> %s: whole processes, median of %d pairs: check %.1f ms, diff %.1f ms, diff/check "
      "%.3f (pairs %.3f..%.3f); peak RSS check %.1f MB, diff %.1f MB\n",
      old_file.c_str(), new_file.c_str(), pairs, p.base_ms, p.run_ms, p.ratio, p.lowest,
      p.highest, mb(p.base_rss_kb), mb(p.run_rss_kb));
  return 0;
}

int cmd_startup(const std::string& file) {
  const int runs = 101;
  std::vector<double> base, check;
  for (int i = 0; i < runs; ++i) {
    base.push_back(run_process({"/bin/true"}).wall_ms);
    RunResult r = run_process({TARNWICK_CONFIG_BIN, "check", file});
    if (r.status != 0) throw std::runtime_error("tarnwick-config check " + file + " failed");
    check.push_back(r.wall_ms);
  }
  double mb = median(base), mc = median(check);
  std::printf(
      "startup: /bin/true %.3f ms; tarnwick-config check %s %.3f ms; difference %.3f ms "
      "(median of %d; goal: at most 2 ms)\n",
      mb, file.c_str(), mc, mc - mb, runs);
  return 0;
}

int cmd_gbench(const std::string& file, int argc, char** argv) {
  static std::string text;
  text = slurp(file);
  static core::DiscoveryConfiguration config = loaded(text);
  auto bytes = static_cast<std::int64_t>(text.size());
  benchmark::RegisterBenchmark("scan", [bytes](benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(scan(text));
    s.SetBytesProcessed(s.iterations() * bytes);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tree", [bytes](benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(tree(text));
    s.SetBytesProcessed(s.iterations() * bytes);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("load", [bytes](benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(load(text));
    s.SetBytesProcessed(s.iterations() * bytes);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("dump_to_dict", [](benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(core::dump_to_dict(config).size());
  })->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// The first `crvn_cidr` network of the document whose host part is .0: its place, and the same
// network with a host bit set, which the check rejects.
struct Flip {
  long line;
  long column;
  std::string off, on;
};

Flip find_flip(const std::string& text) {
  long line = 0;
  for (std::size_t start = 0; start < text.size(); ++line) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string row = text.substr(start, end - start);
    const std::size_t key = row.find("crvn_cidr: ");
    const std::size_t slash = key == std::string::npos ? key : row.find('/', key);
    if (slash != std::string::npos && row.compare(slash - 2, 2, ".0") == 0) {
      const std::size_t from = key + 11;
      const std::size_t to = row.find_first_of(" ,}\"'", slash);
      Flip flip{line, static_cast<long>(from),
                row.substr(from, (to == std::string::npos ? row.size() : to) - from), ""};
      flip.on = flip.off;
      flip.on[slash - 1 - from] = '1';
      return flip;
    }
    start = end + 1;
  }
  throw std::runtime_error("no crvn_cidr of the form A.B.C.0/N to flip");
}

// Time from writing an incremental change to reading the diagnostics of that version, the
// change turning one fault on and off in turn.
int cmd_lsp(const std::string& file, int changes) {
  using tarnwick::bench::LspClient;
  const std::string text = slurp(file);
  const Flip flip = find_flip(text);
  const std::string uri = "file://" + std::filesystem::absolute(file).lexically_normal().string();
  const auto wait = std::chrono::seconds(60);
  LspClient server(TARNWICK_CONFIG_BIN);
  server.request("initialize",
                 {{"processId", ::getpid()},
                  {"rootUri", nullptr},
                  {"capabilities", LspClient::Json::object()}},
                 wait);
  server.notify("initialized", LspClient::Json::object());
  auto t0 = Clock::now();
  server.notify(
      "textDocument/didOpen",
      {{"textDocument", {{"uri", uri}, {"languageId", "yaml"}, {"version", 1}, {"text", text}}}});
  server.diagnostics(uri, 1, wait);
  const double open_ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  std::vector<double> times;
  for (long version = 2; version < 2 + changes; ++version) {
    const bool on = version % 2 == 0;
    const std::string& now = on ? flip.on : flip.off;
    const LspClient::Json range = {
        {"start", {{"line", flip.line}, {"character", flip.column}}},
        {"end", {{"line", flip.line}, {"character", flip.column + static_cast<long>(now.size())}}}};
    t0 = Clock::now();
    server.notify("textDocument/didChange",
                  {{"textDocument", {{"uri", uri}, {"version", version}}},
                   {"contentChanges", {{{"range", range}, {"text", now}}}}});
    const LspClient::Json found = server.diagnostics(uri, version, wait);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    const bool marked = std::any_of(found.begin(), found.end(), [&](const LspClient::Json& d) {
      return d["range"]["start"]["line"] == flip.line &&
             d.value("code", "") == "value_error.ipv4network";
    });
    if (marked != on) {
      throw std::runtime_error("version " + std::to_string(version) +
                               ": the diagnostics miss the change");
    }
  }
  const int status = server.finish(wait);
  std::printf(
      "lsp: %s (%zu bytes): first diagnostics %.1f ms after opening; after a change: median "
      "%.1f ms, min %.1f, max %.1f (%d changes); exit status %d; goal: diagnostics within 200 "
      "ms of a change\n",
      file.c_str(), text.size(), open_ms, median(times),
      *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
      changes, status);
  return status == 0 ? 0 : 1;
}

int usage() {
  std::fprintf(stderr,
               "usage: tarnwick-bench table NAME=FILE...\n"
               "       tarnwick-bench linear FILE_V FILE_2V\n"
               "       tarnwick-bench paired FILE [PAIRS]\n"
               "       tarnwick-bench process FILE [PAIRS]\n"
               "       tarnwick-bench diff OLD NEW [PAIRS]\n"
               "       tarnwick-bench startup FILE\n"
               "       tarnwick-bench gbench FILE [--benchmark_...]\n"
               "       tarnwick-bench lsp FILE [CHANGES]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string cmd = argv[1];
  try {
    if (cmd == "table") return cmd_table(std::vector<std::string>(argv + 2, argv + argc));
    if (cmd == "linear" && argc == 4) return cmd_linear(argv[2], argv[3]);
    if (cmd == "startup" && argc == 3) return cmd_startup(argv[2]);
    if (cmd == "paired" && (argc == 3 || argc == 4)) {
      return cmd_paired(argv[2], std::max(9, argc == 4 ? std::atoi(argv[3]) : 9));
    }
    if (cmd == "process" && (argc == 3 || argc == 4)) {
      return cmd_process(argv[2], std::max(9, argc == 4 ? std::atoi(argv[3]) : 9));
    }
    if (cmd == "diff" && (argc == 4 || argc == 5)) {
      return cmd_diff(argv[2], argv[3], std::max(9, argc == 5 ? std::atoi(argv[4]) : 9));
    }
    if (cmd == "lsp" && (argc == 3 || argc == 4)) {
      return cmd_lsp(argv[2], std::max(1, argc == 4 ? std::atoi(argv[3]) : 21));
    }
    if (cmd == "gbench") {
      // Google Benchmark sees the program name and its own flags only.
      std::vector<char*> rest{argv[0]};
      for (int i = 3; i < argc; ++i) rest.push_back(argv[i]);
      int n = static_cast<int>(rest.size());
      return cmd_gbench(argv[2], n, rest.data());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwick-bench: %s\n", e.what());
    return 1;
  }
  return usage();
}
