// Values bound to the "?" markers of a statement, laid out as ODBC's
// column-wise parameter binding wants them: for one marker, one buffer holding
// its value for each row of a batch and one length per row, so that a whole
// batch goes to the driver in a single SQLExecute (a parameter array).
//
// A marker's C type follows its values: integers as 64-bit integers, exact
// decimals as their text (never as doubles), date-times as timestamp structs
// with their fractions, texts as UTF-16. Its SQL type is the target column's
// when the caller knows it, so that NULLs and conversions meet the column as
// the server declared it; otherwise it follows the values too.
//
// Threads: a ParameterColumn belongs to the statement it is bound to.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "dac/value.h"
#include "drivers/odbc/odbc_call.h"

namespace odbc {

// A target column as the server describes it; sql_type is an SQL_... code.
struct ParameterType {
  short sql_type = 0;
  std::size_t column_size = 0;
  short decimal_digits = 0;
};

class ParameterColumn {
 public:
  // The values at position `index` of rows[first, first + count).
  ParameterColumn(const std::vector<dac::Row>& rows, std::size_t first, std::size_t count, std::size_t index,
                  const std::optional<ParameterType>& target);
  // One value for a statement's single row of parameters.
  ParameterColumn(const dac::Value& value, const std::optional<ParameterType>& target = std::nullopt);

  ParameterColumn(ParameterColumn&&) noexcept = default;
  ParameterColumn& operator=(ParameterColumn&&) noexcept = default;
  ParameterColumn(const ParameterColumn&) = delete;
  ParameterColumn& operator=(const ParameterColumn&) = delete;

  // Binds the buffers to marker `number` (from 1). They stay where they are
  // for as long as this object lives. Throws dac::DriverError.
  void Bind(const Handle& statement, unsigned short number);

  // Bytes this column holds, buffers and lengths together.
  std::size_t Bytes() const { return data_.size() + lengths_.size() * sizeof(long); }

 private:
  void Fill(const std::vector<const dac::Value*>& values, const std::optional<ParameterType>& target);

  short c_type_ = 0;
  short sql_type_ = 0;
  std::size_t column_size_ = 0;
  short decimal_digits_ = 0;
  std::size_t element_bytes_ = 1;
  std::vector<unsigned char> data_;
  std::vector<long> lengths_;  // SQLLEN under unixODBC on 64-bit systems
};

// Binds one row of parameters; the columns must outlive the execution.
std::vector<ParameterColumn> BindParameters(const Handle& statement, const std::vector<dac::Value>& params);

}  // namespace odbc
