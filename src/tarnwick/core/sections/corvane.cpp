#include "tarnwick/core/sections/corvane.hpp"

#include "tarnwick/core/text_forms.hpp"

namespace tarnwick::core {

namespace t = types;

namespace {
constexpr std::array<std::string_view, 2> kModes{"ENV", "SSM"};
}  // namespace

const yaml::Node& TfControllerAccessConfig::check_mode(const yaml::Node& values) {
  const yaml::Node* mode = values.find("mode");
  if (mode == nullptr) return values;
  if (mode->kind() != yaml::Kind::Str || mode->text() != "ENV") return values;
  if (values.size() <= 1) return values;
  std::string rendered = "{";
  bool first = true;
  for (const yaml::Entry& e : values.entries()) {
    if (e.key->kind() == yaml::Kind::Str && e.key->text() == "mode") continue;
    if (!first) rendered += ", ";
    first = false;
    rendered += python_repr(*e.key) + ": " + python_repr(*e.value);
  }
  rendered += "}";
  throw ValueError("When corvane.tf_controller_access.mode is 'ENV', the following attribute(s) " +
                   rendered + " should be removed.");
}

const Schema<TfControllerAccessConfig>& TfControllerAccessConfig::schema() {
  using R = TfControllerAccessConfig;
  static const Schema<R> schema{
      "TfControllerAccessConfig",
      {
          {"alias", &R::alias, t::_str,
           doc("Alias of the AWS provider that reads the credentials (SSM mode).")},
          {"mode", &R::mode, t::Literal(kModes),
           doc("Where the credentials come from: ENV (environment variables) or SSM (Parameter "
               "Store).")},
          {"password_store", &R::password_store, t::_str,
           doc("SSM parameter that holds the controller password.")},
          {"region", &R::region, t::_str, doc("Region of the SSM parameters.")},
          {"ssm_role", &R::ssm_role, t::_str, doc("IAM role that reads the SSM parameters.")},
          {"username", &R::username, t::_str, doc("Controller user name.")},
      },
      {&R::check_mode}};
  return schema;
}

const Schema<CorvaneConfig>& CorvaneConfig::schema() {
  using R = CorvaneConfig;
  static const Schema<R> schema{
      "CorvaneConfig",
      {
          {"controller_ip", &R::controller_ip, t::ipv4_address, required,
           doc("IPv4 address of the Corvane controller.")},
          {"controller_account", &R::controller_account, t::_str, required,
           doc("AWS account of the controller.")},
          {"ctrl_role_app", &R::ctrl_role_app, t::_str,
           doc("The controller's IAM application role.")},
          {"ctrl_role_ec2", &R::ctrl_role_ec2, t::_str, doc("The controller's IAM EC2 role.")},
          {"gateway_role_app", &R::gateway_role_app, t::_str,
           doc("The gateways' IAM application role.")},
          {"gateway_role_ec2", &R::gateway_role_ec2, t::_str, doc("The gateways' IAM EC2 role.")},
          {"tf_controller_access", &R::tf_controller_access, t::record<TfControllerAccessConfig>(),
           doc("How the generated Terraform reaches the controller's credentials.")},
      }};
  return schema;
}

}  // namespace tarnwick::core
