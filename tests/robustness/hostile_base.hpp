// The small valid document the hostile-input tests build their cases on (tests only).
#pragma once

#include <cstddef>
#include <string>

namespace tarnwick::core::hostile {

constexpr std::size_t kDeep = 100'000;

// A document valid in both modes; its last line is line 11, so added lines start at line 12.
struct Base {
  std::string terraform_extra = "";  // more entries of the terraform flow mapping
  std::string account_id = "'123'";
  std::string vpc_id = "vpc-1";
};

inline std::string base_doc(const Base& b = {}) {
  return "terraform: {terraform_output: /out, terraform_version: '1', corvane_provider: '2', "
         "aws_provider: '3'" +
         b.terraform_extra +
         "}\n"
         "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
         "account_info:\n"
         "  - account_id: " +
         b.account_id +
         "\n"
         "    regions:\n"
         "      - region: us-east-1\n"
         "        vpcs:\n"
         "          - vpc_id: " +
         b.vpc_id +
         "\n"
         "            crvn_cidr: 10.1.0.0/24\n"
         "            spoke_gw_name: s\n"
         "            transit_gw_name: t\n";
}

}  // namespace tarnwick::core::hostile
