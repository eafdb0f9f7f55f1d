// The parameters of a SQL text: the ":name" markers of a dataset's SQL, with
// the values the caller gives them. Bound by the driver, never pasted into
// the text. Used by one thread at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dac/value.h"

namespace dac {

struct Param {
  std::string name;
  Value value;
};

class Params {
 public:
  std::size_t Count() const { return items_.size(); }
  Param& operator[](std::size_t i) { return items_.at(i); }
  const Param& operator[](std::size_t i) const { return items_.at(i); }
  // Case-insensitive. ParamByName throws DatabaseError when there is none.
  Param* FindParam(std::string_view name);
  const Param* FindParam(std::string_view name) const;
  Param& ParamByName(std::string_view name);
  // Adds a parameter unless one of that name exists; returns it.
  Param& Add(std::string name, Value value = {});
  void Clear() { items_.clear(); }
  // Keeps the parameters named in `names` (first occurrence order) and their
  // values where a parameter of that name existed.
  void Rebuild(const std::vector<std::string>& names);

  std::vector<Param>::const_iterator begin() const { return items_.begin(); }
  std::vector<Param>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<Param> items_;
};

}  // namespace dac
