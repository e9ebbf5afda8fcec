// The migration's vocabulary: the names its sections share (regions, cleanup resources, the
// gateway-name keys) and the field types named for them.
#pragma once

#include <array>
#include <string_view>

#include "tarnwick/core/field_types.hpp"
#include "tarnwick/core/hints.hpp"

namespace tarnwick::core {

// The two VPC keys that name gateways.
inline constexpr std::array<std::string_view, 2> GW_NAME_KEYS{"spoke_gw_name", "transit_gw_name"};

inline constexpr std::array<std::string_view, 22> REGION_NAMES{
    "af-south-1",   "ap-east-1",      "ap-northeast-1", "ap-northeast-2", "ap-northeast-3",
    "ap-south-1",   "ap-southeast-1", "ap-southeast-2", "ap-southeast-3", "ca-central-1",
    "eu-central-1", "eu-north-1",     "eu-south-1",     "eu-west-1",      "eu-west-2",
    "eu-west-3",    "me-south-3",     "sa-east-1",      "us-east-1",      "us-east-2",
    "us-west-1",    "us-west-2"};

inline constexpr std::array<std::string_view, 5> CLEANUP_RESOURCES{
    "INTERNAL_LB", "NAT", "TGW_ATTACHMENT", "VGW", "PEERING"};

namespace types {

inline constexpr ConStr GWName{.strip = true, .max_length = 50, .alias = "GWName"};  // <= 50
// An availability zone written for a region names that region exactly: the zone's hint comes
// before any guess by spelling.
inline constexpr Literal RegionName{REGION_NAMES, "RegionName", &hints::zone_for_region};
inline constexpr Literal CleanupResources{CLEANUP_RESOURCES, "CleanupResources"};

}  // namespace types

}  // namespace tarnwick::core
