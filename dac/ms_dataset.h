// The SQL Server dataset that MSQuery and the library's datasets stand on:
// a SqlDataSet bound to an MSConnection, writing names in brackets when
// Options.QuoteNames is set ("[dbo].[tX]", "[acName]").
// Options.QueryIdentity, NonBlocking, DetailDelay and LocalMasterDetail are
// kept for the library's dataset, which reads and writes them.
// Errors and threads: as SqlDataSet.
#pragma once

#include "dac/ms_connection.h"
#include "dac/sql_dataset.h"

namespace dac {

class CustomMSDataSet : public SqlDataSet {
 public:
  struct MSDataSetOptions : DataSetOptions {
    bool QuoteNames = false;
    bool QueryIdentity = true;
    bool NonBlocking = false;
    int DetailDelay = 0;
    bool LocalMasterDetail = false;
  };

  CustomMSDataSet() : SqlDataSet(true) {}
  ~CustomMSDataSet() override;

  MSConnection* Connection() const { return static_cast<MSConnection*>(UsedConnection()); }
  void SetConnection(MSConnection* connection) { SetConnectionObject(connection); }

  MSDataSetOptions Options;

 protected:
  DataSetOptions& BaseOptions() override { return Options; }
  std::string QuoteTableName(std::string_view name) const override;
  std::string QuoteColumnName(std::string_view name) const override;
};

}  // namespace dac
