// Loads a migration document through the installed library and prints how many VPCs it names.
#include <cstddef>
#include <iostream>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/schema.hpp"

namespace core = tarnwick::core;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer FILE\n";
    return 2;
  }
  try {
    const core::DiscoveryConfiguration config = core::load_from_yaml(argv[1]);
    std::size_t vpcs = 0;
    for (const core::AccountInfo& account : config.account_info) {
      for (const core::Region& region : account.regions) vpcs += region.vpcs.size();
    }
    std::cout << "VPCs: " << vpcs << "\n";
    std::cout << "schema definitions: " << core::document_schema().at("definitions").size() << "\n";
  } catch (const core::SystemExit& e) {
    return e.status();
  } catch (const std::exception& e) {
    std::cerr << "consumer: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
