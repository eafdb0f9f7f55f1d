#include "drivers/odbc/odbc_cursor.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "drivers/odbc/column_types.h"
#include "drivers/odbc/utf16.h"

namespace odbc {
namespace {

// Row arrays of one cursor stay within this many bytes, whatever the fetch size.
constexpr std::size_t kMaxBlockBytes = 32u << 20;
// One SQLGetData call reads at most this many bytes of a LOB.
constexpr std::size_t kChunkBytes = 64u << 10;

SQLSMALLINT CTypeOf(ReadAs r) {
  switch (r) {
    case ReadAs::kInteger: return SQL_C_SBIGINT;
    case ReadAs::kBoolean: return SQL_C_BIT;
    case ReadAs::kDouble: return SQL_C_DOUBLE;
    case ReadAs::kDecimalText: return SQL_C_CHAR;
    case ReadAs::kText: return SQL_C_WCHAR;
    case ReadAs::kBytes: return SQL_C_BINARY;
    case ReadAs::kTimestamp: return SQL_C_TYPE_TIMESTAMP;
    case ReadAs::kDate: return SQL_C_TYPE_DATE;
    case ReadAs::kTime: return SQL_C_TYPE_TIME;
  }
  return SQL_C_CHAR;
}

// Bytes of the terminator the driver writes after a value of this form.
std::size_t TerminatorBytes(ReadAs r) {
  switch (r) {
    case ReadAs::kDecimalText: return 1;
    case ReadAs::kText: return sizeof(char16_t);
    default: return 0;
  }
}

// The value of one cell from its C form; `length` counts bytes without the
// terminator.
dac::Value ToValue(const ColumnPlan& plan, const unsigned char* data, std::size_t length) {
  switch (plan.read_as) {
    case ReadAs::kInteger: {
      std::int64_t x;
      std::memcpy(&x, data, sizeof x);
      return dac::Value(x);
    }
    case ReadAs::kBoolean:
      return dac::Value(data[0] != 0);
    case ReadAs::kDouble: {
      double x;
      std::memcpy(&x, data, sizeof x);
      return dac::Value(x);
    }
    case ReadAs::kDecimalText: {
      const std::string_view text(reinterpret_cast<const char*>(data), length);
      if (auto d = dac::Decimal::Parse(text)) return dac::Value(std::move(*d));
      // PostgreSQL's NaN and infinities have no exact decimal: keep the text.
      return dac::Value(std::string(text));
    }
    case ReadAs::kText: {
      std::u16string units(length / sizeof(char16_t), u'\0');
      if (!units.empty()) std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
      return dac::Value(ToUtf8(units));
    }
    case ReadAs::kBytes:
      return dac::Value(dac::Bytes(data, data + length));
    case ReadAs::kTimestamp: {
      SQL_TIMESTAMP_STRUCT ts;
      std::memcpy(&ts, data, sizeof ts);
      return dac::Value(dac::DateTime{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                                      static_cast<int>(ts.fraction)});
    }
    case ReadAs::kDate: {
      SQL_DATE_STRUCT d;
      std::memcpy(&d, data, sizeof d);
      return dac::Value(dac::DateTime{d.year, d.month, d.day, 0, 0, 0, 0});
    }
    case ReadAs::kTime: {
      SQL_TIME_STRUCT t;
      std::memcpy(&t, data, sizeof t);
      // A time alone sits on day 0 of the date serial, as the components expect.
      return dac::Value(dac::DateTime{1899, 12, 30, t.hour, t.minute, t.second, 0});
    }
  }
  return {};
}

class OdbcCursor final : public dac::Cursor {
 public:
  OdbcCursor(std::shared_ptr<ServerLink> link, Handle statement, std::vector<ParameterColumn> params,
             dac::ServerKind kind, std::string sql)
      : link_(std::move(link)), statement_(std::move(statement)), params_(std::move(params)), sql_(std::move(sql)) {
    Describe(kind);
  }

  const std::vector<dac::Column>& Columns() const override { return columns_; }

  bool Fetch(std::vector<dac::Row>& rows, std::size_t max_rows) override {
    if (done_) return false;
    if (max_rows == 0) return true;
    if (blocks_) {
      FetchBlocks(rows, max_rows);
    } else {
      FetchRowByRow(rows, max_rows);
    }
    return !done_;
  }

 private:
  void Describe(dac::ServerKind kind) {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(statement_.Get(), &count), statement_, sql_);
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
      ColumnDescription d;
      std::u16string name(128, u'\0');
      SQLSMALLINT name_length = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
      for (;;) {
        Check(SQLDescribeColW(statement_.Get(), i, reinterpret_cast<SQLWCHAR*>(name.data()),
                              static_cast<SQLSMALLINT>(name.size()), &name_length, &type, &size, &digits, &nullable),
              statement_, sql_);
        if (static_cast<std::size_t>(name_length) < name.size()) break;
        name.assign(static_cast<std::size_t>(name_length) + 1, u'\0');
      }
      d.name = ToUtf8(std::u16string_view(name.data(), static_cast<std::size_t>(name_length)));
      d.sql_type = type;
      d.column_size = size;
      d.decimal_digits = digits;
      d.nullable = nullable != SQL_NO_NULLS;

      SQLLEN auto_unique = SQL_FALSE;
      Check(SQLColAttributeW(statement_.Get(), i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &auto_unique),
            statement_, sql_);
      d.auto_increment = auto_unique == SQL_TRUE;
      std::u16string type_name(64, u'\0');
      SQLSMALLINT type_name_bytes = 0;
      Check(SQLColAttributeW(statement_.Get(), i, SQL_DESC_TYPE_NAME, type_name.data(),
                             static_cast<SQLSMALLINT>(type_name.size() * sizeof(char16_t)), &type_name_bytes,
                             nullptr),
            statement_, sql_);
      const auto units = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(type_name_bytes, 0)) /
                                                   sizeof(char16_t),
                                               type_name.size() - 1);
      d.type_name = ToUtf8(std::u16string_view(type_name.data(), units));

      plans_.push_back(PlanColumn(d, kind));
      columns_.push_back(plans_.back().column);
      if (plans_.back().chunked) blocks_ = false;
    }
    if (count == 0) Close();
  }

  // Binds every column to row arrays of as many rows as asked for (within the
  // memory bound); binds again, larger, when a later Fetch asks for more.
  void BindBlocks(std::size_t max_rows) {
    std::size_t row_bytes = sizeof(SQLUSMALLINT);
    for (const ColumnPlan& p : plans_) row_bytes += p.buffer_bytes + sizeof(SQLLEN);
    const std::size_t wanted = std::clamp<std::size_t>(kMaxBlockBytes / row_bytes, 1, max_rows);
    if (wanted <= capacity_) return;
    const bool first = capacity_ == 0;
    capacity_ = wanted;
    buffers_.resize(plans_.size());
    lengths_.resize(plans_.size());
    row_status_.assign(capacity_, SQL_ROW_NOROW);
    if (first) {
      Check(SQLSetStmtAttr(statement_.Get(), SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN),
                           0),
            statement_, sql_);
      Check(SQLSetStmtAttr(statement_.Get(), SQL_ATTR_ROWS_FETCHED_PTR, &rows_fetched_, 0), statement_, sql_);
    }
    Check(SQLSetStmtAttr(statement_.Get(), SQL_ATTR_ROW_STATUS_PTR, row_status_.data(), 0), statement_, sql_);
    for (std::size_t c = 0; c < plans_.size(); ++c) {
      buffers_[c].assign(capacity_ * plans_[c].buffer_bytes, 0);
      lengths_[c].assign(capacity_, 0);
      Check(SQLBindCol(statement_.Get(), static_cast<SQLUSMALLINT>(c + 1), CTypeOf(plans_[c].read_as),
                       buffers_[c].data(), static_cast<SQLLEN>(plans_[c].buffer_bytes), lengths_[c].data()),
            statement_, sql_);
    }
  }

  void SetArraySize(std::size_t rows) {
    if (rows == array_size_) return;
    Check(SQLSetStmtAttr(statement_.Get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0),
          statement_, sql_);
    array_size_ = rows;
  }

  void FetchBlocks(std::vector<dac::Row>& rows, std::size_t max_rows) {
    BindBlocks(max_rows);
    std::size_t appended = 0;
    while (!done_ && appended < max_rows) {
      SetArraySize(std::min(capacity_, max_rows - appended));
      rows_fetched_ = 0;
      if (Check(SQLFetch(statement_.Get()), statement_, sql_) == SQL_NO_DATA) {
        Close();
        break;
      }
      for (std::size_t r = 0; r < rows_fetched_; ++r) {
        if (row_status_[r] == SQL_ROW_ERROR) throw dac::DriverError(Diagnostics(statement_), sql_);
        if (row_status_[r] == SQL_ROW_NOROW) continue;
        dac::Row row;
        row.reserve(plans_.size());
        for (std::size_t c = 0; c < plans_.size(); ++c) row.push_back(BoundValue(c, r));
        rows.push_back(std::move(row));
        ++appended;
      }
    }
  }

  dac::Value BoundValue(std::size_t c, std::size_t r) const {
    const ColumnPlan& plan = plans_[c];
    const SQLLEN length = lengths_[c][r];
    if (length == SQL_NULL_DATA) return {};
    const bool variable =
        plan.read_as == ReadAs::kText || plan.read_as == ReadAs::kDecimalText || plan.read_as == ReadAs::kBytes;
    const std::size_t room = plan.buffer_bytes - TerminatorBytes(plan.read_as);
    if (length == SQL_NO_TOTAL || (variable && static_cast<std::size_t>(length) > room)) {
      // The driver described the column narrower than a value it holds (the
      // PostgreSQL driver guesses 255 for an unbounded varchar). Refuse
      // rather than pass on a value cut short.
      throw dac::DriverError("Column " + plan.column.name + " holds a value longer than the " +
                                 std::to_string(plan.column.size) + " the driver declared for it",
                             "01004");
    }
    const std::size_t bytes = variable ? static_cast<std::size_t>(length) : plan.buffer_bytes;
    return ToValue(plan, &buffers_[c][r * plan.buffer_bytes], bytes);
  }

  void FetchRowByRow(std::vector<dac::Row>& rows, std::size_t max_rows) {
    for (std::size_t appended = 0; !done_ && appended < max_rows;) {
      if (Check(SQLFetch(statement_.Get()), statement_, sql_) == SQL_NO_DATA) {
        Close();
        break;
      }
      dac::Row row;
      row.reserve(plans_.size());
      for (std::size_t c = 0; c < plans_.size(); ++c) row.push_back(ReadValue(c));
      rows.push_back(std::move(row));
      ++appended;
    }
  }

  // One cell with SQLGetData; texts and binaries chunk by chunk.
  dac::Value ReadValue(std::size_t c) {
    const ColumnPlan& plan = plans_[c];
    const SQLSMALLINT c_type = CTypeOf(plan.read_as);
    const auto column = static_cast<SQLUSMALLINT>(c + 1);
    const bool variable =
        plan.read_as == ReadAs::kText || plan.read_as == ReadAs::kDecimalText || plan.read_as == ReadAs::kBytes;
    if (!variable) {
      unsigned char cell[sizeof(SQL_TIMESTAMP_STRUCT) + sizeof(std::int64_t)] = {};
      SQLLEN length = 0;
      Check(SQLGetData(statement_.Get(), column, c_type, cell, sizeof cell, &length), statement_, sql_);
      if (length == SQL_NULL_DATA) return {};
      return ToValue(plan, cell, plan.buffer_bytes);
    }
    const std::size_t terminator = TerminatorBytes(plan.read_as);
    std::vector<unsigned char> chunk(kChunkBytes);
    std::vector<unsigned char> whole;
    for (;;) {
      SQLLEN length = 0;
      const SQLRETURN rc = Check(SQLGetData(statement_.Get(), column, c_type, chunk.data(),
                                            static_cast<SQLLEN>(chunk.size()), &length),
                                 statement_, sql_);
      if (rc == SQL_NO_DATA) break;
      if (length == SQL_NULL_DATA) return {};
      // SQL_SUCCESS_WITH_INFO (01004): the chunk is full and more follows.
      const bool more = length == SQL_NO_TOTAL || static_cast<std::size_t>(length) > chunk.size() - terminator;
      const std::size_t got = more ? chunk.size() - terminator : static_cast<std::size_t>(length);
      whole.insert(whole.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
      if (!more) break;
    }
    return ToValue(plan, whole.data(), whole.size());
  }

  void Close() {
    done_ = true;
    Check(SQLFreeStmt(statement_.Get(), SQL_CLOSE), statement_, sql_);
  }

  std::shared_ptr<ServerLink> link_;  // first in, last out: the handles below live in it
  Handle statement_;
  std::vector<ParameterColumn> params_;
  std::string sql_;
  std::vector<ColumnPlan> plans_;
  std::vector<dac::Column> columns_;
  bool blocks_ = true;
  bool done_ = false;

  std::size_t capacity_ = 0;    // rows the arrays hold; 0 until first bound
  std::size_t array_size_ = 1;  // SQL_ATTR_ROW_ARRAY_SIZE as last set
  std::vector<std::vector<unsigned char>> buffers_;
  std::vector<std::vector<SQLLEN>> lengths_;
  std::vector<SQLUSMALLINT> row_status_;
  SQLULEN rows_fetched_ = 0;
};

}  // namespace

std::unique_ptr<dac::Cursor> OpenCursor(std::shared_ptr<ServerLink> link, Handle statement,
                                        std::vector<ParameterColumn> params, dac::ServerKind kind, std::string sql) {
  return std::make_unique<OdbcCursor>(std::move(link), std::move(statement), std::move(params), kind,
                                      std::move(sql));
}

}  // namespace odbc
