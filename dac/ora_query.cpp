#include "dac/ora_query.h"

namespace dac {

OraQuery::~OraQuery() = default;

void OraQuery::SetSession(OraSession* session) {
  SetConnectionObject(session);
}

}  // namespace dac
