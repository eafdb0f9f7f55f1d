// A query on an Oracle session. The table copy reads its source through one:
// FetchRows rows per round trip, UniDirectional so that no record behind the
// cursor is kept, Options.QueryRecCount so that RecordCount is the server's
// count as soon as the query is open.
//
// Options.DeferredLobRead and TemporaryLobUpdate are kept for the callers
// that set them; the driver seam delivers a LOB with its row, so a LOB costs
// its transfer whether or not its field is read. AutoCommit is kept likewise:
// the session's driver commits each write on its own unless a transaction is
// open.
// Errors and threads: as SqlDataSet.
#pragma once

#include "dac/ora_session.h"
#include "dac/sql_dataset.h"

namespace dac {

class OraQuery : public SqlDataSet {
 public:
  struct OraDataSetOptions : DataSetOptions {
    bool DeferredLobRead = false;
    bool TemporaryLobUpdate = false;
  };

  OraQuery() : SqlDataSet(false) {}
  ~OraQuery() override;

  OraSession* Session() const { return static_cast<OraSession*>(UsedConnection()); }
  void SetSession(OraSession* session);

  OraDataSetOptions Options;
  bool AutoCommit = true;

 protected:
  DataSetOptions& BaseOptions() override { return Options; }
};

}  // namespace dac
