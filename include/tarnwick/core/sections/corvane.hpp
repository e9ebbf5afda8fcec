// The `corvane` section: onboarding the spoke accounts onto the Corvane controller.
#pragma once

#include <string>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

// How the generated Terraform reaches the controller's credentials: environment variables
// (CORVANE_USERNAME, CORVANE_PASSWORD) or SSM Parameter Store. Keys in alphabetical order.
struct TfControllerAccessConfig : BaseModel {
  std::string alias = "us_west_2";
  std::string mode = "ENV";
  std::string password_store = "cvn-admin-password";
  std::string region = "us-west-2";
  std::string ssm_role;
  std::string username = "admin";

  // In ENV mode no other key may be given: they would silently do nothing.
  static const yaml::Node& check_mode(const yaml::Node& values);

  static const Schema<TfControllerAccessConfig>& schema();
  friend bool operator==(const TfControllerAccessConfig&,
                         const TfControllerAccessConfig&) = default;
};

struct CorvaneConfig : BaseModel {
  IPv4Address controller_ip;
  std::string controller_account;
  std::string ctrl_role_app = "corvane-role-app";
  std::string ctrl_role_ec2 = "corvane-role-ec2";
  std::string gateway_role_app = "corvane-role-app";
  std::string gateway_role_ec2 = "corvane-role-ec2";
  TfControllerAccessConfig tf_controller_access;

  static const Schema<CorvaneConfig>& schema();
  friend bool operator==(const CorvaneConfig&, const CorvaneConfig&) = default;
};

}  // namespace tarnwick::core
