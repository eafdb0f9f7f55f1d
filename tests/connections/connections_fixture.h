// A window whose servers are the in-memory fake of the dac tests, and whose
// run can execute a test's code in the middle (where the steps would be), so
// that handlers writing the run log can be watched.
#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless_host.h"
#include "app/tf_main.h"
#include "tests/dac/fake_server.h"
#include "tests/support/temp_dir.h"

namespace connections_testing {

class HookedMain : public app::TfMain {
 public:
  using TfMain::TfMain;
  std::function<void(HookedMain&)> during_run;

 protected:
  // The steps after the connections stand aside: the fake server knows no ERP.
  bool CreateDatabase() override { return true; }
  void CreateUsers() override {}
  void CreateTables() override {
    if (during_run) during_run(*this);
  }
  void CopyRows() override {}
  void VerifyCounts() override {}
  void CreateSupportingObjects() override {}
};

struct Fixture {
  Fixture() : host(err), form(host, app::ProgramStart{dir / "migrator", {}}) {
    dac::RegisterDriver(std::make_shared<dac::testing::FakeDriver>(server));
    form.FormCreate();
    form.Drivers.Oracle = "fake";
    form.Drivers.SQLServer = "fake";
    form.cbCreateSQLDatabase.checked = true;
    auto& params = server.AddTable("tVX_SysParamSys", {dac::testing::Col("anBuildNo", dac::FieldType::ftInteger),
                                                       dac::testing::Col("anRevision", dac::FieldType::ftInteger)});
    params.rows.push_back({dac::Value(std::int64_t{5}), dac::Value(std::int64_t{12})});
  }

  // The run log as lines.
  std::vector<std::string> Log() const {
    return testing_support::LogLines(form.LastRunLogName());
  }
  bool LogHas(const std::string& text) const { return testing_support::AnyLineHas(Log(), text); }
  std::vector<dac::ConnectParams> Logins(dac::ServerKind kind) const {
    std::vector<dac::ConnectParams> out;
    for (const auto& p : server.logins) {
      if (p.kind == kind) out.push_back(p);
    }
    return out;
  }

  testing_support::TempDir dir;
  dac::testing::FakeServer server;
  std::ostringstream err;
  app::HeadlessHost host;
  HookedMain form;
};

}  // namespace connections_testing
