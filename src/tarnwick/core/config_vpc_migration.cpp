#include "tarnwick/core/config_vpc_migration.hpp"

#include <iostream>

#include "document_stream.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<DiscoveryConfiguration>& DiscoveryConfiguration::schema() {
  using R = DiscoveryConfiguration;
  static const Schema<R> schema{
      "DiscoveryConfiguration",
      ModeIdConfig::inherited_fields<R>() +
          std::vector<Field<R>>{
              {"terraform", &R::terraform, t::record<TerraformConfig>(), required,
               doc("Where the generated Terraform goes and how it is parametrised.")},
              {"corvane", &R::corvane, t::optional(t::record<CorvaneConfig>()),
               check_always(&R::check_field_for_none),
               doc("Onboarding onto the Corvane controller; required unless discovery only.")},
              {"account_info", &R::account_info, t::list(t::record<AccountInfo>()), required,
               doc("The spoke accounts, their regions and the VPCs to migrate.")},
              {"alert", &R::alert, t::record<AlertConfig>(), doc("When to raise alerts.")},
              {"config", &R::config, t::record<ScriptConfig>(), check(&R::check_config),
               doc("Switches of the migration features for the whole document.")},
              {"cleanup", &R::cleanup, t::record<CleanupConfig>(), check(&R::check_cleanup),
               doc("What cleanup removes after the migration.")},
              {"switch_traffic", &R::switch_traffic, t::record<SwitchTrafficConfig>(),
               doc("Timing of the traffic switch.")},
              {"aws", &R::aws, t::optional(t::record<BackupConfig>()),
               doc("Backup of the generated account folder to S3.")},
              {"tgw", &R::tgw, t::or_empty(t::record<TGWConfig>()), check(&R::check_tgw_for_none),
               doc("The transit gateways (absent: none); when the key is given it must not be "
                   "null.")},
          }};
  return schema;
}

SystemExit::SystemExit(int status, ValidationError cause)
    : status_(status), cause_(std::move(cause)), what_("SystemExit: " + std::to_string(status)) {}

DocumentRead read_document(std::string_view text, std::string name, bool discovery_only) {
  ModeScope mode(discovery_only);
  DocumentStream stream;
  yaml::Document doc = yaml::read_string(text, std::move(name), &stream);
  DocumentRead out;
  out.duplicates = doc.duplicates();
  const yaml::Node& root = doc.root();
  if (!root.is_map()) {
    out.not_mapping = TypeError("config_dict must be a mapping, not " +
                                std::string(yaml::kind_name(root.kind())));
    return out;
  }
  BaseModel::set_discovery_only(discovery_only);
  try {
    out.config = build<DiscoveryConfiguration>(root, discovery_only, &stream.lists());
  } catch (ValidationError& e) {
    out.error = std::move(e);
  }
  return out;
}

DiscoveryConfiguration build_document(const yaml::Node& config_dict, bool discovery_only) {
  if (!config_dict.is_map()) {
    throw TypeError("config_dict must be a mapping, not " +
                    std::string(yaml::kind_name(config_dict.kind())));
  }
  BaseModel::set_discovery_only(discovery_only);
  return build<DiscoveryConfiguration>(config_dict, discovery_only);
}

DiscoveryConfiguration load_from_dict(const yaml::Node& config_dict, bool discovery_only) {
  try {
    return build_document(config_dict, discovery_only);
  } catch (ValidationError& e) {
    std::cout << e.json() << '\n' << std::flush;
    throw SystemExit(1, std::move(e));
  }
}

DiscoveryConfiguration load_from_dict(const nlohmann::ordered_json& config_dict,
                                      bool discovery_only) {
  yaml::Document doc = document_from_json(config_dict);
  return load_from_dict(doc.root(), discovery_only);
}

DiscoveryConfiguration load_from_yaml(const std::filesystem::path& yml_path, bool discovery_only) {
  DocumentRead read =
      read_document(yaml::read_file_text(yml_path), yml_path.string(), discovery_only);
  if (read.not_mapping) throw *read.not_mapping;
  if (read.error) {
    std::cout << read.error->json() << '\n' << std::flush;
    throw SystemExit(1, std::move(*read.error));
  }
  return std::move(*read.config);
}

nlohmann::ordered_json dump_to_dict(const DiscoveryConfiguration& config) {
  return dump(config);
}

void dump_to_yaml(const DiscoveryConfiguration& /*config*/, const std::filesystem::path& /*dest*/) {
}

yaml::Document document_from_json(const nlohmann::ordered_json& value) {
  using J = nlohmann::ordered_json;
  yaml::Document doc;
  auto scalar = [&doc](const J& v) -> yaml::Node* {
    switch (v.type()) {
      case J::value_t::boolean:
        return doc.make_bool(v.get<bool>());
      case J::value_t::number_integer:
        return doc.make_int(v.get<std::int64_t>());
      case J::value_t::number_unsigned: {
        const auto u = v.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(INT64_MAX)) {
          return doc.make_int(static_cast<std::int64_t>(u));
        }
        return doc.make_big_int(std::to_string(u), yaml::Tag::Int, false, {});
      }
      case J::value_t::number_float:
        return doc.make_float(v.get<double>());
      case J::value_t::string:
        return doc.make_str(v.get<std::string>());
      default:
        return doc.make_null();
    }
  };
  // Explicit stack: a deeply nested value must not exhaust the C++ stack.
  struct Frame {
    const J* json;
    yaml::Node* node;
    std::size_t depth;
  };
  auto make = [&](const J& v) -> yaml::Node* {
    if (v.is_object()) return doc.make_map();
    if (v.is_array()) return doc.make_seq();
    return scalar(v);
  };
  yaml::Node* root = make(value);
  std::vector<Frame> stack{{&value, root, 1}};
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    if (!f.json->is_structured()) continue;
    if (f.depth > yaml::kMaxDepth) {
      throw std::invalid_argument("config_dict nests deeper than " +
                                  std::to_string(yaml::kMaxDepth) + " levels");
    }
    if (f.json->is_object()) {
      for (const auto& [k, v] : f.json->items()) {
        yaml::Node* child = make(v);
        doc.append_entry(f.node, doc.make_str(k), child);
        stack.push_back({&v, child, f.depth + 1});
      }
    } else {
      for (const J& v : *f.json) {
        yaml::Node* child = make(v);
        doc.append(f.node, child);
        stack.push_back({&v, child, f.depth + 1});
      }
    }
  }
  doc.set_root(root);
  return doc;
}

}  // namespace tarnwick::core
