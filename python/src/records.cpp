#include "records.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "convert.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"

namespace tarnwick::python {

namespace {

namespace core = tarnwick::core;

// ipaddress.IPv4Address and IPv4Network, looked up while the module initialises (a lazy lookup
// from a getter could deadlock on the import lock) and kept for the life of the process.
struct IpClasses {
  py::handle address;
  py::handle network;
};
IpClasses g_ip;

// ---------------------------------------------------------------------------------------------
// Member values as Python values. Nested records are returned by reference, kept alive by the
// record they belong to: records never change once built, so a reference is as good as a copy.

py::object to_py(bool v, py::handle) {
  return py::bool_(v);
}
py::object to_py(const std::string& v, py::handle) {
  return text(v);
}
py::object to_py(const core::IPv4Address& v, py::handle) {
  return g_ip.address(v.bits());
}
py::object to_py(const core::IPv4Network& v, py::handle) {
  return g_ip.network(py::make_tuple(v.network_address().bits(), v.prefix_length()));
}

template <class T>
py::object to_py(const std::optional<T>& v, py::handle owner);
template <class T>
py::object to_py(const std::vector<T>& v, py::handle owner);
template <class V>
py::object to_py(const core::OrderedMap<std::string, V>& v, py::handle owner);

template <class R>
requires std::is_base_of_v<core::BaseModel, R> py::object to_py(const R& rec, py::handle owner) {
  return py::cast(&rec, py::return_value_policy::reference_internal, owner);
}

template <class T>
py::object to_py(const std::optional<T>& v, py::handle owner) {
  return v ? to_py(*v, owner) : py::none();
}

template <class T>
py::object to_py(const std::vector<T>& v, py::handle owner) {
  py::list out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out[i] = to_py(v[i], owner);
  return out;
}

template <class V>
py::object to_py(const core::OrderedMap<std::string, V>& v, py::handle owner) {
  py::dict out;
  for (const auto& [key, value] : v) out[text(key)] = to_py(value, owner);
  return out;
}

// ---------------------------------------------------------------------------------------------
// A record class. Members are listed here only for their C++ types; names and order come from the
// record's field table (matched by address), so a field added to a table without its member here
// stops the module from loading instead of silently missing.

template <class R, class Base>
class RecordClass {
 public:
  using Getter = std::function<py::object(const R&, py::handle)>;

  RecordClass(py::handle scope, const char* name, const char* doc)
      : cls_(scope, name, doc), proto_(std::make_unique<R>()) {}

  template <class B, class M>
  requires std::is_base_of_v<B, R> RecordClass& member(M B::*m) {
    return member(m, [](const M& value, py::handle self) { return to_py(value, self); });
  }
  // A member whose Python value is not the plain conversion of its C++ value.
  template <class B, class M, class F>
  requires std::is_base_of_v<B, R> RecordClass& member(M B::*m, F convert) {
    const void* address = &(static_cast<const B&>(*proto_).*m);
    members_.push_back({address, {}, [m, convert](const R& rec, py::handle self) {
                          return convert(static_cast<const B&>(rec).*m, self);
                        }});
    return *this;
  }

  py::class_<R, Base>& finish() {
    auto attrs = std::make_shared<std::vector<Attr>>();
    const auto& schema = R::schema();
    for (const auto& field : schema.fields()) {
      const void* address = field.address(*proto_);
      Attr* found = nullptr;
      for (Attr& a : members_) {
        if (a.address == address) found = &a;
      }
      if (found == nullptr) {
        throw std::logic_error(std::string(schema.name()) + "." + std::string(field.key()) +
                               " has no Python attribute (python/src/records.cpp lists none)");
      }
      found->key = std::string(field.key());
      attrs->push_back(*found);
    }
    if (attrs->size() != members_.size()) {
      throw std::logic_error(std::string(schema.name()) +
                             ": python/src/records.cpp lists a member its field table lacks");
    }

    py::tuple keys(attrs->size());
    for (std::size_t i = 0; i < attrs->size(); ++i) {
      const Attr& a = (*attrs)[i];
      keys[i] = py::str(a.key);
      cls_.def_property_readonly(a.key.c_str(), [get = a.get](py::object self) {
        return get(self.cast<const R&>(), self);
      });
    }
    cls_.attr("_fields") = keys;

    cls_.def("__repr__", [attrs](py::object self) {
      const R& rec = self.cast<const R&>();
      std::string out = py::str(py::type::handle_of(self).attr("__qualname__"));
      out += '(';
      for (std::size_t i = 0; i < attrs->size(); ++i) {
        if (i != 0) out += ", ";
        out += (*attrs)[i].key + "=" +
               py::repr((*attrs)[i].get(rec, self)).template cast<std::string>();
      }
      return out + ')';
    });
    cls_.def("__eq__", [](const R& a, py::object b) -> py::object {
      if (!py::isinstance<R>(b)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
      return py::bool_(a == b.cast<const R&>());
    });
    // Equal records dump alike, so the dump's text is a valid hash.
    cls_.def("__hash__", [](const R& rec) {
      return std::hash<std::string>{}(
          core::dump(rec).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    });
    // Immutable: a copy is the record itself.
    cls_.def("__copy__", [](py::object self) { return self; });
    cls_.def(
        "__deepcopy__", [](py::object self, py::handle) { return self; }, py::arg("memo"));
    return cls_;
  }

 private:
  struct Attr {
    const void* address;
    std::string key;
    Getter get;
  };

  py::class_<R, Base> cls_;
  std::unique_ptr<R> proto_;  // a record to take member addresses from
  std::vector<Attr> members_;
};

template <std::size_t N>
py::tuple texts(const std::array<std::string_view, N>& list) {
  py::tuple out(N);
  for (std::size_t i = 0; i < N; ++i) out[i] = text(list[i]);
  return out;
}

}  // namespace

void bind_records(py::module_& m) {
  py::module_ ipaddress = py::module_::import("ipaddress");
  g_ip.address = py::object(ipaddress.attr("IPv4Address")).release();
  g_ip.network = py::object(ipaddress.attr("IPv4Network")).release();

  using core::BaseModel;
  py::class_<BaseModel>(m, "_BaseModel",
                        "The base of every record. discovery_only is the mode of the most recent "
                        "load (True when it only discovered).")
      .def_property_readonly_static(
          "discovery_only", [](py::handle) { return BaseModel::discovery_only(); },
          "Whether the most recent load ran in discovery-only mode.");

  using core::VPCConfig;
  RecordClass<VPCConfig, BaseModel>(m, "VPCConfig", "One spoke VPC.")
      .member(&VPCConfig::vpc_id)
      .member(&VPCConfig::crvn_cidr)
      .member(&VPCConfig::crvn_cidrs)
      .member(&VPCConfig::gw_zones)
      .member(&VPCConfig::eips)
      .member(&VPCConfig::spoke_gw_tags)
      .member(&VPCConfig::domain)
      .member(&VPCConfig::encrypt)
      .member(&VPCConfig::encrypt_key)
      .member(&VPCConfig::inspection)
      .member(&VPCConfig::spoke_advertisement)
      .member(&VPCConfig::spoke_routes)
      .member(&VPCConfig::spoke_gw_name)
      .member(&VPCConfig::transit_gw_name)
      .member(&VPCConfig::transit_gw_egress_name)
      .member(&VPCConfig::enable_spoke_egress)
      .member(&VPCConfig::spoke_gw_size)
      .member(&VPCConfig::hpe)
      .member(&VPCConfig::max_hpe_performance)
      .member(&VPCConfig::spoke_ha)
      .member(&VPCConfig::retain_peerings)
      .member(&VPCConfig::retain_peering_cidrs)
      .member(&VPCConfig::customized_single_ip_snat)
      .member(&VPCConfig::az_affinity)
      .finish();

  using core::Region;
  RecordClass<Region, BaseModel>(m, "Region", "One region of an account and its VPCs.")
      .member(&Region::region)
      .member(&Region::vpcs)
      .finish();

  using core::AccountInfo;
  RecordClass<AccountInfo, BaseModel>(m, "AccountInfo", "One spoke account.")
      .member(&AccountInfo::account_id)
      .member(&AccountInfo::account_name)
      .member(&AccountInfo::regions)
      .member(&AccountInfo::hpe)
      .member(&AccountInfo::managed_tgw)
      .member(&AccountInfo::filter_cidrs)
      .member(&AccountInfo::spoke_gw_size)
      .member(&AccountInfo::role_name)
      .member(&AccountInfo::add_account)
      .member(&AccountInfo::onboard_account)
      .member(&AccountInfo::enable_spoke_egress)
      .member(&AccountInfo::max_hpe_performance)
      .member(&AccountInfo::spoke_ha)
      .finish();

  using core::SnatPoliciesConfig;
  RecordClass<SnatPoliciesConfig, BaseModel>(m, "SnatPoliciesConfig",
                                             "One source-NAT policy, its values as text.")
      .member(&SnatPoliciesConfig::src_ip)
      .member(&SnatPoliciesConfig::connection)
      .member(&SnatPoliciesConfig::new_src_ip)
      .member(&SnatPoliciesConfig::protocol)
      .finish();

  using core::ScriptConfig;
  RecordClass<ScriptConfig, BaseModel>(m, "ScriptConfig",
                                       "The `config` section: the document's feature switches.")
      .member(&ScriptConfig::add_vpc_cidr)
      .member(&ScriptConfig::allow_vpc_cidrs)
      .member(&ScriptConfig::configure_gw_name)
      .member(&ScriptConfig::configure_spoke_advertisement)
      .member(&ScriptConfig::configure_transit_gw_egress)
      .member(&ScriptConfig::configure_gw_lb_ep)
      .member(&ScriptConfig::configure_spoke_gw_hs)
      .member(&ScriptConfig::enable_spoke_egress)
      .member(&ScriptConfig::filter_tgw_attachment_subnet)
      .member(&ScriptConfig::filter_vgw_routes)
      .member(&ScriptConfig::filter_tgw_routes)
      .member(&ScriptConfig::route_table_tags)
      .member(&ScriptConfig::subnet_tags)
      .member(&ScriptConfig::snat_policies)
      .member(&ScriptConfig::import_resources)
      .member(&ScriptConfig::migrate_natgw_eip)
      .finish();

  using core::AlertConfig;
  RecordClass<AlertConfig, BaseModel>(m, "AlertConfig", "The `alert` section.")
      .member(&AlertConfig::expect_dest_cidrs)
      .member(&AlertConfig::expect_vpc_prefixes)
      .member(&AlertConfig::check_gateway_existence)
      .finish();

  using core::TGWConfig;
  RecordClass<TGWConfig, BaseModel>(m, "TGWConfig",
                                    "The `tgw` section: the transit gateways of one account.")
      .member(&TGWConfig::tgw_account)
      .member(&TGWConfig::tgw_role)
      .member(&TGWConfig::tgw_by_region)
      .finish();

  using core::SwitchTrafficConfig;
  RecordClass<SwitchTrafficConfig, BaseModel>(m, "SwitchTrafficConfig",
                                              "The `switch_traffic` section.")
      .member(&SwitchTrafficConfig::delete_tgw_route_delay)
      .finish();

  using core::CleanupConfig;
  RecordClass<CleanupConfig, BaseModel>(m, "CleanupConfig", "The `cleanup` section.")
      .member(&CleanupConfig::vpc_cidrs)
      .member(&CleanupConfig::resources)
      .member(&CleanupConfig::report_only)
      .finish();

  using core::TfControllerAccessConfig;
  RecordClass<TfControllerAccessConfig, BaseModel>(
      m, "TfControllerAccessConfig", "How the generated Terraform reaches the controller.")
      .member(&TfControllerAccessConfig::alias)
      .member(&TfControllerAccessConfig::mode)
      .member(&TfControllerAccessConfig::password_store)
      .member(&TfControllerAccessConfig::region)
      .member(&TfControllerAccessConfig::ssm_role)
      .member(&TfControllerAccessConfig::username)
      .finish();

  using core::CorvaneConfig;
  RecordClass<CorvaneConfig, BaseModel>(m, "CorvaneConfig",
                                        "The `corvane` section: controller onboarding.")
      .member(&CorvaneConfig::controller_ip)
      .member(&CorvaneConfig::controller_account)
      .member(&CorvaneConfig::ctrl_role_app)
      .member(&CorvaneConfig::ctrl_role_ec2)
      .member(&CorvaneConfig::gateway_role_app)
      .member(&CorvaneConfig::gateway_role_ec2)
      .member(&CorvaneConfig::tf_controller_access)
      .finish();

  using core::BackupConfig;
  auto backup = RecordClass<BackupConfig, BaseModel>(
                    m, "BackupConfig", "The `aws` section: where the account folder is backed up.")
                    .member(&BackupConfig::s3)
                    .finish();
  using S3Config = BackupConfig::S3Config;
  RecordClass<S3Config, BaseModel>(backup, "S3Config", "The bucket that receives the backup.")
      .member(&S3Config::account)
      .member(&S3Config::role_name)
      .member(&S3Config::name)
      .member(&S3Config::region)
      .finish();

  using core::TfCloudConfig;
  RecordClass<TfCloudConfig, BaseModel>(m, "TfCloudConfig",
                                        "Terraform Cloud settings; tags as the JSON text of "
                                        "the list given.")
      .member(&TfCloudConfig::organization)
      .member(&TfCloudConfig::workspace_name)
      .member(&TfCloudConfig::tags)
      .finish();

  using core::TerraformConfig;
  auto terraform =
      RecordClass<TerraformConfig, BaseModel>(m, "TerraformConfig", "The `terraform` section.")
          .member(&TerraformConfig::terraform_output)
          .member(&TerraformConfig::terraform_version)
          .member(&TerraformConfig::corvane_provider)
          .member(&TerraformConfig::aws_provider)
          .member(&TerraformConfig::enable_s3_backend)
          .member(&TerraformConfig::module_source)
          .member(&TerraformConfig::module_name)
          .member(&TerraformConfig::tf_cloud)
          .member(&TerraformConfig::tmp_folder_id)
          .finish();
  terraform.attr("DEFAULT_MODULE_SOURCE") = text(TerraformConfig::DEFAULT_MODULE_SOURCE);
  terraform.attr("DEFAULT_MODULE_NAME") = text(TerraformConfig::DEFAULT_MODULE_NAME);

  using core::ModeIdConfig;
  RecordClass<ModeIdConfig, BaseModel>(m, "ModeIdConfig",
                                       "The base of identified records: mode id and label.")
      .member(&ModeIdConfig::id)
      .member(&ModeIdConfig::label)
      .finish();

  using core::DiscoveryConfiguration;
  using R = DiscoveryConfiguration;
  RecordClass<R, ModeIdConfig>(m, "DiscoveryConfiguration",
                               "A whole discovery-and-migration document.")
      .member(&ModeIdConfig::id)
      .member(&ModeIdConfig::label)
      .member(&R::terraform)
      .member(&R::corvane)
      .member(&R::account_info)
      .member(&R::alert)
      .member(&R::config)
      .member(&R::cleanup)
      .member(&R::switch_traffic)
      .member(&R::aws)
      // An absent section reads as empty, as it dumps.
      .member(&R::tgw,
              [](const std::optional<core::TGWConfig>& tgw, py::handle self) -> py::object {
                return tgw ? to_py(*tgw, self) : py::dict();
              })
      .finish();

  m.attr("REGION_NAMES") = texts(core::REGION_NAMES);
  m.attr("CLEANUP_RESOURCES") = texts(core::CLEANUP_RESOURCES);
  m.attr("GW_NAME_KEYS") = texts(core::GW_NAME_KEYS);
}

}  // namespace tarnwick::python
