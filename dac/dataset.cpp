#include "dac/dataset.h"

#include <algorithm>

#include "platform/abort.h"
#include "platform/memory_stream.h"
#include "platform/scope_guard.h"
#include "platform/text.h"

namespace dac {
namespace {

const Value kNull;

bool IsEditing(DataSetState state) { return state == DataSetState::dsEdit || state == DataSetState::dsInsert; }

std::string DisplayName(const Field& field) { return field.DisplayLabel.empty() ? field.FieldName : field.DisplayLabel; }

std::vector<std::string> SplitNames(std::string_view names) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= names.size()) {
    auto end = names.find(';', start);
    if (end == std::string_view::npos) end = names.size();
    std::string name = platform::Trim(names.substr(start, end - start));
    if (!name.empty()) out.push_back(std::move(name));
    start = end + 1;
  }
  return out;
}

bool IsTextType(FieldType type) {
  switch (type) {
    case FieldType::ftString:
    case FieldType::ftWideString:
    case FieldType::ftFixedChar:
    case FieldType::ftMemo:
    case FieldType::ftWideMemo:
      return true;
    default:
      return false;
  }
}

// A blob field's value as a stream. Writes go through to the field at once, so
// that nothing is lost when the stream is dropped and nothing can fail in its
// destructor.
class FieldBlobStream : public platform::MemoryStream {
 public:
  FieldBlobStream(Field& field, std::vector<std::uint8_t> bytes, bool writable)
      : platform::MemoryStream(std::move(bytes)), field_(field), writable_(writable) {}

  std::size_t Write(const void* buffer, std::size_t count) override {
    CheckWritable();
    const auto n = platform::MemoryStream::Write(buffer, count);
    Store();
    return n;
  }
  void SetSize(std::int64_t size) override {
    CheckWritable();
    platform::MemoryStream::SetSize(size);
    Store();
  }
  void Store() {
    const auto bytes = Bytes();
    if (IsTextType(field_.DataType())) {
      field_.SetValue(Value(std::string(bytes.begin(), bytes.end())));
    } else {
      field_.SetValue(Value(dac::Bytes(bytes.begin(), bytes.end())));
    }
  }

 private:
  void CheckWritable() const {
    if (!writable_) throw UsageError("The blob stream of field '" + field_.FieldName + "' is open for reading");
  }
  Field& field_;
  bool writable_;
};

}  // namespace

StatementTypes::StatementTypes(std::initializer_list<StatementType> kinds) {
  for (const auto kind : kinds) Include(kind);
}

std::optional<StatementType> StatementTypes::First() const {
  for (unsigned i = 0; i <= static_cast<unsigned>(StatementType::stBatchUpdate); ++i) {
    if (bits_ & (1u << i)) return static_cast<StatementType>(i);
  }
  return std::nullopt;
}

DataSet::DataSet() = default;

// Derived classes have closed their result by now (CloseQuietly); what is left
// is memory.
DataSet::~DataSet() = default;

void DataSet::CloseQuietly() noexcept {
  try {
    if (Active()) CloseCursor(false);
  } catch (...) {
    // Closing a result that the server already dropped; nothing to report to.
  }
}

// --- opening and closing

void DataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    OpenCursor();
  } else {
    CloseCursor(true);
  }
}

void DataSet::OpenCursor() {
  DoBeforeOpen();
  try {
    InternalOpen();
    BindFields();
    records_.clear();
    deleted_.clear();
    current_ = -1;
    dropped_ = fetched_ = local_delta_ = 0;
    more_ = true;
    state_ = DataSetState::dsBrowse;
    if (FetchAllOnOpen()) {
      FetchAllRows();
    } else {
      FetchNext();
    }
    bof_ = true;
    eof_ = records_.empty();
    if (!records_.empty()) {
      current_ = 0;
      CalculateFields(records_.front());
    }
  } catch (...) {
    state_ = DataSetState::dsInactive;
    records_.clear();
    try {
      InternalClose();
    } catch (...) {
      // The open's own error is the one to report.
    }
    DestroyDefaultFields();
    throw;
  }
  DoAfterOpen();
  DoAfterScroll();
}

void DataSet::CloseCursor(bool fire_events) {
  if (fire_events) DoBeforeClose();
  state_ = DataSetState::dsInactive;
  edit_ = Record{};
  records_.clear();
  deleted_.clear();
  current_ = -1;
  eof_ = bof_ = true;
  std::exception_ptr failure;
  try {
    InternalClose();
  } catch (...) {
    failure = std::current_exception();
  }
  DestroyDefaultFields();
  if (failure) std::rethrow_exception(failure);
  if (fire_events) DoAfterClose();
}

// --- fields

void DataSet::FieldIndexOutOfRange(int index) const {
  throw UsageError("Field index " + std::to_string(index) + " out of range in dataset '" + name_ + "'");
}

Field* DataSet::FindField(std::string_view name) const {
  for (const auto& f : fields_) {
    if (platform::SameText(f->FieldName, name)) return f.get();
  }
  return nullptr;
}

Field& DataSet::FieldByName(std::string_view name) const {
  if (Field* f = FindField(name)) return *f;
  throw DatabaseError("Field '" + std::string(name) + "' not found");
}

Field& DataSet::AddField(std::string name, FieldType type, int size, FieldKind kind) {
  if (Active()) throw UsageError("Cannot add field '" + name + "' to an open dataset");
  if (FindField(name)) throw UsageError("Duplicate field name '" + name + "'");
  fields_.push_back(std::unique_ptr<Field>(new Field(*this, std::move(name), type, size, kind)));
  return *fields_.back();
}

void DataSet::RemoveField(Field& field) {
  if (Active()) throw UsageError("Cannot remove field '" + field.FieldName + "' from an open dataset");
  std::erase_if(fields_, [&](const auto& f) { return f.get() == &field; });
}

Field& DataSet::CreateFieldFromDef(const Column& def) {
  std::string name = def.name;
  // Two result columns of one name ("a.x, b.x") get fields of their own.
  for (int n = 1; FindField(name); ++n) name = def.name + "_" + std::to_string(n);
  auto field = std::unique_ptr<Field>(new Field(*this, std::move(name), def.type, def.size, FieldKind::fkData));
  field->precision_ = def.precision;
  field->scale_ = def.scale;
  field->Required = RequiredByDef(def);
  field->Origin = def.name;
  fields_.push_back(std::move(field));
  return *fields_.back();
}

void DataSet::CreateFields() {
  for (std::size_t i = 0; i < field_defs_.size(); ++i) {
    Field& f = CreateFieldFromDef(field_defs_[i]);
    f.default_ = true;
    f.column_ = static_cast<int>(i);
  }
}

void DataSet::BindFields() {
  const bool has_data_fields =
      std::any_of(fields_.begin(), fields_.end(), [](const auto& f) { return f->kind_ == FieldKind::fkData; });
  if (!has_data_fields) CreateFields();
  calculated_count_ = 0;
  for (auto& f : fields_) {
    if (f->kind_ != FieldKind::fkData) {
      f->slot_ = calculated_count_++;
      continue;
    }
    if (f->column_ >= 0) continue;
    for (std::size_t i = 0; i < field_defs_.size(); ++i) {
      const std::string& column_name = f->Origin.empty() ? f->FieldName : f->Origin;
      if (platform::SameText(field_defs_[i].name, column_name) || platform::SameText(field_defs_[i].name, f->FieldName)) {
        f->column_ = static_cast<int>(i);
        break;
      }
    }
    if (f->column_ < 0) {
      DestroyDefaultFields();
      throw DatabaseError("Field '" + f->FieldName + "' not found");
    }
  }
}

void DataSet::DestroyDefaultFields() {
  std::erase_if(fields_, [](const auto& f) { return f->default_; });
  for (auto& f : fields_) f->column_ = -1;
}

// --- fetching and the cursor

bool DataSet::FetchBlock(std::vector<Row>&) { return false; }

bool DataSet::FetchNext() {
  std::vector<Row> rows;
  while (more_ && rows.empty()) more_ = FetchBlock(rows);
  for (auto& row : rows) {
    Record record;
    record.values = std::move(row);
    record.values.resize(field_defs_.size());
    record.calculated.resize(calculated_count_);
    records_.push_back(std::move(record));
  }
  fetched_ += static_cast<std::int64_t>(rows.size());
  return !rows.empty();
}

void DataSet::FetchAllRows() {
  while (more_) {
    if (uni_directional_ && current_ > 0) {
      // Only the records behind the cursor that carry no unsent change go.
      std::deque<Record> kept;
      for (std::ptrdiff_t i = 0; i < current_; ++i) {
        if (records_[i].status != UpdateStatus::usUnmodified) kept.push_back(std::move(records_[i]));
      }
      dropped_ += current_ - static_cast<std::ptrdiff_t>(kept.size());
      records_.erase(records_.begin(), records_.begin() + current_);
      const auto kept_count = static_cast<std::ptrdiff_t>(kept.size());
      records_.insert(records_.begin(), std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
      current_ = kept_count;
    }
    const auto before = static_cast<std::ptrdiff_t>(records_.size());
    if (!FetchNext()) break;
    if (uni_directional_) current_ = std::max(current_, before - 1);
  }
}

void DataSet::CheckActive() const {
  if (!Active()) throw UsageError("Cannot perform this operation on a closed dataset '" + name_ + "'");
}

void DataSet::CheckModify() const {
  if (read_only_) throw UsageError("Cannot modify a read-only dataset '" + name_ + "'");
}

void DataSet::First() {
  CheckActive();
  CheckBrowseMode();
  if (uni_directional_ && (dropped_ > 0 || current_ > 0)) {
    throw UsageError("Operation not allowed on a unidirectional dataset");
  }
  DoBeforeScroll();
  current_ = records_.empty() ? -1 : 0;
  bof_ = true;
  eof_ = records_.empty();
  if (current_ >= 0) CalculateFields(records_[current_]);
  DoAfterScroll();
}

void DataSet::Next() {
  CheckActive();
  CheckBrowseMode();
  DoBeforeScroll();
  if (current_ + 1 >= static_cast<std::ptrdiff_t>(records_.size()) && more_) {
    if (uni_directional_) {
      // Keep the current record until the next block is known to exist, so
      // that at the end the cursor still stands on the last record.
      const auto keep_from = std::max<std::ptrdiff_t>(current_, 0);
      std::deque<Record> kept;
      for (std::ptrdiff_t i = 0; i < keep_from; ++i) {
        if (records_[i].status != UpdateStatus::usUnmodified) kept.push_back(std::move(records_[i]));
      }
      dropped_ += keep_from - static_cast<std::ptrdiff_t>(kept.size());
      records_.erase(records_.begin(), records_.begin() + keep_from);
      current_ -= keep_from - static_cast<std::ptrdiff_t>(kept.size());
      records_.insert(records_.begin(), std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    }
    FetchNext();
  }
  if (current_ + 1 < static_cast<std::ptrdiff_t>(records_.size())) {
    ++current_;
    eof_ = false;
    CalculateFields(records_[current_]);
  } else {
    eof_ = true;
  }
  bof_ = false;
  DoAfterScroll();
}

void DataSet::Prior() {
  CheckActive();
  if (uni_directional_) throw UsageError("Operation not allowed on a unidirectional dataset");
  CheckBrowseMode();
  DoBeforeScroll();
  if (current_ > 0) {
    --current_;
    bof_ = false;
    CalculateFields(records_[current_]);
  } else {
    bof_ = true;
  }
  eof_ = records_.empty();
  DoAfterScroll();
}

void DataSet::Last() {
  CheckActive();
  CheckBrowseMode();
  DoBeforeScroll();
  FetchAllRows();
  current_ = static_cast<std::ptrdiff_t>(records_.size()) - 1;
  eof_ = true;
  bof_ = records_.empty();
  if (current_ >= 0) CalculateFields(records_[current_]);
  DoAfterScroll();
}

std::int64_t DataSet::RecordCount() const {
  if (!Active()) return 0;
  return fetched_ + local_delta_;
}

std::int64_t DataSet::RecNo() const {
  if (!Active() || current_ < 0) return 0;
  return dropped_ + current_ + 1;
}

UpdateStatus DataSet::GetUpdateStatus() const {
  const Record* record = ActiveRecord();
  return record ? record->status : UpdateStatus::usUnmodified;
}

const DataSet::Record* DataSet::SpecialActiveRecord() const {
  if (calculating_) return calculating_;
  if (applying_) return applying_;
  if (IsEditing(state_)) return &edit_;
  if (state_ == DataSetState::dsInactive || current_ < 0 || current_ >= static_cast<std::ptrdiff_t>(records_.size())) {
    return nullptr;
  }
  return &records_[current_];
}

const Row* DataSet::OldRow() const {
  const Record* record = ActiveRecord();
  if (!record || record->status == UpdateStatus::usInserted) return nullptr;
  if (record == &edit_ && state_ == DataSetState::dsInsert) return nullptr;
  return record->original ? &*record->original : &record->values;
}

Value DataSet::Lookup(std::string_view key_fields, const std::vector<Value>& key_values,
                      std::string_view result_field) {
  CheckActive();
  if (uni_directional_) throw UsageError("Operation not allowed on a unidirectional dataset");
  std::vector<Field*> keys;
  for (const auto& name : SplitNames(key_fields)) keys.push_back(&FieldByName(name));
  if (keys.size() != key_values.size()) throw UsageError("Lookup needs one value per key field");
  Field& result = FieldByName(result_field);
  FetchAllRows();
  std::vector<Value> wanted;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    wanted.push_back(ConvertForField(keys[i]->DataType(), key_values[i], keys[i]->FieldName));
  }
  for (auto& record : records_) {
    bool match = true;
    for (std::size_t i = 0; i < keys.size() && match; ++i) {
      const int c = keys[i]->column_;
      match = c >= 0 && !wanted[i].IsNull() &&
              ConvertForField(keys[i]->DataType(), record.values[c], keys[i]->FieldName) == wanted[i];
    }
    if (!match) continue;
    if (result.kind_ == FieldKind::fkData) return result.column_ >= 0 ? record.values[result.column_] : Value();
    CalculateFields(record);
    return result.slot_ >= 0 ? record.calculated[result.slot_] : Value();
  }
  return Value();
}

void DataSet::CalculateFields(Record& record) {
  if (calculated_count_ == 0 || calculating_) return;
  record.calculated.assign(calculated_count_, Value());
  const auto saved_state = state_;
  calculating_ = &record;
  state_ = DataSetState::dsCalcFields;
  struct Restore {
    DataSet* ds;
    DataSetState state;
    ~Restore() {
      ds->calculating_ = nullptr;
      ds->state_ = state;
    }
  } restore{this, saved_state};
  for (auto& f : fields_) {
    if (f->kind_ != FieldKind::fkLookup || !f->LookupDataSet || !f->LookupDataSet->Active()) continue;
    std::vector<Value> keys;
    for (const auto& name : SplitNames(f->KeyFields)) keys.push_back(FieldByName(name).Value());
    record.calculated[f->slot_] = f->LookupDataSet->Lookup(f->LookupKeyFields, keys, f->LookupResultField);
  }
  Fire(OnCalcFields);
}

// --- changing records

void DataSet::SetUniDirectional(bool value) {
  if (Active()) throw UsageError("Cannot change UniDirectional of an open dataset");
  uni_directional_ = value;
}

void DataSet::StoreFieldValue(Field& field, Value value) {
  const bool data = field.kind_ == FieldKind::fkData;
  Record* target = nullptr;
  if (calculating_ && !data) {
    target = calculating_;
  } else if (IsEditing(state_) && !calculating_) {
    target = &edit_;
  } else {
    throw UsageError("Dataset '" + name_ + "' not in edit or insert mode (field '" + field.FieldName + "')");
  }
  if (data && field.ReadOnly) throw DatabaseError("Field '" + DisplayName(field) + "' cannot be modified");
  if (field.OnValidate) {
    field.validating_ = &value;
    struct Reset {
      Field& f;
      ~Reset() { f.validating_ = nullptr; }
    } reset{field};
    field.OnValidate(field);
  }
  if (data) {
    if (field.column_ < 0) throw DatabaseError("Field '" + field.FieldName + "' is not bound to a column");
    target->values[field.column_] = std::move(value);
    target->assigned[field.column_] = 1;
    if (AutoCalcFields && calculated_count_ > 0) CalculateFields(*target);
  } else {
    target->calculated[field.slot_] = std::move(value);
  }
  if (field.OnChange) field.OnChange(field);
}

void DataSet::Insert() {
  CheckActive();
  CheckModify();
  CheckBrowseMode();
  DoBeforeInsert();
  DoBeforeScroll();
  edit_ = Record{};
  edit_.values.assign(field_defs_.size(), Value());
  edit_.assigned.assign(field_defs_.size(), 0);
  edit_.calculated.assign(calculated_count_, Value());
  edit_.status = UpdateStatus::usInserted;
  insert_at_ = std::max<std::ptrdiff_t>(current_, 0);
  state_ = DataSetState::dsInsert;
  eof_ = bof_ = false;
  try {
    DoOnNewRecord();
    CalculateFields(edit_);
  } catch (...) {
    state_ = DataSetState::dsBrowse;
    edit_ = Record{};
    eof_ = bof_ = records_.empty();
    throw;
  }
  DoAfterInsert();
  DoAfterScroll();
}

void DataSet::Append() {
  CheckActive();
  CheckBrowseMode();
  if (!uni_directional_) FetchAllRows();
  Insert();
  insert_at_ = static_cast<std::ptrdiff_t>(records_.size());
}

void DataSet::Edit() {
  CheckActive();
  if (IsEditing(state_)) return;
  CheckModify();
  if (records_.empty()) {
    Insert();
    return;
  }
  DoBeforeEdit();
  CheckOperation([this] { InternalEdit(); }, OnEditError);
  edit_ = records_[current_];
  if (edit_.status != UpdateStatus::usInserted) {
    if (!edit_.original) edit_.original = edit_.values;
    edit_.assigned.assign(field_defs_.size(), 0);
  }
  state_ = DataSetState::dsEdit;
  DoAfterEdit();
}

void DataSet::CheckRequiredFields() {
  for (const auto& f : fields_) {
    if (f->kind_ == FieldKind::fkData && f->Required && !f->ReadOnly && f->IsNull()) {
      throw DatabaseError("Field '" + DisplayName(*f) + "' must have a value");
    }
  }
}

void DataSet::InternalPost() {
  CheckRequiredFields();
  const bool inserting = state_ == DataSetState::dsInsert;
  Record record;
  if (cached_updates_) {
    // Nothing can fail after this point but memory; the copy is not needed.
    record = std::move(edit_);
    if (!inserting && record.status == UpdateStatus::usUnmodified) record.status = UpdateStatus::usModified;
    if (record.sequence == 0) record.sequence = next_sequence_++;
  } else {
    PerformSQL(inserting ? StatementTypes{StatementType::stInsert} : StatementTypes{StatementType::stUpdate});
    record = edit_;
    record.status = UpdateStatus::usUnmodified;
    record.original.reset();
    record.assigned.assign(field_defs_.size(), 0);
  }
  if (inserting) {
    const auto at = std::min<std::ptrdiff_t>(insert_at_, static_cast<std::ptrdiff_t>(records_.size()));
    records_.insert(records_.begin() + at, std::move(record));
    current_ = at;
    ++local_delta_;
  } else {
    records_[current_] = std::move(record);
  }
}

void DataSet::Post() {
  CheckActive();
  if (!IsEditing(state_)) return;
  DoBeforePost();
  CheckOperation([this] { InternalPost(); }, OnPostError);
  state_ = DataSetState::dsBrowse;
  edit_ = Record{};
  eof_ = bof_ = false;
  if (current_ >= 0) CalculateFields(records_[current_]);
  DoAfterPost();
}

void DataSet::Cancel() {
  if (!IsEditing(state_)) return;
  DoBeforeCancel();
  state_ = DataSetState::dsBrowse;
  edit_ = Record{};
  eof_ = bof_ = records_.empty();
  DoAfterCancel();
}

void DataSet::CheckBrowseMode() {
  if (!IsEditing(state_)) return;
  const bool modified = std::find(edit_.assigned.begin(), edit_.assigned.end(), 1) != edit_.assigned.end();
  if (modified) {
    Post();
  } else {
    Cancel();
  }
}

void DataSet::InternalDelete() {
  Record& record = records_[current_];
  if (cached_updates_) {
    if (record.status != UpdateStatus::usInserted) {
      Record gone = record;
      if (!gone.original) gone.original = gone.values;
      gone.status = UpdateStatus::usDeleted;
      gone.sequence = next_sequence_++;
      deleted_.push_back(std::move(gone));
    }
  } else {
    PerformSQL({StatementType::stDelete});
  }
  records_.erase(records_.begin() + current_);
  --local_delta_;
}

void DataSet::Delete() {
  CheckActive();
  if (state_ == DataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (records_.empty()) throw DatabaseError("Cannot perform this operation on an empty dataset");
  CheckModify();
  // An edit in progress goes with the record.
  state_ = DataSetState::dsBrowse;
  edit_ = Record{};
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation([this] { InternalDelete(); }, OnDeleteError);
  if (current_ >= static_cast<std::ptrdiff_t>(records_.size())) current_ = static_cast<std::ptrdiff_t>(records_.size()) - 1;
  eof_ = bof_ = records_.empty();
  if (current_ >= 0) CalculateFields(records_[current_]);
  DoAfterDelete();
  DoAfterScroll();
}

void DataSet::RefreshRecord() {
  CheckActive();
  CheckBrowseMode();
  if (records_.empty()) return;
  Fire(BeforeRefresh);
  PerformSQL({StatementType::stRefresh});
  CalculateFields(records_[current_]);
  Fire(AfterRefresh);
}

void DataSet::CheckOperation(const std::function<void()>& operation, const ErrorEvent& handler) {
  // Decides inside the catch block, so that daFail passes the original
  // exception on unchanged.
  auto decide = [&](const std::exception& error) {
    DataAction action = DataAction::daFail;
    if (handler) handler(*this, error, action);
    if (action == DataAction::daFail) throw;
    if (action == DataAction::daAbort) throw platform::EAbort();
  };
  for (;;) {
    try {
      operation();
      return;
    } catch (const DriverError& e) {
      decide(e);
    } catch (const DatabaseError& e) {
      decide(e);
    }
  }
}

// --- the server side of writing

bool DataSet::PerformSQL(StatementTypes) { return false; }

void DataSet::GetKeyAndDataFields(KeyAndDataFields& fields) {
  fields.key_fields.clear();
  fields.data_fields.clear();
  for (const auto& f : fields_) {
    if (f->kind_ != FieldKind::fkData || f->column_ < 0) continue;
    fields.data_fields.push_back(f.get());
    if (f->IsKey() || f->IsIdentity()) fields.key_fields.push_back(f.get());
  }
}

Connection::InsertResult DataSet::InsertBatch(const std::vector<Field*>&, const std::vector<Row>&, std::size_t) {
  throw UsageError("Dataset '" + name_ + "' has no server to write to");
}

// --- cached updates

void DataSet::SetCachedUpdates(bool value) {
  if (value == cached_updates_) return;
  if (UpdatesPending()) throw UsageError("Cannot change CachedUpdates while updates are pending");
  cached_updates_ = value;
}

bool DataSet::UpdatesPending() const {
  if (!deleted_.empty()) return true;
  return std::any_of(records_.begin(), records_.end(),
                     [](const Record& r) { return r.status != UpdateStatus::usUnmodified; });
}

std::vector<Field*> DataSet::AssignedDataFields(const Record& record) const {
  std::vector<Field*> out;
  for (const auto& f : fields_) {
    if (f->kind_ == FieldKind::fkData && f->column_ >= 0 && record.assigned[f->column_]) out.push_back(f.get());
  }
  return out;
}

void DataSet::Settle(Record& record) {
  record.status = UpdateStatus::usUnmodified;
  record.original.reset();
  record.assigned.assign(record.assigned.size(), 0);
  record.sequence = 0;
}

bool DataSet::DecideUpdateError(const std::exception& error, UpdateKind kind, Record& record) {
  UpdateAction action = UpdateAction::uaFail;
  if (OnUpdateError) OnUpdateError(*this, error, kind, action);
  switch (action) {
    case UpdateAction::uaFail:
      throw;
    case UpdateAction::uaAbort:
      throw platform::EAbort();
    case UpdateAction::uaSkip:
      return true;
    case UpdateAction::uaRetry:
      return false;
    case UpdateAction::uaApplied:
      Settle(record);
      return true;
  }
  return true;
}

void DataSet::ApplyRecord(Record& record) {
  const UpdateKind kind = record.status == UpdateStatus::usInserted   ? UpdateKind::ukInsert
                          : record.status == UpdateStatus::usDeleted ? UpdateKind::ukDelete
                                                                     : UpdateKind::ukModify;
  const StatementType statement = kind == UpdateKind::ukInsert   ? StatementType::stInsert
                                  : kind == UpdateKind::ukDelete ? StatementType::stDelete
                                                                 : StatementType::stUpdate;
  applying_ = &record;
  for (;;) {
    try {
      if (OnUpdateRecord) {
        UpdateAction action = UpdateAction::uaFail;
        OnUpdateRecord(*this, kind, action);
        if (action == UpdateAction::uaApplied) return Settle(record);
        if (action == UpdateAction::uaSkip) return;
        if (action == UpdateAction::uaAbort) throw platform::EAbort();
        if (action == UpdateAction::uaRetry) continue;
        throw DatabaseError("The cached record was not applied");
      }
      PerformSQL({statement});
      return Settle(record);
    } catch (const DriverError& e) {
      if (DecideUpdateError(e, kind, record)) return;
    } catch (const DatabaseError& e) {
      if (DecideUpdateError(e, kind, record)) return;
    }
  }
}

void DataSet::ApplyInsertRun(const std::vector<Record*>& run) {
  const std::vector<Field*> fields = AssignedDataFields(*run.front());
  // The values are lent to the batch, not copied, and go back to their
  // records however the run ends.
  std::vector<Row> rows;
  rows.reserve(run.size());
  for (Record* record : run) {
    Row row;
    row.reserve(fields.size());
    for (const Field* f : fields) row.push_back(std::move(record->values[f->column_]));
    rows.push_back(std::move(row));
  }
  platform::ScopeGuard give_back([&]() noexcept {
    for (std::size_t r = 0; r < run.size(); ++r) {
      for (std::size_t k = 0; k < fields.size(); ++k) run[r]->values[fields[k]->column_] = std::move(rows[r][k]);
    }
  });
  std::size_t next = 0;
  while (next < run.size()) {
    applying_ = nullptr;
    auto result = InsertBatch(fields, rows, next);
    for (std::size_t i = 0; i < result.inserted && next + i < run.size(); ++i) Settle(*run[next + i]);
    next += result.inserted;
    if (!result.error || next >= run.size()) break;
    // The error handler reads the refused record's fields; the batch may
    // still send its values again.
    for (std::size_t k = 0; k < fields.size(); ++k) run[next]->values[fields[k]->column_] = rows[next][k];
    applying_ = run[next];
    try {
      throw *result.error;
    } catch (const DriverError& e) {
      if (DecideUpdateError(e, UpdateKind::ukInsert, *run[next])) ++next;
    }
  }
}

void DataSet::ApplyUpdates() {
  CheckActive();
  CheckBrowseMode();
  if (!cached_updates_) throw UsageError("Cached updates are not enabled on dataset '" + name_ + "'");
  std::vector<Record*> pending;
  for (auto& r : records_) {
    if (r.status != UpdateStatus::usUnmodified) pending.push_back(&r);
  }
  for (auto& r : deleted_) pending.push_back(&r);
  std::stable_sort(pending.begin(), pending.end(),
                   [](const Record* a, const Record* b) { return a->sequence < b->sequence; });

  // Whatever happens, a written delete leaves the cache and nothing stays
  // marked as being written.
  platform::ScopeGuard finish([this]() noexcept {
    applying_ = nullptr;
    std::erase_if(deleted_, [](const Record& r) { return r.status != UpdateStatus::usDeleted; });
  });

  std::size_t i = 0;
  while (i < pending.size()) {
    Record* record = pending[i];
    if (record->status == UpdateStatus::usInserted && BatchInserts() && !OnUpdateRecord) {
      std::vector<Record*> run{record};
      while (i + run.size() < pending.size()) {
        Record* next = pending[i + run.size()];
        if (next->status != UpdateStatus::usInserted || next->assigned != record->assigned) break;
        run.push_back(next);
      }
      ApplyInsertRun(run);
      i += run.size();
      continue;
    }
    ApplyRecord(*record);
    ++i;
  }
}

void DataSet::CommitUpdates() {
  for (auto& r : records_) Settle(r);
  deleted_.clear();
}

void DataSet::CancelUpdates() {
  CheckBrowseMode();
  const auto inserted = std::erase_if(records_, [](const Record& r) { return r.status == UpdateStatus::usInserted; });
  local_delta_ -= static_cast<std::int64_t>(inserted);
  for (auto& r : records_) {
    if (r.original) r.values = *r.original;
    Settle(r);
  }
  for (auto& r : deleted_) {
    r.values = *r.original;
    Settle(r);
    records_.push_back(std::move(r));
    ++local_delta_;
  }
  deleted_.clear();
  if (current_ >= static_cast<std::ptrdiff_t>(records_.size())) current_ = static_cast<std::ptrdiff_t>(records_.size()) - 1;
  if (current_ < 0 && !records_.empty()) current_ = 0;
  eof_ = bof_ = records_.empty();
}

// --- blobs

std::unique_ptr<platform::Stream> DataSet::CreateBlobStream(Field& field, BlobStreamMode mode) {
  const bool writable = mode != BlobStreamMode::bmRead;
  if (writable && !IsEditing(state_)) {
    throw UsageError("Dataset '" + name_ + "' not in edit or insert mode (field '" + field.FieldName + "')");
  }
  std::vector<std::uint8_t> bytes;
  if (mode != BlobStreamMode::bmWrite) {
    const Value& v = field.Value();
    if (v.Kind() == ValueKind::kText) {
      bytes.assign(v.AsText().begin(), v.AsText().end());
    } else if (!v.IsNull()) {
      bytes = field.AsBytes();
    }
  }
  auto stream = std::make_unique<FieldBlobStream>(field, std::move(bytes), writable);
  if (mode == BlobStreamMode::bmWrite) stream->Store();
  return stream;
}

}  // namespace dac
