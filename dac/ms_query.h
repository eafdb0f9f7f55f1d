// A query on a SQL Server connection: the dataset the steps use to run a
// statement (Execute), read a result (Open, Next) and insert rows (Insert,
// field assignment, Post; with CachedUpdates, ApplyUpdates sends the cache).
// Everything it does is CustomMSDataSet's; this is the name callers use.
// Errors and threads: as SqlDataSet.
#pragma once

#include "dac/ms_dataset.h"

namespace dac {

class MSQuery : public CustomMSDataSet {
 public:
  MSQuery() = default;
  ~MSQuery() override;
};

}  // namespace dac
