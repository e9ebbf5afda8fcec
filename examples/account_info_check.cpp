// Checks the account_info section of a migration document: every account, region and VPC record
// is built and validated; on success a one-line summary, on failure every fault as JSON.
//
//   account_info_check FILE [--discovery-only]
#include <cstring>
#include <exception>
#include <iostream>

#include "tarnwick/core/sections/account_info.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--discovery-only") != 0)) {
    std::cerr << "usage: account_info_check FILE [--discovery-only]\n";
    return 2;
  }
  const bool discovery_only = argc == 3;
  try {
    yaml::Document doc = yaml::read_file(argv[1]);
    const yaml::Node* accounts = doc.root().is_map() ? doc.root().find("account_info") : nullptr;
    if (accounts == nullptr) {
      std::cerr << argv[1] << ": no account_info section\n";
      return 2;
    }
    // The section is a list of accounts; build it as one field so every fault is reported.
    core::Builder b;
    std::vector<core::AccountInfo> list;
    core::LocGuard at(b, std::string_view("account_info"));
    core::ModeScope mode(discovery_only);
    if (!core::types::convert_node(core::types::list(core::types::record<core::AccountInfo>()),
                                   *accounts, b, list)) {
      std::cout << core::ValidationError("AccountInfo", b.take_errors()).json() << std::endl;
      return 1;
    }
    std::size_t regions = 0, vpcs = 0;
    for (const auto& a : list) {
      regions += a.regions.size();
      for (const auto& r : a.regions) vpcs += r.vpcs.size();
    }
    std::cerr << argv[1] << ": account_info valid (" << list.size() << " accounts, " << regions
              << " regions, " << vpcs << " VPCs)\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "account_info_check: error: " << e.what() << "\n";
    return 2;
  }
}
