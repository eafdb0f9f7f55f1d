#include "dac/ms_query.h"

namespace dac {

MSQuery::~MSQuery() = default;

}  // namespace dac
