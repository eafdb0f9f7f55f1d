// The platform dataset: records with fields, a cursor over them, the states
// browse/edit/insert, the dataset events, post-error actions, cached updates
// and the statement kinds through which a derived dataset writes a record to
// its server. The SQL datasets (SqlDataSet, then MSQuery, OraQuery and the
// library's datasets) derive from it and fill in the virtual steps.
//
// Records are fetched from the derived class in blocks (FetchBlock) as the
// cursor moves; a unidirectional dataset keeps no record behind the cursor
// once the next block arrives. Insert/Edit fill an edit buffer; Post hands it
// to the server at once (PerformSQL) or, with CachedUpdates, keeps it in the
// cache until ApplyUpdates.
//
// Errors: a DriverError or DatabaseError raised while posting, editing or
// deleting goes to OnPostError/OnEditError/OnDeleteError, whose action decides:
// daFail passes the error on, daAbort ends the operation with the silent
// platform::EAbort, daRetry runs the operation again. Misuse (a write in
// browse state, Prior on a unidirectional dataset) throws UsageError.
//
// Threads: a dataset and its fields are used by one thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dac/driver.h"
#include "dac/field.h"
#include "dac/value.h"
#include "platform/stream.h"

namespace dac {

enum class DataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };
enum class DataAction { daFail, daAbort, daRetry };
enum class UpdateKind { ukModify, ukInsert, ukDelete };
enum class UpdateAction { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
enum class UpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
enum class StatementType { stQuery, stInsert, stUpdate, stDelete, stRefresh, stLock, stBatchUpdate };
enum class BlobStreamMode { bmRead, bmWrite, bmReadWrite };

// A set of statement kinds.
class StatementTypes {
 public:
  StatementTypes() = default;
  StatementTypes(std::initializer_list<StatementType> kinds);
  bool Contains(StatementType kind) const { return (bits_ & Bit(kind)) != 0; }
  void Include(StatementType kind) { bits_ |= Bit(kind); }
  void Exclude(StatementType kind) { bits_ &= ~Bit(kind); }
  bool Empty() const { return bits_ == 0; }
  // The first kind in the order stQuery .. stBatchUpdate; nothing when empty.
  std::optional<StatementType> First() const;
  friend bool operator==(StatementTypes a, StatementTypes b) { return a.bits_ == b.bits_; }

 private:
  static unsigned Bit(StatementType kind) { return 1u << static_cast<unsigned>(kind); }
  unsigned bits_ = 0;
};

// The fields that name a record on its server (key) and those that carry its
// data, as the write statements use them.
struct KeyAndDataFields {
  std::vector<Field*> key_fields;
  std::vector<Field*> data_fields;
};

class DataSet {
 public:
  using NotifyEvent = std::function<void(DataSet& sender)>;
  using ErrorEvent = std::function<void(DataSet& sender, const std::exception& error, DataAction& action)>;
  using UpdateErrorEvent =
      std::function<void(DataSet& sender, const std::exception& error, UpdateKind kind, UpdateAction& action)>;
  using UpdateRecordEvent = std::function<void(DataSet& sender, UpdateKind kind, UpdateAction& action)>;

  DataSet();
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;
  // Closes without events; pending cached updates are dropped.
  virtual ~DataSet();

  const std::string& Name() const { return name_; }
  virtual void SetName(std::string name) { name_ = std::move(name); }

  // --- opening and closing
  bool Active() const { return state_ != DataSetState::dsInactive; }
  // Opening: BeforeOpen, InternalOpen, fields, the first block, AfterOpen and
  // AfterScroll. Closing cancels an edit, then BeforeClose, InternalClose,
  // AfterClose; the cache goes with the records.
  virtual void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  DataSetState State() const { return state_; }

  // --- fields
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // Inline: the row copy asks for two fields per value.
  Field& Fields(int index) const {
    if (index < 0 || index >= FieldCount()) FieldIndexOutOfRange(index);
    return *fields_[static_cast<std::size_t>(index)];
  }
  // Case-insensitive. FieldByName throws DatabaseError "Field 'X' not found".
  Field* FindField(std::string_view name) const;
  Field& FieldByName(std::string_view name) const;
  // A field that lives until removed: a data field binds to the result column
  // of its name at open, other kinds are filled by OnCalcFields or the lookup.
  // Only while closed (or, for calculated kinds, at any time but editing).
  Field& AddField(std::string name, FieldType type, int size = 0, FieldKind kind = FieldKind::fkData);
  void RemoveField(Field& field);
  // The columns of the result, known from the open (or from InitFieldDefs).
  const std::vector<Column>& FieldDefs() const { return field_defs_; }

  // --- the cursor
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return records_.empty() && state_ != DataSetState::dsInsert; }
  void First();
  void Next();
  void Prior();
  void Last();
  // Records in the result as far as known (see the derived classes).
  virtual std::int64_t RecordCount() const;
  // 1 for the first record, 0 when there is none.
  std::int64_t RecNo() const;
  // The record under the cursor's cache state.
  UpdateStatus GetUpdateStatus() const;
  // The value of `result_field` in the first record whose `key_fields` (names
  // separated by ";") equal `key_values`; NULL when none does. Reads every
  // record of the result; the cursor does not move.
  Value Lookup(std::string_view key_fields, const std::vector<Value>& key_values, std::string_view result_field);

  // --- changing records
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool UniDirectional() const { return uni_directional_; }
  void SetUniDirectional(bool value);
  bool CanModify() const { return !read_only_; }

  void Insert();
  void Append();
  void Edit();
  // Writes the edit buffer (to the server, or to the cache). A failure goes
  // through OnPostError; the dataset then stays in its edit or insert state.
  virtual void Post();
  void Cancel();
  void Delete();
  // Posts an edit with changes, cancels one without.
  void CheckBrowseMode();
  // Re-reads the current record from the server (stRefresh).
  void RefreshRecord();

  // --- cached updates
  bool CachedUpdates() const { return cached_updates_; }
  // Only while no update is pending.
  void SetCachedUpdates(bool value);
  bool UpdatesPending() const;
  // Writes the pending records in the order they were posted: a run of
  // inserted records goes to the server as one batch where the derived class
  // allows it (BatchInserts), the others one by one (PerformSQL). A written
  // record leaves the cache. A record the server refuses goes to
  // OnUpdateError (default uaFail: the error leaves ApplyUpdates, this record
  // and the later ones stay pending; uaSkip leaves it pending and goes on;
  // uaAbort raises the silent abort; uaRetry sends it again; uaApplied counts
  // it as written). No transaction is started: what the server took stays.
  void ApplyUpdates();
  // Forgets every pending update without sending it.
  void CommitUpdates();
  // Puts the records back as the server gave them.
  void CancelUpdates();

  // --- blobs
  // A stream over a blob or memo field of the active record. A write stream
  // needs edit or insert state and writes through to the field as it goes.
  virtual std::unique_ptr<platform::Stream> CreateBlobStream(Field& field, BlobStreamMode mode);

  // --- settings and events
  int Tag = 0;
  bool AutoCalcFields = true;

  NotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  NotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  NotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  NotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  NotifyEvent BeforeRefresh, AfterRefresh;
  NotifyEvent OnNewRecord, OnCalcFields;
  ErrorEvent OnPostError, OnEditError, OnDeleteError;
  UpdateErrorEvent OnUpdateError;
  // Takes over writing one cached record: set uaApplied when done, uaSkip to
  // leave it pending, uaAbort for the silent abort; uaFail fails the apply.
  UpdateRecordEvent OnUpdateRecord;

 protected:
  // One record of the dataset. `values` follows FieldDefs; `original` holds
  // the server's values while the record carries an unsent change;
  // `assigned` marks the columns written since insert, a byte each, so that
  // the records of a batch compare as memory.
  struct Record {
    Row values;
    std::optional<Row> original;
    Row calculated;
    std::vector<std::uint8_t> assigned;
    UpdateStatus status = UpdateStatus::usUnmodified;
    std::uint64_t sequence = 0;  // order of the cached change
  };

  // Steps for derived classes. InternalOpen fills the field definitions
  // (SetFieldDefs) and prepares FetchBlock; InternalClose releases the result.
  virtual void InternalOpen() {}
  virtual void InternalClose() {}
  // Re-reads the field definitions without opening (for field rebuilding).
  virtual void InitFieldDefs() {}
  // Appends the next rows of the result; false when no row is left.
  virtual bool FetchBlock(std::vector<Row>& rows);
  // Read every row at open instead of block by block.
  virtual bool FetchAllOnOpen() const { return false; }
  // Creates a field for every field definition (when the dataset has no
  // data fields of its own).
  virtual void CreateFields();
  // Creates the field of one definition, owned by the dataset.
  Field& CreateFieldFromDef(const Column& def);
  void SetFieldDefs(std::vector<Column> defs) { field_defs_ = std::move(defs); }
  void ClearFieldDefs() { field_defs_.clear(); }
  // Required setting of a new field; the SQL datasets take it from the column.
  virtual bool RequiredByDef(const Column&) const { return false; }
  // The prepared state of an edit (locking, for instance); runs inside the
  // OnEditError guard.
  virtual void InternalEdit() {}
  // Writes the edit buffer: checks required fields, then PerformSQL, or the
  // cache with CachedUpdates. Runs inside the OnPostError guard.
  virtual void InternalPost();
  // Removes the current record (PerformSQL stDelete, or the cache). Runs
  // inside the OnDeleteError guard.
  virtual void InternalDelete();
  // Runs the statement of the first kind in `kinds` for the active record;
  // false when nothing was run. The base dataset has no server.
  virtual bool PerformSQL(StatementTypes kinds);
  // Key and data fields for the write statements: keys are the fields whose
  // column the server marks as key or identity.
  virtual void GetKeyAndDataFields(KeyAndDataFields& fields);
  // May ApplyUpdates send a run of inserted records in one batch? A class
  // that hooks PerformSQL for inserts must answer false.
  virtual bool BatchInserts() const { return false; }
  // Sends `rows` (values of `fields`) as single-row inserts from row `first`;
  // reports as Connection::InsertRows does.
  virtual Connection::InsertResult InsertBatch(const std::vector<Field*>& fields, const std::vector<Row>& rows,
                                               std::size_t first);

  // Fire the events; derived classes extend them.
  virtual void DoBeforeOpen() { Fire(BeforeOpen); }
  virtual void DoAfterOpen() { Fire(AfterOpen); }
  virtual void DoBeforeClose() { Fire(BeforeClose); }
  virtual void DoAfterClose() { Fire(AfterClose); }
  virtual void DoBeforeInsert() { Fire(BeforeInsert); }
  virtual void DoAfterInsert() { Fire(AfterInsert); }
  virtual void DoBeforeEdit() { Fire(BeforeEdit); }
  virtual void DoAfterEdit() { Fire(AfterEdit); }
  virtual void DoBeforePost() { Fire(BeforePost); }
  virtual void DoAfterPost() { Fire(AfterPost); }
  virtual void DoBeforeCancel() { Fire(BeforeCancel); }
  virtual void DoAfterCancel() { Fire(AfterCancel); }
  virtual void DoBeforeDelete() { Fire(BeforeDelete); }
  virtual void DoAfterDelete() { Fire(AfterDelete); }
  virtual void DoBeforeScroll() { Fire(BeforeScroll); }
  virtual void DoAfterScroll() { Fire(AfterScroll); }
  virtual void DoOnNewRecord() { Fire(OnNewRecord); }

  // Runs `operation`, giving DriverErrors and DatabaseErrors to `handler`.
  void CheckOperation(const std::function<void()>& operation, const ErrorEvent& handler);
  void CheckActive() const;
  void CheckModify() const;

  // The record fields read: the edit buffer, the record being applied, or
  // the record under the cursor; nullptr when there is none.
  // Inline for the plain browse case: every read of a field's value asks.
  const Record* ActiveRecord() const {
    if (calculating_ || applying_ || state_ != DataSetState::dsBrowse) return SpecialActiveRecord();
    if (current_ < 0 || current_ >= static_cast<std::ptrdiff_t>(records_.size())) return nullptr;
    return &records_[static_cast<std::size_t>(current_)];
  }
  Record* MutableActiveRecord() { return const_cast<Record*>(ActiveRecord()); }
  // The values the record had on the server (nullptr: none, as for a record
  // being inserted).
  const Row* OldRow() const;
  // Records of the result from the server (not counting local changes).
  std::int64_t FetchedCount() const { return fetched_; }
  // Local inserts minus deletes since the open.
  std::int64_t LocalDelta() const { return local_delta_; }
  // The data fields written since the record was inserted, in field order.
  std::vector<Field*> AssignedDataFields(const Record& record) const;
  // For destructors of derived classes, while their InternalClose still
  // exists: closes without events and swallows every error.
  void CloseQuietly() noexcept;

 private:
  friend class Field;

  void Fire(const NotifyEvent& event) {
    if (event) event(*this);
  }
  void OpenCursor();
  void CloseCursor(bool fire_events);
  void BindFields();
  void DestroyDefaultFields();
  bool FetchNext();
  void FetchAllRows();
  void CalculateFields(Record& record);
  [[noreturn]] void FieldIndexOutOfRange(int index) const;
  // ActiveRecord while calculating, applying, editing or in another state.
  const Record* SpecialActiveRecord() const;
  void CheckRequiredFields();
  void StoreFieldValue(Field& field, Value value);
  void ApplyRecord(Record& record);
  void ApplyInsertRun(const std::vector<Record*>& run);
  bool DecideUpdateError(const std::exception& error, UpdateKind kind, Record& record);
  void Settle(Record& record);

  std::string name_;
  DataSetState state_ = DataSetState::dsInactive;
  std::vector<std::unique_ptr<Field>> fields_;
  std::vector<Column> field_defs_;
  std::deque<Record> records_;
  std::vector<Record> deleted_;  // cached deletes, until applied
  std::ptrdiff_t current_ = -1;
  std::int64_t dropped_ = 0;  // records a unidirectional dataset let go
  std::int64_t fetched_ = 0;
  std::int64_t local_delta_ = 0;
  bool more_ = false;  // the result may hold more rows
  bool eof_ = true;
  bool bof_ = true;
  bool read_only_ = false;
  bool uni_directional_ = false;
  bool cached_updates_ = false;
  std::uint64_t next_sequence_ = 1;
  Record edit_;
  std::ptrdiff_t insert_at_ = 0;
  Record* applying_ = nullptr;     // the cached record being written
  Record* calculating_ = nullptr;  // the record OnCalcFields fills
  int calculated_count_ = 0;       // slots for calculated and lookup fields
};

}  // namespace dac
