// The error a data-access component raises about data rather than a server's
// refusal: a field that does not exist, a required field left empty, a value
// that does not fit its field, a connection that is not open. Server
// refusals are DriverErrors; a dataset's error events receive both.
#pragma once

#include <stdexcept>

namespace dac {

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace dac
