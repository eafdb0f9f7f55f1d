#include "drivers/odbc/odbc_driver.h"

#include "drivers/odbc/odbc_connection.h"

namespace odbc {
namespace {

class OdbcDriver final : public dac::Driver {
 public:
  std::string Name() const override { return kOdbcDriverName; }
  std::unique_ptr<dac::Connection> Connect(const dac::ConnectParams& params) override { return ConnectOdbc(params); }
};

}  // namespace

std::shared_ptr<dac::Driver> MakeOdbcDriver() { return std::make_shared<OdbcDriver>(); }

void RegisterOdbcDriver() { dac::RegisterDriver(MakeOdbcDriver()); }

}  // namespace odbc
