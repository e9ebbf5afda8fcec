#include "tarnwick/yaml/emitter.hpp"

#include <stdexcept>
#include <string_view>

#include <yaml.h>

#include "tarnwick/yaml/resolver.hpp"

namespace tarnwick::yaml {
namespace {

using Json = nlohmann::ordered_json;

class Emitter {
 public:
  Emitter() {
    if (!yaml_emitter_initialize(&emitter_)) {
      throw std::runtime_error("cannot start the YAML emitter");
    }
    yaml_emitter_set_output(&emitter_, &Emitter::append, &out_);
    yaml_emitter_set_unicode(&emitter_, 1);
    yaml_emitter_set_indent(&emitter_, 2);
    yaml_emitter_set_width(&emitter_, -1);  // a long CIDR list or tag stays on its line
    yaml_emitter_set_break(&emitter_, YAML_LN_BREAK);
  }
  ~Emitter() { yaml_emitter_delete(&emitter_); }
  Emitter(const Emitter&) = delete;
  Emitter& operator=(const Emitter&) = delete;

  // Takes the event (initialised or not): a failed initialisation leaves nothing to free.
  void emit(int initialised, yaml_event_t& event) {
    if (!initialised) throw std::runtime_error("cannot write a value as YAML (invalid UTF-8?)");
    if (!yaml_emitter_emit(&emitter_, &event)) {
      throw std::runtime_error(std::string("YAML emitter: ") +
                               (emitter_.problem ? emitter_.problem : "failed"));
    }
  }

  void value(const Json& j);
  std::string take() { return std::move(out_); }

 private:
  static int append(void* data, unsigned char* buffer, size_t size) {
    static_cast<std::string*>(data)->append(reinterpret_cast<const char*>(buffer), size);
    return 1;
  }

  // plain_implicit: the text read plain means what it is; otherwise the emitter quotes it (a
  // string) or names the tag (a number the implicit rules would not read back as one).
  void scalar(std::string_view text, bool plain_implicit, const char* tag = nullptr) {
    yaml_event_t event;
    auto* bytes = reinterpret_cast<yaml_char_t*>(const_cast<char*>(text.data()));
    emit(yaml_scalar_event_initialize(&event, nullptr,
                                      reinterpret_cast<yaml_char_t*>(const_cast<char*>(tag)), bytes,
                                      static_cast<int>(text.size()), plain_implicit, tag == nullptr,
                                      YAML_ANY_SCALAR_STYLE),
         event);
  }

  // A plain `=` is the value key to YAML 1.1 loaders (a load error for most), though our reader
  // takes it for text: it is quoted too.
  void string(const std::string& s) {
    const yaml::ResolvedScalar r = yaml::resolve_plain(s);
    scalar(s, r.kind == yaml::Kind::Str && r.tag == yaml::StandardTag::Str && s != "=");
  }

  yaml_emitter_t emitter_{};
  std::string out_;
};

void Emitter::value(const Json& j) {
  yaml_event_t event;
  switch (j.type()) {
    case Json::value_t::object:
      emit(yaml_mapping_start_event_initialize(&event, nullptr, nullptr, 1,
                                               YAML_BLOCK_MAPPING_STYLE),
           event);
      for (const auto& [key, item] : j.items()) {
        string(key);
        value(item);
      }
      emit(yaml_mapping_end_event_initialize(&event), event);
      return;
    case Json::value_t::array:
      emit(yaml_sequence_start_event_initialize(&event, nullptr, nullptr, 1,
                                                YAML_BLOCK_SEQUENCE_STYLE),
           event);
      for (const Json& item : j) value(item);
      emit(yaml_sequence_end_event_initialize(&event), event);
      return;
    case Json::value_t::string:
      string(j.get_ref<const std::string&>());
      return;
    case Json::value_t::number_float: {
      // JSON writes 1e+20 where YAML 1.1 wants a dot: such a number is tagged, not made a string.
      const std::string text = j.dump();
      const bool plain = yaml::resolve_plain(text).kind == yaml::Kind::Float;
      scalar(text, plain, plain ? nullptr : YAML_FLOAT_TAG);
      return;
    }
    default:  // null, booleans and integers read back plain as themselves
      scalar(j.dump(), true);
  }
}

}  // namespace

std::string to_yaml(const nlohmann::ordered_json& value) {
  Emitter emitter;
  yaml_event_t event;
  emitter.emit(yaml_stream_start_event_initialize(&event, YAML_UTF8_ENCODING), event);
  emitter.emit(yaml_document_start_event_initialize(&event, nullptr, nullptr, nullptr, 1), event);
  emitter.value(value);
  emitter.emit(yaml_document_end_event_initialize(&event, 1), event);
  emitter.emit(yaml_stream_end_event_initialize(&event), event);
  return emitter.take();
}

}  // namespace tarnwick::yaml
