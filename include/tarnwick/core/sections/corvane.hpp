// The `corvane` section: onboarding the spoke accounts onto the Corvane controller.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

// How the generated Terraform reaches the controller's credentials: environment variables
// (CORVANE_USERNAME, CORVANE_PASSWORD) or SSM Parameter Store. Keys in alphabetical order.
struct TfControllerAccessConfig : BaseModel {
  static constexpr std::array<std::string_view, 2> kModes{"ENV", "SSM"};

  std::string alias = "us_west_2";
  std::string mode = "ENV";
  std::string password_store = "cvn-admin-password";
  std::string region = "us-west-2";
  std::string ssm_role;
  std::string username = "admin";

  // In ENV mode no other key may be given: they would silently do nothing.
  static const yaml::Node& check_mode(const yaml::Node& values);

  static constexpr auto fields();
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

  static constexpr auto fields();
  friend bool operator==(const CorvaneConfig&, const CorvaneConfig&) = default;
};

constexpr auto TfControllerAccessConfig::fields() {
  using R = TfControllerAccessConfig;
  namespace t = types;
  return table<R>(
      "TfControllerAccessConfig", "How the generated Terraform reaches the controller.",
      record_check(&R::check_mode, "check_mode"),
      field("alias", &R::alias, t::_str,
            doc("Alias of the AWS provider that reads the credentials (SSM mode).")),
      field("mode", &R::mode, t::Literal(kModes),
            doc("Where the credentials come from: ENV (environment variables) or SSM (Parameter "
                "Store).")),
      field("password_store", &R::password_store, t::_str,
            doc("SSM parameter that holds the controller password.")),
      field("region", &R::region, t::_str, doc("Region of the SSM parameters.")),
      field("ssm_role", &R::ssm_role, t::_str, doc("IAM role that reads the SSM parameters.")),
      field("username", &R::username, t::_str, doc("Controller user name.")));
}

constexpr auto CorvaneConfig::fields() {
  using R = CorvaneConfig;
  namespace t = types;
  return table<R>(
      "CorvaneConfig", "The `corvane` section: controller onboarding.",
      field("controller_ip", &R::controller_ip, t::ipv4_address, required,
            doc("IPv4 address of the Corvane controller.")),
      field("controller_account", &R::controller_account, t::_str, required,
            doc("AWS account of the controller.")),
      field("ctrl_role_app", &R::ctrl_role_app, t::_str,
            doc("The controller's IAM application role.")),
      field("ctrl_role_ec2", &R::ctrl_role_ec2, t::_str, doc("The controller's IAM EC2 role.")),
      field("gateway_role_app", &R::gateway_role_app, t::_str,
            doc("The gateways' IAM application role.")),
      field("gateway_role_ec2", &R::gateway_role_ec2, t::_str, doc("The gateways' IAM EC2 role.")),
      field("tf_controller_access", &R::tf_controller_access, t::record<TfControllerAccessConfig>(),
            doc("How the generated Terraform reaches the controller's credentials.")));
}

}  // namespace tarnwick::core
