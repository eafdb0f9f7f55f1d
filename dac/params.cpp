#include "dac/params.h"

#include "dac/field.h"
#include "platform/text.h"

namespace dac {

Param* Params::FindParam(std::string_view name) {
  for (auto& p : items_) {
    if (platform::SameText(p.name, name)) return &p;
  }
  return nullptr;
}

const Param* Params::FindParam(std::string_view name) const { return const_cast<Params*>(this)->FindParam(name); }

Param& Params::ParamByName(std::string_view name) {
  if (Param* p = FindParam(name)) return *p;
  throw DatabaseError("Parameter '" + std::string(name) + "' not found");
}

Param& Params::Add(std::string name, Value value) {
  if (Param* p = FindParam(name)) return *p;
  items_.push_back(Param{std::move(name), std::move(value)});
  return items_.back();
}

void Params::Rebuild(const std::vector<std::string>& names) {
  Params rebuilt;
  for (const auto& name : names) {
    if (rebuilt.FindParam(name)) continue;
    const Param* old = FindParam(name);
    rebuilt.items_.push_back(Param{name, old ? old->value : Value()});
  }
  items_ = std::move(rebuilt.items_);
}

}  // namespace dac
