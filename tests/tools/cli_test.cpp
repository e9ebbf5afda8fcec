// tarnwick-config run as a process: exit status, standard output and standard error.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/run_tool.hpp"

namespace {

namespace fs = std::filesystem;
using J = nlohmann::ordered_json;

using tarnwick::testing::Outcome;
using tarnwick::testing::slurp;

Outcome run(const std::string& args, const std::string* input = nullptr) {
  return tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, args, input);
}

std::string example(const char* name) {
  return std::string("'") + TARNWICK_SOURCE_DIR + "/examples/" + name + "'";
}

TEST(Cli, ValidDocumentIsAnEmptyArrayOnStandardOutput) {
  Outcome r = run("check " + example("full.yaml"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "[]\n");  // still one JSON value for a program to read
  EXPECT_NE(r.err.find("full.yaml: valid (2 accounts, 3 regions, 5 VPCs)"), std::string::npos);

  r = run("check --discovery-only " + example("discovery_minimal.yaml"));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(run("check " + example("discovery_minimal.yaml")).status, 1);
}

TEST(Cli, FaultsAsJsonOnStandardOutput) {
  Outcome r = run("check " + example("invalid.yaml"));
  EXPECT_EQ(r.status, 1);
  const J errors = J::parse(r.out);
  ASSERT_TRUE(errors.is_array());
  EXPECT_EQ(errors.size(), 12u);
  EXPECT_EQ(errors[0]["loc"], J::parse(R"(["id"])"));
  EXPECT_EQ(errors[0]["line"], 3);
  EXPECT_EQ(r.out.back(), '\n');
}

TEST(Cli, FaultsAsTextWithTheSourceLine) {
  Outcome r = run("check --format text " + example("invalid.yaml"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("invalid.yaml:10:18: error: corvane.controller_ip: value is not a valid "
                       "IPv4 address [value_error.ipv4address]\n    controller_ip: 10.10.0.300\n"
                       "                   ^\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find('\033'), std::string::npos);  // no colour when not a terminal
}

TEST(Cli, DumpPrintsEveryField) {
  Outcome r = run("dump " + example("full.yaml"));
  ASSERT_EQ(r.status, 0) << r.err;
  const J d = J::parse(r.out);
  EXPECT_EQ(d.begin().key(), "id");
  EXPECT_EQ(d["terraform"]["tf_cloud"]["tags"], R"(["tarnwick", "wave3"])");
  EXPECT_EQ(d["account_info"][1]["regions"][0]["vpcs"][1]["retain_peering_cidrs"],
            J::parse(R"(["0.0.0.0/0"])"));
  EXPECT_EQ(run("dump " + example("invalid.yaml")).status, 1);
}

TEST(Cli, StandardInput) {
  const std::string doc = slurp(fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml");
  Outcome r = run("check -", &doc);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("<stdin>: valid"), std::string::npos);
}

TEST(Cli, DuplicateKeysWarnAndFailUnderStrict) {
  std::string doc = slurp(fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml");
  const auto last_line = std::count(doc.begin(), doc.end(), '\n') + 1;
  doc += "label: again\n";
  Outcome r = run("check --format text -", &doc);
  EXPECT_EQ(r.status, 0);  // a warning never changes the verdict
  EXPECT_NE(r.err.find("<stdin>:" + std::to_string(last_line) +
                       ":1: warning: label: duplicate key 'label' (first at line 4, column 1)"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(r.err.ends_with("0 errors, 1 warning\n")) << r.err;
  // Every format carries it, as a warning.
  r = run("check -", &doc);
  EXPECT_EQ(r.status, 0);
  const J warned = J::parse(r.out);
  ASSERT_EQ(warned.size(), 1u) << r.out;
  EXPECT_EQ(warned[0]["severity"], "warning");
  EXPECT_EQ(warned[0]["line"], last_line);
  r = run("check --format sarif -", &doc);
  EXPECT_EQ(J::parse(r.out)["runs"][0]["results"][0]["level"], "warning");
  r = run("check --format github -", &doc);
  EXPECT_TRUE(r.out.starts_with("::warning file=<stdin>,line=" + std::to_string(last_line)))
      << r.out;

  r = run("check --strict -", &doc);
  EXPECT_EQ(r.status, 1);
  const J errors = J::parse(r.out);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0]["loc"], J::parse(R"(["label"])"));
  EXPECT_EQ(errors[0]["type"], "value_error.duplicate_key");
}

// The same faults in every format: what a reader of each one counts on.
TEST(Cli, EveryFormatReportsEveryFault) {
  const std::string invalid = example("invalid.yaml");
  const struct {
    const char* format;
    void (*check)(const Outcome&);
  } cases[] = {
      {"json",
       [](const Outcome& r) {
         const J faults = J::parse(r.out);
         ASSERT_EQ(faults.size(), 12u);
         for (const J& f : faults) {
           EXPECT_TRUE(f["file"].get<std::string>().ends_with("examples/invalid.yaml"));
           EXPECT_EQ(f["severity"], "error");
           EXPECT_EQ(f.contains("line"), f.contains("end_line")) << f.dump();
         }
         EXPECT_EQ(faults[2]["end_column"], 29) << faults[2].dump();  // enable_s3_backend: perhaps
         EXPECT_EQ(faults[3]["hint"], "octet 300 is over 255") << faults[3].dump();
         EXPECT_FALSE(faults[2].contains("hint")) << faults[2].dump();
       }},
      {"text",
       [](const Outcome& r) {
         EXPECT_EQ(r.out, "");
         EXPECT_TRUE(r.err.ends_with("\n12 errors\n")) << r.err;
         std::uint32_t last = 0;  // headings in source order
         for (std::size_t at = r.err.find("invalid.yaml:"); at != std::string::npos;
              at = r.err.find("invalid.yaml:", at + 1)) {
           const std::uint32_t line = std::stoul(r.err.substr(at + 13));
           EXPECT_LE(last, line) << r.err;
           last = line;
         }
       }},
      {"github",
       [](const Outcome& r) {
         EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 12) << r.out;
         EXPECT_TRUE(r.out.starts_with("::error file=")) << r.out;
         EXPECT_NE(r.out.find(",line=10,col=18,endLine=10,endColumn=29,title=corvane.controller_ip"
                              "::value is not a valid IPv4 address%0Aoctet 300 is over 255\n"),
                   std::string::npos)
             << r.out;
       }},
      {"concise",
       [](const Outcome& r) {
         EXPECT_EQ(r.err, "");  // no total
         EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 12) << r.out;
         EXPECT_TRUE(r.out.starts_with("/")) << r.out;
         EXPECT_NE(r.out.find("examples/invalid.yaml:10:18: error: corvane.controller_ip: value is "
                              "not a valid IPv4 address (octet 300 is over 255) "
                              "[value_error.ipv4address]\n"),
                   std::string::npos)
             << r.out;
       }},
      {"sarif", [](const Outcome& r) {
         const J log = J::parse(r.out);
         EXPECT_EQ(log["version"], "2.1.0");
         ASSERT_EQ(log["runs"].size(), 1u);
         const J& run = log["runs"][0];
         EXPECT_EQ(run["results"].size(), 12u);
         const J& rules = run["tool"]["driver"]["rules"];
         for (const J& result : run["results"]) {
           EXPECT_EQ(rules[result["ruleIndex"].get<std::size_t>()]["id"], result["ruleId"]);
         }
         const J& region = run["results"][2]["locations"][0]["physicalLocation"]["region"];
         EXPECT_EQ(region, J::parse(R"({"startLine": 8, "startColumn": 22, "endLine": 8,
                                        "endColumn": 29})"));
       }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const Outcome r = run(std::string("check --format ") + c.format + " " + invalid);
    EXPECT_EQ(r.status, 1) << r.err;
    c.check(r);
  }
}

TEST(Cli, SeveralFilesWorstStatusOneReport) {
  const std::string full = example("full.yaml"), invalid = example("invalid.yaml");
  Outcome r = run("check " + full + " " + invalid + " /nonexistent.yaml");
  EXPECT_EQ(r.status, 2);
  J faults = J::parse(r.out);
  ASSERT_EQ(faults.size(), 13u);
  EXPECT_EQ(faults[12]["file"], "/nonexistent.yaml");
  EXPECT_NE(r.err.find("full.yaml: valid"), std::string::npos) << r.err;

  r = run("check --format sarif " + invalid + " " + full + " " + invalid);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(J::parse(r.out)["runs"][0]["results"].size(), 24u);
  r = run("check --format text " + invalid + " " + full + " " + invalid);
  EXPECT_TRUE(r.err.ends_with("\n24 errors\n")) << r.err;  // one total for the run

  r = run("check --quiet --format sarif " + full + " " + full);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(J::parse(r.out)["runs"][0]["results"], J::array());  // a CI job always gets a log
  EXPECT_EQ(run("check --quiet " + full).out, "[]\n");
  EXPECT_EQ(run("dump " + full + " " + full).status, 2);  // dump takes one document
}

TEST(Cli, StrictTextSaysADuplicateOnce) {
  std::string doc = slurp(fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml");
  doc += "label: again\n";
  const Outcome r = run("check --strict --format text -", &doc);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_TRUE(r.err.ends_with("\n1 error\n")) << r.err;
}

struct FatalCase {
  const char* args;
  const char* input;  // nullptr: no standard input
  const char* says;
  const char* type = nullptr;  // the one fault on standard output (json); nullptr: nothing there
};

void PrintTo(const FatalCase& f, std::ostream* os) {
  *os << f.args;
}

class CliFatal : public ::testing::TestWithParam<FatalCase> {};

TEST_P(CliFatal, OneLineOnStandardErrorAndStatus2) {
  const FatalCase& f = GetParam();
  const std::string input = f.input ? f.input : "";
  Outcome r = run(f.args, f.input ? &input : nullptr);
  EXPECT_EQ(r.status, 2) << r.err;
  if (f.type == nullptr) {
    EXPECT_EQ(r.out, "");
  } else {
    const J faults = J::parse(r.out);
    ASSERT_EQ(faults.size(), 1u) << r.out;
    EXPECT_EQ(faults[0]["type"], f.type);
    EXPECT_EQ(faults[0]["severity"], "error");
    EXPECT_NE(faults[0]["file"].get<std::string>(), "");
  }
  EXPECT_TRUE(r.err.starts_with("tarnwick-config: error: ")) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliFatal,
    ::testing::Values(
        FatalCase{"", nullptr, "subcommand"}, FatalCase{"check", nullptr, "FILE"},
        FatalCase{"check --format xml -", "", "xml"},
        FatalCase{"frobnicate x.yaml", nullptr,
                  "unknown command 'frobnicate' (commands: check, dump, schema"},
        FatalCase{"check /nonexistent/doc.yaml", nullptr, "No such file or directory",
                  "document_error.unreadable_file"},
        FatalCase{"dump /", nullptr, "cannot read /: Is a directory"},
        FatalCase{"check -", "", "<stdin>: the document is empty", "document_error.not_mapping"},
        FatalCase{"check -", "- a\n", "the document must be a mapping of sections, not a sequence",
                  "document_error.not_mapping"},
        FatalCase{"check --format text -", "- a\n",
                  "must be a mapping of sections, not a sequence"},
        FatalCase{"dump -", "a: 'open\n", "<stdin>:1:4"},
        FatalCase{"dump --format text -", "", "text"},
        FatalCase{"explain --format yaml", nullptr, "yaml"},
        FatalCase{"explain spoke_ha", nullptr, "is ambiguous"},
        FatalCase{"explain --recursive crvn_cidd", nullptr, "did you mean 'crvn_cidr'?"},
        FatalCase{"explain crvn_cidr -o /nonexistent/dir/x.md", nullptr, "cannot write"},
        FatalCase{"check -", "a: 1\n---\nb: 2\n", "expected a single document",
                  "document_error.malformed_yaml"},
        FatalCase{"check -", "a: !Ref x\n", "!Ref", "document_error.malformed_yaml"},
        // The line and what is wrong there first, on the one line.
        FatalCase{"check --format text -", "id: x\n\tlabel: y\n",
                  "error: <stdin>:2:1: line 2: a tab cannot indent YAML; use spaces (while "},
        FatalCase{"check -", "id: x\nlabel:\n  a: 1\n b: 2\n",
                  "<stdin>:4:2: line 4 is indented more than its mapping's keys, at column 1 on "
                  "line 1 (",
                  "document_error.malformed_yaml"},
        FatalCase{"chek x.yaml", nullptr,
                  "unknown command 'chek'; did you mean 'check'? (commands: check, dump, schema, "
                  "explain, diff, lsp, help;"},
        FatalCase{"help chek", nullptr, "unknown command 'chek'; did you mean 'check'?"},
        FatalCase{"help frobnicate", nullptr, "unknown command 'frobnicate' (commands: "},
        FatalCase{"check --formt text -", "",
                  "unknown option '--formt'; did you mean '--format'? (see tarnwick-config check "
                  "--help)"},
        FatalCase{"check --format=text --quite=1 -", "", "did you mean '--quiet'?"},
        FatalCase{"dump --strikt -", "", "did you mean '--strict'?"},
        FatalCase{"--verison", nullptr, "did you mean '--version'?"},
        FatalCase{"check --color=sometimes -", "", "sometimes"},
        // After "--" a word is a file, never an option to suggest a name for.
        FatalCase{"check --color=sometimes -- --quiet2", nullptr, "sometimes"},
        FatalCase{"check --report xml=a.json -", "", "unknown format 'xml' (formats: json, text,"},
        FatalCase{"check --report json -", "", "expected FORMAT=FILE"},
        FatalCase{"check --report json= -", "", "expected a file name after 'json='"},
        FatalCase{"check --report json=- -", "", "expected a file name after 'json='"},
        FatalCase{"check --report json=a.json --report sarif=./a.json -", "",
                  "./a.json is named twice"},
        FatalCase{"check --ignore truthi -", "",
                  "unknown lint rule 'truthi'; did you mean 'truthy'? (rules: duplicate-vpc-id,"},
        FatalCase{"dump --enable=nonsense -", "", "unknown lint rule 'nonsense' (rules: "},
        FatalCase{"schema -o /nonexistent-dir/s.json", nullptr,
                  "cannot write /nonexistent-dir/s.json: No such file or directory"}));

// The tool under `env`: the colour variables unset but for those given.
Outcome run_in_env(const std::string& env, const std::string& args) {
  return tarnwick::testing::run_tool(
      "env",
      "-u NO_COLOR -u FORCE_COLOR -u TERM " + env + " '" + TARNWICK_CONFIG_BIN + "' " + args);
}

TEST(Cli, ColourFollowsTheOptionThenTheEnvironment) {
  const struct {
    const char* env;
    const char* args;
    bool coloured;
  } cases[] = {{"", "--format text", false},  // standard error is not a terminal here
               {"FORCE_COLOR=1", "--format text", true},
               {"FORCE_COLOR=", "--format text", false},
               {"FORCE_COLOR=1", "--format text --color=never", false},
               {"FORCE_COLOR=1", "--format text --color=auto", true},
               {"NO_COLOR=1 TERM=dumb", "--format text --color=always", true},
               {"", "--format text --color always", true},
               {"", "--color=always --format concise", false},  // never coloured
               {"", "--color=always", false}};                  // json
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.env) + " " + c.args);
    const Outcome r =
        run_in_env(c.env, std::string("check ") + c.args + " " + example("invalid.yaml"));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ((r.out + r.err).find('\033') != std::string::npos, c.coloured) << r.err;
  }
}

TEST(Cli, HelpCommandPrintsTheHelpOfACommand) {
  const struct {
    const char* help;
    const char* same_as;
  } cases[] = {{"help", "--help"},
               {"help check", "check --help"},
               {"help dump", "dump --help"},
               {"help schema", "schema --help"},
               {"help explain", "explain --help"},
               {"help diff", "diff --help"},
               {"help help", "help --help"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.help);
    const Outcome r = run(c.help), expected = run(c.same_as);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected.out);
  }
  EXPECT_NE(run("help check").out.find("tarnwick-config check [OPTIONS] FILE..."),
            std::string::npos);
  // Every command's options, for the man page.
  const Outcome all = run("--help-all");
  for (const char* option :
       {"--report", "--color", "--discovery-only", "--output", "--stdio", "--recursive"}) {
    EXPECT_NE(all.out.find(option), std::string::npos) << option;
  }
  // --help is the tool's own option, listed once, not again under each command.
  EXPECT_EQ(all.out.find("-h,--help"), all.out.rfind("-h,--help")) << all.out;
}

// A scratch folder tree for the folder arguments; removed with the object.
struct Tree {
  fs::path root = fs::temp_directory_path() / ("tarnwick-tree-" + std::to_string(::getpid()));
  Tree() {
    fs::remove_all(root);
    const fs::path full = fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml";
    for (const char* dir : {"m/sub/deeper", "m/.git", "m/-dash", "empty", "no-docs"}) {
      fs::create_directories(root / dir);
    }
    for (const char* doc : {"m/b.yaml", "m/a.yml", "m/sub/c.yaml", "m/sub/deeper/d.yaml",
                            "m/-dash/e.yaml", "m/notes.txt", "m/sub.yaml"}) {
      fs::copy_file(full, root / doc);
    }
    std::ofstream(root / "m/.git/x.yaml") << "- not: a mapping\n";  // hidden: never read
    std::ofstream(root / "m/.hidden.yaml") << "- not: a mapping\n";
    std::ofstream(root / "no-docs/readme.md") << "nothing\n";
    fs::create_directory_symlink("..", root / "m/sub/up");  // a loop
    fs::create_directory_symlink("sub/deeper", root / "m/twin");
    fs::create_symlink("b.yaml", root / "m/link.yaml");
    ::mkfifo((root / "m/pipe.yaml").c_str(), 0600);  // reading it would block the run
  }
  ~Tree() { fs::remove_all(root); }
  std::string at(const char* rel) const { return (root / rel).string(); }
};

// The names a run found valid, in order.
std::vector<std::string> valid_names(const std::string& err, const std::string& root) {
  std::vector<std::string> names;
  std::size_t at = 0;
  while ((at = err.find(root + "/", at)) != std::string::npos) {
    const std::size_t end = err.find(": valid", at);
    if (end == std::string::npos) break;
    names.push_back(err.substr(at + root.size() + 1, end - at - root.size() - 1));
    at = end;
  }
  return names;
}

TEST(Cli, FoldersAreCheckedDocumentByDocumentInPathOrder) {
  const Tree tree;
  using Names = std::vector<std::string>;
  const struct {
    std::string args;
    int status;
    Names checked;
    std::string err = "";
  } cases[] = {
      {tree.at("m"), 0,
       Names{"m/-dash/e.yaml", "m/a.yml", "m/b.yaml", "m/link.yaml", "m/sub/c.yaml",
             "m/sub/deeper/d.yaml", "m/sub.yaml"}},
      // Through a symlink the folders are taken once, under the first path met.
      {tree.at("m/sub/"), 0,
       Names{"m/sub/c.yaml", "m/sub/deeper/d.yaml", "m/sub/up/-dash/e.yaml", "m/sub/up/a.yml",
             "m/sub/up/b.yaml", "m/sub/up/link.yaml", "m/sub/up/sub.yaml"}},
      {tree.at("m/twin"), 0, Names{"m/twin/d.yaml"}},
      {tree.at("m/notes.txt") + " " + tree.at("m/sub/deeper"), 0,
       Names{"m/notes.txt", "m/sub/deeper/d.yaml"}},  // a file named is checked as it is
      {tree.at("empty"), 2, Names{},
       "tarnwick-config: error: " + tree.at("empty") +
           ": no document in this folder (no *.yaml or *.yml file)\n"},
      {tree.at("m/b.yaml") + " " + tree.at("no-docs"), 2, Names{},
       "tarnwick-config: error: " + tree.at("no-docs") + ": no document in this folder"},
      {tree.at("m/.git"), 2, Names{}, "not a sequence"},  // a hidden folder named is walked
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = tarnwick::testing::run_tool(
        "timeout", "20 '" TARNWICK_CONFIG_BIN "' check --format text " + c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(valid_names(r.err, tree.root.string()), c.checked) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// A folder on the way that cannot be listed is that document's fault; the others are checked.
// Root reads any folder, so the tool runs as `nobody` then, from a copy in the scratch folder:
// the build tree may sit under a home folder that other users cannot enter.
TEST(Cli, UnreadableFolderIsReportedAndTheRestChecked) {
  const fs::path dir =
      fs::temp_directory_path() / ("tarnwick-locked-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "m/locked");
  fs::copy_file(fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml", dir / "m/z.yaml");
  std::string runner = TARNWICK_CONFIG_BIN, prefix;
  if (::geteuid() == 0) {
    if (!fs::exists("/usr/sbin/runuser")) GTEST_SKIP() << "no runuser to drop root";
    fs::copy_file(TARNWICK_CONFIG_BIN, dir / "tarnwick-config");
    runner = "/usr/sbin/runuser";
    prefix = "-u nobody -- '" + (dir / "tarnwick-config").string() + "' ";
    fs::permissions(dir, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(dir / "m", fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
  }
  fs::permissions(dir / "m/locked", fs::perms::none);
  const Outcome r = tarnwick::testing::run_tool(
      runner, prefix + "check --format concise '" + (dir / "m").string() + "'");
  fs::permissions(dir / "m/locked", fs::perms::owner_all);
  fs::remove_all(dir);
  EXPECT_EQ(r.status, 2) << r.err;
  const std::string locked = (dir / "m/locked").string();
  EXPECT_EQ(r.out, locked + ": error: cannot read " + locked + ": Permission denied [document_error.unreadable_file]\n");
  EXPECT_NE(r.err.find("z.yaml: valid"), std::string::npos) << r.err;
}

// A run's report shown and written to files: each file as that format's own run would print it.
TEST(Cli, ReportFilesBesidesTheOneShown) {
  const fs::path dir =
      fs::temp_directory_path() / ("tarnwick-reports-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string invalid = example("invalid.yaml"), full = example("full.yaml");
  const auto file = [&](const char* name) { return (dir / name).string(); };
  Outcome r = run("check --format text --report sarif=" + file("r.sarif") +
                  " --report json=" + file("f.json") + " --report concise=" + file("c.txt") +
                  " --report text=" + file("t.txt") + " " + invalid);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.ends_with("\n12 errors\n")) << r.err;
  const struct {
    const char* file;
    const char* format;
  } same[] = {{"r.sarif", "sarif"}, {"f.json", "json"}, {"c.txt", "concise"}, {"t.txt", "text"}};
  for (const auto& c : same) {
    SCOPED_TRACE(c.file);
    const Outcome alone = run(std::string("check --format ") + c.format + " " + invalid);
    EXPECT_EQ(slurp(dir / c.file), alone.out + (std::string(c.format) == "text" ? alone.err : ""));
  }

  // A valid run still leaves files readers parse; the worst status stays the documents'.
  r = run("check --quiet --report json=" + file("f.json") + " --report sarif=" + file("r.sarif") +
          " " + full);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(dir / "f.json"), "[]\n");
  EXPECT_EQ(J::parse(slurp(dir / "r.sarif"))["runs"][0]["results"], J::array());

  // A file that cannot be written: exit 2 with the reason; the others are written all the same.
  fs::remove(dir / "f.json");
  r = run("check --format concise --report sarif=" + file("none/r.sarif") + " --report json=" +
          file("f.json") + " " + invalid);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 12) << r.out;
  EXPECT_EQ(r.err, "tarnwick-config: error: cannot write " + file("none/r.sarif") +
                       ": No such file or directory\n");
  EXPECT_EQ(J::parse(slurp(dir / "f.json")).size(), 12u);
  EXPECT_FALSE(fs::exists(dir / "none"));

  // A report named as one of the documents would replace it: refused before anything is checked.
  fs::copy_file(fs::path(TARNWICK_SOURCE_DIR) / "examples/invalid.yaml", dir / "doc.yaml");
  for (const std::string& args : {"--report json=" + file("doc.yaml") + " " + file("doc.yaml"),
                                  "--report json=" + file("./doc.yaml") + " " + dir.string()}) {
    SCOPED_TRACE(args);
    r = run("check " + args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("is a document being checked"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(dir / "doc.yaml"),
              slurp(fs::path(TARNWICK_SOURCE_DIR) / "examples/invalid.yaml"));
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_FALSE(entry.path().string().ends_with(".partial")) << entry.path();
  }
  fs::remove_all(dir);
}

TEST(Cli, HelpAndVersion) {
  Outcome r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("check"), std::string::npos);
  r = run("check --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--discovery-only"), std::string::npos);
  r = run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("tarnwick-config ")) << r.out;
}

}  // namespace

// The language server as editors start it: over standard input and output, `--stdio` taken.
TEST(Cli, LspServesStandardInputAndOutput) {
  auto frame = [](const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  const std::string session =
      frame(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})") +
      frame(R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})") +
      frame(R"({"jsonrpc":"2.0","method":"exit"})");
  for (const char* args : {"lsp", "lsp --stdio"}) {
    const auto r = run(args, &session);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_NE(r.out.find(R"("id":2,"jsonrpc":"2.0","result":null)"), std::string::npos) << r.out;
  }
  const std::string gone;  // a client that goes away at once
  EXPECT_EQ(run("lsp", &gone).status, 1);
}
