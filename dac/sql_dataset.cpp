#include "dac/sql_dataset.h"

#include <cctype>

#include "platform/text.h"

namespace dac {
namespace {

bool IsBlobType(FieldType type) {
  switch (type) {
    case FieldType::ftBlob:
    case FieldType::ftMemo:
    case FieldType::ftWideMemo:
    case FieldType::ftBytes:
    case FieldType::ftVarBytes:
      return true;
    default:
      return false;
  }
}

// CHAR and NCHAR columns: the server pads their values with blanks.
bool IsFixedChar(const Column& c) {
  if (c.type == FieldType::ftFixedChar) return true;
  const std::string t = platform::CaseFold(platform::Trim(c.declared_type));
  for (const char* prefix : {"char", "nchar"}) {
    const std::string_view p(prefix);
    if (t.starts_with(p) && (t.size() == p.size() || t[p.size()] == '(' || t[p.size()] == ' ')) return true;
  }
  return false;
}

bool IsVarChar(const Column& c) { return c.type == FieldType::ftString || c.type == FieldType::ftWideString; }

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

std::string ColumnName(const Field& f) { return f.Def() ? f.Def()->name : f.FieldName; }

}  // namespace

SqlDataSet::SqlDataSet(bool fetch_all) : fetch_all_(fetch_all) {
  SQL.SetOnChange([this] { SqlChanged(); });
}

SqlDataSet::~SqlDataSet() {
  CloseQuietly();
  if (connection_) connection_->RemoveClient(this);
}

void SqlDataSet::SqlChanged() {
  if (Active()) Close();
  if (ParamCheck) params_.Rebuild(MarkParameters(SQL.Text()).names);
}

TextLines& SqlDataSet::SQLText(StatementType kind) {
  switch (kind) {
    case StatementType::stInsert:
      return SQLInsert;
    case StatementType::stUpdate:
      return SQLUpdate;
    case StatementType::stDelete:
      return SQLDelete;
    case StatementType::stRefresh:
      return SQLRefresh;
    case StatementType::stLock:
      return SQLLock;
    case StatementType::stQuery:
      return SQL;
    case StatementType::stBatchUpdate:
      break;
  }
  throw UsageError("There is no statement text for batch updates");
}

void SqlDataSet::SetFetchRows(int rows) {
  if (rows < 1) throw UsageError("FetchRows must be at least 1");
  fetch_rows_ = rows;
}

void SqlDataSet::SetConnectionObject(DAConnection* connection) {
  if (connection == connection_) return;
  if (Active()) Close();
  if (connection_) connection_->RemoveClient(this);
  connection_ = connection;
  if (connection_) connection_->AddClient(this);
}

void SqlDataSet::ConnectionClosing() { Close(); }

void SqlDataSet::ConnectionGone() noexcept {
  CloseQuietly();
  connection_ = nullptr;
}

dac::Connection& SqlDataSet::ServerConnection() const {
  if (!connection_) throw DatabaseError("Dataset '" + Name() + "' has no connection");
  return connection_->Handle();
}

std::string SqlDataSet::UpdateTableName() const {
  std::string table = UpdatingTable.empty() ? TableFromSelect(SQL.Text()) : UpdatingTable;
  if (table.empty()) throw DatabaseError("Dataset '" + Name() + "' names no table to write to");
  return table;
}

Value SqlDataSet::MarkerValue(const std::string& name) const {
  if (const Field* f = FindField(name); f && f->Kind() == FieldKind::fkData) return f->Value();
  if (name.size() > 4 && platform::SameText(std::string_view(name).substr(0, 4), "OLD_")) {
    if (const Field* f = FindField(std::string_view(name).substr(4)); f && f->Kind() == FieldKind::fkData) {
      return f->OldValue();
    }
  }
  if (const Param* p = params_.FindParam(name)) return p->value;
  throw DatabaseError("Parameter '" + name + "' of dataset '" + Name() + "' has no value");
}

MarkedStatement SqlDataSet::Marked(const std::string& text, std::vector<Value>& values) const {
  MarkedStatement marked = ParamCheck ? MarkParameters(text) : MarkedStatement{text, {}};
  values.clear();
  for (const auto& name : marked.names) {
    const Param* p = params_.FindParam(name);
    values.push_back(p ? p->value : Value());
  }
  return marked;
}

void SqlDataSet::InternalOpen() {
  dac::Connection& connection = ServerConnection();
  std::vector<Value> values;
  const MarkedStatement marked = Marked(SQL.Text(), values);
  // The count goes first: a server without several active results per
  // connection (SQL Server without MARS) refuses a second statement while a
  // result is being read.
  server_count_ = BaseOptions().QueryRecCount ? connection.CountRows(marked.sql, values) : -1;
  cursor_ = connection.Query(marked.sql, values);
  SetFieldDefs(cursor_->Columns());
  trimmed_columns_.clear();
  for (std::size_t i = 0; i < FieldDefs().size(); ++i) {
    const Column& c = FieldDefs()[i];
    if ((BaseOptions().TrimFixedChar && IsFixedChar(c)) || (BaseOptions().TrimVarChar && !IsFixedChar(c) && IsVarChar(c))) {
      trimmed_columns_.push_back(i);
    }
  }
}

void SqlDataSet::InternalClose() {
  cursor_.reset();
  server_count_ = -1;
}

void SqlDataSet::InitFieldDefs() {
  if (Active()) return;
  std::vector<Value> values;
  const MarkedStatement marked = Marked(SQL.Text(), values);
  const auto cursor = ServerConnection().Query(marked.sql, values);
  SetFieldDefs(cursor->Columns());
}

bool SqlDataSet::FetchBlock(std::vector<Row>& rows) {
  if (!cursor_) return false;
  const std::size_t from = rows.size();
  const bool more = cursor_->Fetch(rows, static_cast<std::size_t>(fetch_rows_));
  TrimRows(rows, from);
  // A finished result frees its statement at once, so that the connection
  // can take the next one.
  if (!more) cursor_.reset();
  return more;
}

void SqlDataSet::TrimRows(std::vector<Row>& rows, std::size_t from) const {
  for (std::size_t r = from; r < rows.size(); ++r) {
    for (const std::size_t c : trimmed_columns_) {
      if (c >= rows[r].size() || rows[r][c].Kind() != ValueKind::kText) continue;
      if (!rows[r][c].AsText().ends_with(' ')) continue;  // nothing to trim: no copy
      std::string text = rows[r][c].AsText();
      const auto end = text.find_last_not_of(' ');
      text.erase(end == std::string::npos ? 0 : end + 1);
      rows[r][c] = Value(std::move(text));
    }
  }
}

std::int64_t SqlDataSet::RecordCount() const {
  if (!Active()) return 0;
  if (server_count_ >= 0) return server_count_ + LocalDelta();
  return DataSet::RecordCount();
}

bool SqlDataSet::RequiredByDef(const Column& def) const {
  return BaseOptions().RequiredFields && !def.nullable && !def.identity;
}

void SqlDataSet::Execute() {
  dac::Connection& connection = ServerConnection();
  std::vector<Value> values;
  const MarkedStatement marked = Marked(SQL.Text(), values);
  rows_affected_ = connection.Execute(marked.sql, values);
  if (AfterExecute) AfterExecute(*this, true);
}

// --- writing

void SqlDataSet::DoBeforeUpdateExecute(StatementTypes kinds, dac::Params& params) {
  if (BeforeUpdateExecute) BeforeUpdateExecute(*this, kinds, params);
}

void SqlDataSet::DoAfterUpdateExecute(StatementTypes kinds, dac::Params& params) {
  if (AfterUpdateExecute) AfterUpdateExecute(*this, kinds, params);
}

bool SqlDataSet::BatchInserts() const { return SQLInsert.Empty() && !BeforeUpdateExecute && !AfterUpdateExecute; }

dac::Connection::InsertResult SqlDataSet::InsertBatch(const std::vector<Field*>& fields, const std::vector<Row>& rows,
                                                      std::size_t first) {
  std::vector<std::string> columns;
  for (const Field* f : fields) columns.push_back(QuoteColumnName(ColumnName(*f)));
  return ServerConnection().InsertRows(QuoteTableName(UpdateTableName()), columns, rows, first);
}

bool SqlDataSet::PerformSQL(StatementTypes kinds) {
  const auto kind = kinds.First();
  if (!kind) return false;
  switch (*kind) {
    case StatementType::stInsert:
      return SQLInsert.Empty() ? InsertRecord(kinds) : RunText(*kind, kinds, SQLInsert);
    case StatementType::stUpdate:
      return SQLUpdate.Empty() ? UpdateRecord(kinds) : RunText(*kind, kinds, SQLUpdate);
    case StatementType::stDelete:
      return SQLDelete.Empty() ? DeleteRecord(kinds) : RunText(*kind, kinds, SQLDelete);
    case StatementType::stRefresh:
      return RefreshFromServer(kinds);
    case StatementType::stLock:
      return SQLLock.Empty() ? false : RunText(*kind, kinds, SQLLock);
    case StatementType::stQuery:
    case StatementType::stBatchUpdate:
      break;
  }
  return false;
}

bool SqlDataSet::RunText(StatementType kind, StatementTypes kinds, const TextLines& text) {
  const MarkedStatement marked = ParamCheck ? MarkParameters(text.Text()) : MarkedStatement{text.Text(), {}};
  dac::Params params;
  for (const auto& name : marked.names) params.Add(name, MarkerValue(name));
  DoBeforeUpdateExecute(kinds, params);
  std::vector<Value> values;
  for (const auto& name : marked.names) values.push_back(params.ParamByName(name).value);
  const std::int64_t rows = ServerConnection().Execute(marked.sql, values);
  CheckRowsAffected(kind, rows);
  DoAfterUpdateExecute(kinds, params);
  return true;
}

bool SqlDataSet::InsertRecord(StatementTypes kinds) {
  const auto* record = ActiveRecord();
  if (!record) return false;
  const std::vector<Field*> fields = AssignedDataFields(*record);
  dac::Params params;
  for (const Field* f : fields) params.Add(ColumnName(*f), f->Value());
  DoBeforeUpdateExecute(kinds, params);
  Row row;
  for (const Field* f : fields) row.push_back(params.ParamByName(ColumnName(*f)).value);
  auto result = InsertBatch(fields, {row}, 0);
  if (result.error) throw *result.error;
  DoAfterUpdateExecute(kinds, params);
  return true;
}

std::string SqlDataSet::WhereKey(std::vector<Value>& values) {
  KeyAndDataFields fields;
  GetKeyAndDataFields(fields);
  std::vector<Field*> keys = fields.key_fields;
  if (keys.empty()) {
    for (Field* f : fields.data_fields) {
      if (!IsBlobType(f->DataType())) keys.push_back(f);
    }
  }
  if (keys.empty()) throw DatabaseError("Dataset '" + Name() + "' has no column to find its record by");
  std::vector<std::string> terms;
  for (const Field* f : keys) {
    Value old = f->OldValue();
    if (old.IsNull()) {
      terms.push_back(QuoteColumnName(ColumnName(*f)) + " is null");
    } else {
      terms.push_back(QuoteColumnName(ColumnName(*f)) + " = ?");
      values.push_back(std::move(old));
    }
  }
  return Join(terms, " and ");
}

bool SqlDataSet::UpdateRecord(StatementTypes kinds) {
  KeyAndDataFields fields;
  GetKeyAndDataFields(fields);
  dac::Params params;
  std::vector<const Field*> changed;
  for (const Field* f : fields.data_fields) {
    if (f->IsIdentity()) continue;
    if (BaseOptions().UpdateAllFields || !(f->Value() == f->OldValue())) {
      changed.push_back(f);
      params.Add(ColumnName(*f), f->Value());
    }
  }
  if (changed.empty()) return false;
  DoBeforeUpdateExecute(kinds, params);
  std::vector<std::string> sets;
  std::vector<Value> values;
  for (const Field* f : changed) {
    sets.push_back(QuoteColumnName(ColumnName(*f)) + " = ?");
    values.push_back(params.ParamByName(ColumnName(*f)).value);
  }
  const std::string where = WhereKey(values);
  const std::string sql = "update " + QuoteTableName(UpdateTableName()) + " set " + Join(sets, ", ") + " where " + where;
  CheckRowsAffected(StatementType::stUpdate, ServerConnection().Execute(sql, values));
  DoAfterUpdateExecute(kinds, params);
  return true;
}

bool SqlDataSet::DeleteRecord(StatementTypes kinds) {
  dac::Params params;
  DoBeforeUpdateExecute(kinds, params);
  std::vector<Value> values;
  const std::string where = WhereKey(values);
  const std::string sql = "delete from " + QuoteTableName(UpdateTableName()) + " where " + where;
  CheckRowsAffected(StatementType::stDelete, ServerConnection().Execute(sql, values));
  DoAfterUpdateExecute(kinds, params);
  return true;
}

bool SqlDataSet::RefreshFromServer(StatementTypes kinds) {
  Record* record = MutableActiveRecord();
  if (!record) return false;
  std::string sql;
  std::vector<Value> values;
  dac::Params params;
  if (!SQLRefresh.Empty()) {
    const MarkedStatement marked = ParamCheck ? MarkParameters(SQLRefresh.Text()) : MarkedStatement{SQLRefresh.Text(), {}};
    for (const auto& name : marked.names) values.push_back(MarkerValue(name));
    sql = marked.sql;
  } else {
    const std::string where = WhereKey(values);
    sql = "select * from " + QuoteTableName(UpdateTableName()) + " where " + where;
  }
  DoBeforeUpdateExecute(kinds, params);
  const auto cursor = ServerConnection().Query(sql, values);
  std::vector<Row> rows;
  while (rows.empty() && cursor->Fetch(rows, 1)) {
  }
  if (rows.empty()) throw DatabaseError("Refresh failed. Found 0 records");
  const auto& columns = cursor->Columns();
  const auto& defs = FieldDefs();
  for (std::size_t c = 0; c < columns.size() && c < rows.front().size(); ++c) {
    for (std::size_t d = 0; d < defs.size(); ++d) {
      if (platform::SameText(defs[d].name, columns[c].name)) record->values[d] = rows.front()[c];
    }
  }
  std::vector<Row> refreshed{record->values};
  TrimRows(refreshed, 0);
  record->values = std::move(refreshed.front());
  DoAfterUpdateExecute(kinds, params);
  return true;
}

void SqlDataSet::CheckRowsAffected(StatementType kind, std::int64_t rows) const {
  if (!BaseOptions().StrictUpdate || rows < 0 || rows == 1) return;
  if (kind == StatementType::stUpdate) {
    throw DatabaseError("Update failed. Found " + std::to_string(rows) + " records");
  }
  if (kind == StatementType::stDelete) {
    throw DatabaseError("Delete failed. Found " + std::to_string(rows) + " records");
  }
}

}  // namespace dac
