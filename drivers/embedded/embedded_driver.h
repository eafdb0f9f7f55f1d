// The "embedded" driver: the stand-in servers of drivers/embedded, chosen in
// the settings' [Drivers] section. ConnectParams.kind picks the instance
// kind; ConnectParams.instance_dir is the instance's folder.
//
// Threads: Connect may be called from any thread; each connection then
// belongs to its caller's thread. RegisterEmbeddedDriver is safe to call
// more than once and from several threads.
#pragma once

#include <memory>
#include <string>

#include "dac/driver.h"

namespace embedded {

class EmbeddedDriver : public dac::Driver {
 public:
  std::string Name() const override { return "embedded"; }
  // Throws dac::DriverError as the instance's login does (see
  // oracle_connection.h and sqlserver_connection.h).
  std::unique_ptr<dac::Connection> Connect(const dac::ConnectParams& params) override;
};

// Adds the driver to the registry of dac/driver.h once.
void RegisterEmbeddedDriver();

}  // namespace embedded
