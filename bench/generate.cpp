#include "generate.hpp"

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::bench {
namespace {

// A small YAML tree of our own, written out in block or flow style. Scalars hold their text as
// it is to be written (quotes included).
struct Y {
  enum class K { Scalar, Alias, Map, Seq };
  K k = K::Scalar;
  std::string text;      // scalar text, or the alias's anchor name
  std::string anchor;    // "&name" written before the node, without the '&'
  std::string comment;   // a comment line written before this entry or item
  bool compact = false;  // a collection kept on one line ([a, b] / {k: v}) in either style
  std::vector<std::pair<std::string, Y>> map;
  std::vector<Y> seq;

  Y& add(std::string key, Y value) {
    map.emplace_back(std::move(key), std::move(value));
    return map.back().second;
  }
  Y& push(Y value) {
    seq.push_back(std::move(value));
    return seq.back();
  }
};

Y scalar(std::string text) {
  Y y;
  y.text = std::move(text);
  return y;
}
Y quoted(const std::string& text) {
  return scalar('"' + text + '"');
}
Y alias(std::string name) {
  Y y;
  y.k = Y::K::Alias;
  y.text = std::move(name);
  return y;
}
Y map(bool compact = false) {
  Y y;
  y.k = Y::K::Map;
  y.compact = compact;
  return y;
}
Y seq(bool compact = false) {
  Y y;
  y.k = Y::K::Seq;
  y.compact = compact;
  return y;
}
Y list(std::initializer_list<std::string> items) {
  Y y = seq(true);
  for (const std::string& s : items) y.push(scalar(s));
  return y;
}

class Writer {
 public:
  explicit Writer(bool flow) : flow_(flow) {}

  void document(const Y& root, const std::vector<std::string>& header) {
    for (const std::string& line : header) out_ += "# " + line + "\n";
    // The root stays a block mapping; in flow style every section value is a flow collection.
    for (const auto& [key, value] : root.map) {
      if (!value.comment.empty()) out_ += "\n# " + value.comment + "\n";
      out_ += key + ":";
      if (flow_ && is_collection(value)) {
        out_ += ' ';
        flow_node(value, 0);
        out_ += '\n';
      } else {
        block_value(value, 0);
      }
    }
  }

  std::string take() { return std::move(out_); }

 private:
  static bool is_collection(const Y& y) { return y.k == Y::K::Map || y.k == Y::K::Seq; }
  static bool empty(const Y& y) { return y.map.empty() && y.seq.empty(); }

  void indent(int n) { out_.append(static_cast<std::size_t>(n), ' '); }
  void props(const Y& y) {
    if (!y.anchor.empty()) out_ += '&' + y.anchor + ' ';
  }

  // After "key:" or "-": the rest of the entry, through its line end.
  void block_value(const Y& v, int ind) {
    if (v.k == Y::K::Alias) {
      out_ += " *" + v.text + "\n";
    } else if (v.k == Y::K::Scalar) {
      out_ += ' ';
      props(v);
      out_ += v.text + "\n";
    } else if (v.compact || empty(v)) {
      out_ += ' ';
      flow_node(v, ind);
      out_ += '\n';
    } else {
      if (!v.anchor.empty()) out_ += " &" + v.anchor;
      out_ += '\n';
      if (v.k == Y::K::Map) {
        block_map(v, ind + 2, false);
      } else {
        block_seq(v, ind + 2);
      }
    }
  }

  void block_map(const Y& m, int ind, bool first_inline) {
    bool first = true;
    for (const auto& [key, value] : m.map) {
      if (!(first && first_inline)) {
        if (!value.comment.empty()) {
          indent(ind);
          out_ += "# " + value.comment + "\n";
        }
        indent(ind);
      }
      first = false;
      out_ += key + ":";
      block_value(value, ind);
    }
  }

  void block_seq(const Y& s, int ind) {
    for (const Y& item : s.seq) {
      if (!item.comment.empty()) {
        indent(ind);
        out_ += "# " + item.comment + "\n";
      }
      indent(ind);
      out_ += '-';
      if (item.k == Y::K::Map && !item.compact && !empty(item) && item.anchor.empty()) {
        out_ += ' ';
        block_map(item, ind + 2, true);
      } else {
        block_value(item, ind);
      }
    }
  }

  // A flow collection; large ones put each entry or item on its own line.
  void flow_node(const Y& v, int ind) {
    if (v.k == Y::K::Alias) {
      out_ += '*' + v.text;
      return;
    }
    props(v);
    if (v.k == Y::K::Scalar) {
      out_ += v.text;
      return;
    }
    const bool is_map = v.k == Y::K::Map;
    const bool lines = !v.compact && !empty(v);
    out_ += is_map ? '{' : '[';
    std::size_t n = is_map ? v.map.size() : v.seq.size();
    for (std::size_t i = 0; i < n; ++i) {
      const Y& child = is_map ? v.map[i].second : v.seq[i];
      if (lines) {
        out_ += '\n';
        if (!child.comment.empty()) {
          indent(ind + 2);
          out_ += "# " + child.comment + "\n";
        }
        indent(ind + 2);
      } else if (i != 0) {
        out_ += ' ';
      }
      if (is_map) {
        out_ += v.map[i].first;
        // A space after the colon, also before an alias (`*a:` would be read as one name).
        out_ += ": ";
      }
      flow_node(child, ind + 2);
      if (i + 1 < n) out_ += ',';
    }
    if (lines) {
      out_ += '\n';
      indent(ind);
    }
    out_ += is_map ? '}' : ']';
  }

  bool flow_;
  std::string out_;
};

constexpr std::array<const char*, 22> kRegions{
    "us-east-1",      "eu-west-1",      "us-west-2",      "ap-southeast-1", "eu-central-1",
    "us-east-2",      "ap-northeast-1", "ca-central-1",   "eu-west-2",      "ap-south-1",
    "sa-east-1",      "us-west-1",      "ap-southeast-2", "eu-north-1",     "ap-northeast-2",
    "eu-west-3",      "af-south-1",     "ap-east-1",      "eu-south-1",     "me-south-3",
    "ap-northeast-3", "ap-southeast-3"};

// "us-east-1" -> "use1", for gateway names.
std::string short_region(const std::string& region) {
  std::string out;
  bool start = true;
  for (char c : region) {
    if (c == '-') {
      start = true;
    } else if (start || (c >= '0' && c <= '9')) {
      out += c;
      start = false;
    }
  }
  return out;
}

std::string fmt(const char* format, auto... args) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

// Where a VPC sits: `a` the account, `r` the region within it, `v` the VPC within the region and
// `g` the VPC across the document.
struct VpcPlace {
  std::size_t a, r, v, g;
  std::string region;
  std::string sr;  // short_region(region)
  bool account_ha;
  bool merged;  // takes the region's first VPC as its base
  bool revised;  // see Shape::revised
};

// Id, CIDR, zones, HA and elastic IPs.
void add_addresses(Y& y, const VpcPlace& p) {
  const std::size_t g = p.g;
  y.add("vpc_id", scalar(fmt("vpc-%017zx", 0x0a11b22c33d00000ULL + g * 7919)));
  // Inside allow_vpc_cidrs; some narrower than /24.
  if (g % 7 == 3) {
    y.add("crvn_cidr",
          scalar(fmt("100.%zu.%zu.%zu/26", 64 + ((g >> 10) & 63), (g >> 2) & 255, (g & 3) * 64)));
  } else {
    y.add("crvn_cidr", scalar(fmt("10.%zu.%zu.0/24", (g >> 8) & 255, g & 255)));
  }
  if (!p.merged) {
    const bool three = (g % 3 == 0) != (p.revised && g % 50 == 7);
    y.add("gw_zones", three ? list({"a", "b", "c"}) : list({"a", "b"}));
  }

  // HA: the VPC's own setting, else the account's; eips count follows it.
  bool ha = p.account_ha;
  if (p.merged || g % 9 == 7) {
    ha = p.merged ? true : !p.account_ha;
    y.add("spoke_ha", scalar(ha ? "true" : "false"));
  }
  if (p.merged || g % 5 != 4) {
    Y eips = seq(true);
    eips.push(scalar(fmt("54.%zu.%zu.%zu", 20 + (g >> 16), (g >> 8) & 255, g & 255)));
    if (ha) eips.push(scalar(fmt("52.%zu.%zu.%zu", 20 + (g >> 16), (g >> 8) & 255, g & 255)));
    y.add("eips", std::move(eips));
  }
}

// The account's base tags (anchored on its first VPC, merged into the others), plus extra ones
// on every other VPC.
Y spoke_gw_tags(const VpcPlace& p) {
  const std::size_t a = p.a, g = p.g;
  Y tags = seq();
  if (p.r == 0 && p.v == 0) {
    Y base = map(true);
    base.anchor = fmt("tags_a%zu", a);
    base.add("owner", scalar("netops"));
    base.add("cost-center", quoted(fmt("%zu", 4100 + a)));
    base.add("account", scalar(fmt("acct-%zu", a)));
    tags.push(std::move(base));
  } else {
    Y t = map(true);
    t.add("<<", alias(fmt("tags_a%zu", a)));
    t.add("Name", scalar(fmt("acct%zu-%s-spoke-%zu", a, p.sr.c_str(), p.v)));
    t.add("application", scalar(fmt("app-%05zu", g % 100'000)));
    t.add("team", scalar(fmt("team-%zu", g % 37)));
    tags.push(std::move(t));
  }
  if (g % 2 == 1) {
    Y extra = map(true);
    extra.add("environment", scalar(g % 8 == 1 ? "production" : "staging"));
    extra.add("migrated-by", scalar("tarnwick"));
    tags.push(std::move(extra));
  }
  return tags;
}

// Gateway names and tags, encryption.
void add_gateways(Y& y, const VpcPlace& p) {
  const std::size_t a = p.a, g = p.g;
  y.add("spoke_gw_name", scalar(fmt("acct%zu-%s-spoke-%zu", a, p.sr.c_str(), p.v)));
  y.add("transit_gw_name", scalar(fmt("acct%zu-%s-transit", a, p.sr.c_str())));
  if (g % 8 == 5) {
    y.add("transit_gw_egress_name", scalar(fmt("acct%zu-%s-egress", a, p.sr.c_str())));
  }
  if (!p.merged) y.add("spoke_gw_tags", spoke_gw_tags(p));
  if (g % 3 == 0 && !p.merged) {
    y.add("encrypt", scalar("true"));
    y.add("encrypt_key", scalar(fmt("alias/acct%zu-spoke", a)));
  }
}

// Peerings kept, routes and advertisements.
void add_routing(Y& y, const VpcPlace& p) {
  const std::size_t g = p.g;
  if (g % 2 == 0) {
    y.add("retain_peerings", list({fmt("pcx-%017zx", 0x0f00000000000000ULL + g),
                                   fmt("pcx-%017zx", 0x0e000000000ULL + g)}));
  }
  if (g % 6 == 0) y.add("retain_peering_cidrs", list({"10.200.0.0/16", "192.168.0.0/16"}));
  if (g % 3 != 2) {
    y.add("spoke_routes", list({"10.30.0.0/16", fmt("10.%zu.0.0/16", 31 + g % 50),
                                fmt("172.%zu.0.0/16", 16 + g % 16)}));
  }
  if (g % 5 == 2) {
    y.add("spoke_advertisement", list({fmt("10.%zu.%zu.0/24", 40 + (g >> 8) % 50, g & 255)}));
  }
}

// Gateway size and the per-VPC switches.
void add_switches(Y& y, const VpcPlace& p) {
  const std::size_t g = p.g;
  y.add("spoke_gw_size", g % 2 == 0 ? alias(fmt("size_a%zu", p.a)) : scalar("c5.large"));
  if (g % 5 == 0) y.add("max_hpe_performance", scalar("true"));
  if (g % 2 == 1) y.add("inspection", scalar(g % 4 == 1 ? "false" : "true"));
  if (g % 3 == 0) y.add("domain", scalar(g % 6 == 0 ? "prod" : "shared-services"));
  if (g % 4 == 2) y.add("hpe", scalar("false"));
  if (g % 13 == 0) y.add("az_affinity", scalar("true"));
  if (g % 4 == 3) y.add("enable_spoke_egress", scalar("false"));
}

Y vpc(const VpcPlace& p) {
  Y y = map();
  y.comment = p.v % 10 == 0 ? fmt("VPCs %zu-%zu of %s", p.v + 1, p.v + 10, p.region.c_str())
                            : fmt("VPC %zu: application app-%05zu, change ticket NET-%zu", p.v + 1,
                                  p.g % 100'000, 10'000 + p.g % 90'000);
  if (p.v == 0) y.anchor = fmt("vpc_a%zu_r%zu", p.a, p.r);
  if (p.merged) y.add("<<", alias(fmt("vpc_a%zu_r%zu", p.a, p.r)));
  add_addresses(y, p);
  add_gateways(y, p);
  add_routing(y, p);
  add_switches(y, p);
  return y;
}

Y terraform_section() {
  Y tf = map();
  tf.comment = "Where the generated Terraform goes and how it is parametrised.";
  tf.add("terraform_output", scalar("/srv/tarnwick/bench/terraform"));
  tf.add("terraform_version", quoted(">= 1.5.0"));
  tf.add("corvane_provider", quoted("~> 3.1.0"));
  tf.add("aws_provider", quoted("~> 5.31.0"));
  tf.add("enable_s3_backend", scalar("true"));
  tf.add("module_source", scalar("git::ssh://git.example.com/net/spoke.git"));
  tf.add("module_name", scalar("spoke"));
  Y& cloud = tf.add("tf_cloud", map());
  cloud.add("organization", scalar("example-retail"));
  cloud.add("tags", list({"tarnwick", "bench"}));
  tf.add("tmp_folder_id", scalar("VPC_ID"));
  return tf;
}

Y corvane_section() {
  Y cv = map();
  cv.comment = "Onboarding onto the controller; credentials come from SSM Parameter Store.";
  cv.add("controller_ip", scalar("10.10.0.20"));
  cv.add("controller_account", quoted("210000000001"));
  cv.add("ctrl_role_app", scalar("corvane-role-app"));
  cv.add("ctrl_role_ec2", scalar("corvane-role-ec2"));
  Y& access = cv.add("tf_controller_access", map());
  access.add("mode", scalar("SSM"));
  access.add("alias", scalar("us_east_1"));
  access.add("region", scalar("us-east-1"));
  access.add("password_store", scalar("corvane-admin-password"));
  access.add("ssm_role", scalar("corvane-role-app"));
  access.add("username", scalar("tarnwick"));
  return cv;
}

// One account with its regions and their VPCs; `g` numbers the VPCs across the document.
Y account(const Shape& shape, std::size_t regions, std::size_t a, std::size_t& g) {
  const bool account_ha = a % 4 != 3;
  Y acc = map();
  acc.comment = fmt("account %zu of %zu", a + 1, shape.accounts);
  acc.add("account_id", quoted(fmt("3100%08zu", a + 1)));
  acc.add("account_name", scalar(fmt("acct-%zu", a)));
  Y size = scalar(shape.revised && a % 10 == 4 ? "m5.large"
                 : a % 2 == 0                   ? "c5.xlarge"
                                                : "t3.large");
  size.anchor = fmt("size_a%zu", a);
  acc.add("spoke_gw_size", std::move(size));
  acc.add("filter_cidrs", list({"172.16.0.0/12", fmt("10.%zu.0.0/16", 100 + a % 100)}));
  acc.add("onboard_account", scalar(a % 3 == 0 ? "true" : "false"));
  acc.add("role_name", scalar("corvane-role-app"));
  if (!account_ha) acc.add("spoke_ha", scalar("false"));
  if (a % 5 == 1) acc.add("max_hpe_performance", scalar("true"));
  if (a % 6 == 2) acc.add("managed_tgw", scalar("true"));
  Y& regs = acc.add("regions", seq());
  for (std::size_t r = 0; r < regions; ++r) {
    const std::string region = kRegions[(a * 3 + r) % kRegions.size()];
    Y& reg = regs.push(map());
    reg.add("region", scalar(region));
    Y& vpcs = reg.add("vpcs", seq());
    for (std::size_t v = 0; v < shape.vpcs; ++v, ++g) {
      // The first VPC of a region carries the anchors the others merge: never left out.
      if (shape.revised && v != 0 && g % 499 == 17) continue;
      vpcs.push(vpc(VpcPlace{a, r, v, g, region, short_region(region), account_ha, v % 10 == 9,
                             shape.revised}));
    }
  }
  return acc;
}

Y accounts_section(const Shape& shape, std::size_t regions) {
  Y accounts = seq();
  accounts.comment = "The spoke accounts, their regions and the VPCs to migrate in each.";
  std::size_t g = 0;
  for (std::size_t a = 0; a < shape.accounts; ++a) accounts.push(account(shape, regions, a, g));
  return accounts;
}

Y alert_section() {
  Y alert = map();
  alert.comment = "Raise alerts for traffic outside these ranges.";
  alert.add("expect_dest_cidrs", list({"10.0.0.0/8", "100.64.0.0/10", "172.16.0.0/12"}));
  alert.add("expect_vpc_prefixes", list({"10.0.0.0/8"}));
  alert.add("check_gateway_existence", scalar("true"));
  return alert;
}

Y config_section() {
  Y cfg = map();
  cfg.comment = "Script switches; they apply to every VPC above.";
  cfg.add("add_vpc_cidr", scalar("true"));
  cfg.add("allow_vpc_cidrs", list({"10.0.0.0/8", "100.64.0.0/10"}));
  cfg.add("configure_gw_name", scalar("true"));
  cfg.add("configure_spoke_advertisement", scalar("true"));
  cfg.add("configure_transit_gw_egress", scalar("true"));
  cfg.add("filter_tgw_attachment_subnet", scalar("true"));
  cfg.add("filter_vgw_routes", scalar("false"));
  Y rt = seq();
  Y rt_tag = map(true);
  rt_tag.add("migrated-by", scalar("tarnwick"));
  rt.push(std::move(rt_tag));
  cfg.add("route_table_tags", std::move(rt));
  Y st = seq();
  Y st_tag = map(true);
  st_tag.add("tier", scalar("transit"));
  st_tag.add("wave", quoted("3"));
  st.push(std::move(st_tag));
  cfg.add("subnet_tags", std::move(st));
  Y& snat = cfg.add("snat_policies", seq());
  for (int i = 0; i < 3; ++i) {
    Y p = map(true);
    p.add("src_ip", scalar(fmt("10.220.%d.0/24", i + 1)));
    p.add("new_src_ip", scalar(fmt("10.220.%d.5", i + 1)));
    p.add("protocol", scalar(i == 2 ? "udp" : "tcp"));
    snat.push(std::move(p));
  }
  cfg.add("import_resources", scalar("false"));
  return cfg;
}

// cleanup, switch_traffic, aws and tgw: the short sections after config.
void add_closing_sections(Y& root) {
  Y& clean = root.add("cleanup", map());
  clean.add("vpc_cidrs", list({"100.64.99.0/24"}));
  clean.add("resources", list({"NAT", "VGW", "PEERING"}));
  clean.add("report_only", scalar("true"));

  Y& sw = root.add("switch_traffic", map());
  sw.add("delete_tgw_route_delay", quoted("10"));

  Y& aws = root.add("aws", map());
  aws.comment = "Back up the generated account folder.";
  Y& s3 = aws.add("s3", map());
  s3.add("account", quoted("210000000009"));
  s3.add("role_name", scalar("tarnwick-backup"));
  s3.add("name", scalar("example-retail-tarnwick-backups"));
  s3.add("region", scalar("us-east-1"));

  Y& tgw = root.add("tgw", map());
  tgw.add("tgw_account", quoted("210000000003"));
  tgw.add("tgw_role", scalar("tgw-admin"));
  Y& by_region = tgw.add("tgw_by_region", map());
  for (std::size_t i = 0; i < kRegions.size(); ++i) {
    by_region.add(kRegions[i], scalar(fmt("tgw-%017zx", 0x0123456789a0000ULL + i)));
  }
}

}  // namespace

bool standard_shape(std::string_view name, Shape& out) {
  if (name == "small") {
    out = Shape{1, 2, 3, out.flow, out.revised};
  } else if (name == "medium") {
    out = Shape{20, 4, 25, out.flow, out.revised};
  } else if (name == "large") {
    out = Shape{100, 5, 100, out.flow, out.revised};
  } else {
    return false;
  }
  return true;
}

std::string generate(const Shape& shape) {
  const std::size_t regions = shape.regions > kRegions.size() ? kRegions.size() : shape.regions;
  Y root = map();
  root.add("id", scalar("vpc_migration"));
  root.add("label", quoted(fmt("benchmark wave: %zu accounts x %zu regions x %zu VPCs",
                               shape.accounts, regions, shape.vpcs)));
  root.add("terraform", terraform_section());
  root.add("corvane", corvane_section());
  root.add("account_info", accounts_section(shape, regions));
  root.add("alert", alert_section());
  root.add("config", config_section());
  add_closing_sections(root);

  Writer w(shape.flow);
  w.document(root, {"A generated migration document for benchmarks.",
                    fmt("%zu accounts x %zu regions x %zu VPCs per region, %s style.",
                        shape.accounts, regions, shape.vpcs, shape.flow ? "flow" : "block")});
  return w.take();
}

}  // namespace tarnwick::bench
