#include "dac/driver.h"

#include <map>
#include <mutex>

#include "platform/text.h"

namespace dac {
namespace {

std::string JoinMessages(const std::vector<Diagnostic>& records) {
  std::string out;
  for (const auto& r : records) {
    if (!out.empty()) out += "\n";
    out += r.message;
  }
  return out;
}

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Driver>> drivers;  // by case-folded name
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

}  // namespace

const char* FieldTypeName(FieldType t) {
  static const char* const kNames[] = {
      "ftUnknown",  "ftString", "ftWideString", "ftFixedChar", "ftMemo",     "ftWideMemo",  "ftSmallint", "ftInteger",
      "ftWord",     "ftLargeint", "ftAutoInc",  "ftBoolean",   "ftFloat",    "ftCurrency",  "ftBCD",      "ftFMTBcd",
      "ftDate",     "ftTime",   "ftDateTime",   "ftTimeStamp", "ftBlob",     "ftBytes",     "ftVarBytes", "ftGuid",
  };
  return kNames[static_cast<int>(t)];
}

DriverError::DriverError(std::vector<Diagnostic> records, std::string sql)
    : std::runtime_error(JoinMessages(records)),
      records_(records.empty() ? std::vector<Diagnostic>{{"HY000", 0, ""}} : std::move(records)),
      server_message_(JoinMessages(records_)),
      sql_(std::move(sql)) {}

DriverError::DriverError(const std::string& message, std::string sqlstate, int native_error)
    : DriverError(std::vector<Diagnostic>{{std::move(sqlstate), native_error, message}}) {}

void RegisterDriver(std::shared_ptr<Driver> driver) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.drivers[platform::CaseFold(driver->Name())] = std::move(driver);
}

std::shared_ptr<Driver> FindDriver(const std::string& name) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  const auto it = r.drivers.find(platform::CaseFold(name));
  if (it == r.drivers.end()) throw UsageError("Unknown database driver \"" + name + "\"");
  return it->second;
}

std::vector<std::string> DriverNames() {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> names;
  for (const auto& [key, d] : r.drivers) names.push_back(d->Name());
  return names;
}

}  // namespace dac
