// A field of a dataset: one column (or one calculated or looked-up value) of
// the dataset's current record, read and written through typed accessors.
// A field is created and owned by its dataset (DataSet::AddField, or at open
// for the columns of the result) and reads the dataset's active record: the
// record under the cursor, or the one being inserted or edited.
//
// Writes convert the value to the field's type (text to number, decimal to
// integer, ...); a value that does not convert, a value outside an integer
// field's range, a write outside edit or insert state and a write to a
// read-only field throw DatabaseError (data) or UsageError (state).
// Texts are never cut to the field's size: the server judges the length.
//
// Threads: like its dataset, used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dac/database_error.h"
#include "dac/driver.h"
#include "dac/value.h"

namespace dac {

class DataSet;

enum class FieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

class Field {
 public:
  using NotifyEvent = std::function<void(Field& sender)>;
  using SetTextEvent = std::function<void(Field& sender, const std::string& text)>;
  // display_text: true for showing, false for editing.
  using GetTextEvent = std::function<void(Field& sender, std::string& text, bool display_text)>;

  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;
  ~Field() = default;

  DataSet& GetDataSet() const { return *dataset_; }
  FieldType DataType() const { return type_; }
  FieldKind Kind() const { return kind_; }
  int Size() const { return size_; }
  int Precision() const { return precision_; }
  int Scale() const { return scale_; }
  // Position among the dataset's fields, from 0.
  int Index() const;
  // Column number in the dataset's result, from 1; 0 for fields that are not
  // bound to a column (closed dataset, calculated and lookup fields).
  int FieldNo() const { return column_ + 1; }
  // The result column the field is bound to, or nullptr.
  const Column* Def() const;
  // The server marks the column as part of the key, or as an identity.
  bool IsKey() const;
  bool IsIdentity() const;

  // The current value; NULL when the dataset has no active record.
  const dac::Value& Value() const;
  // Converts to the field's type, then OnValidate, store, OnChange.
  void SetValue(dac::Value value);
  // The value before the record was changed: NULL for a record being
  // inserted, the server's value for an edited one.
  dac::Value OldValue() const;
  dac::Value NewValue() const { return Value(); }
  bool IsNull() const { return Value().IsNull(); }
  void Clear() { SetValue(dac::Value()); }
  // The field was written since the record entered insert or edit state.
  bool Modified() const;

  std::string AsString() const;
  void SetAsString(const std::string& text);
  // A NULL reads as 0, false, "", 1900-01-01 and no bytes.
  std::int64_t AsInteger() const;
  void SetAsInteger(std::int64_t v) { SetValue(dac::Value(v)); }
  double AsFloat() const;
  void SetAsFloat(double v) { SetValue(dac::Value(v)); }
  Decimal AsDecimal() const;
  void SetAsDecimal(Decimal v) { SetValue(dac::Value(std::move(v))); }
  bool AsBoolean() const;
  void SetAsBoolean(bool v) { SetValue(dac::Value(v)); }
  DateTime AsDateTime() const;
  void SetAsDateTime(DateTime v) { SetValue(dac::Value(v)); }
  Bytes AsBytes() const;
  void SetAsBytes(Bytes v) { SetValue(dac::Value(std::move(v))); }

  // The text a person edits and sees: AsString unless OnGetText says otherwise.
  std::string Text() const;
  std::string DisplayText() const;
  // A text a person typed: through OnSetText when assigned, else AsString.
  void SetText(const std::string& text);

  // Settings. FieldName may change at any time (lookups are by name).
  std::string FieldName;
  std::string DisplayLabel;
  std::string Origin;
  std::string EditMask;
  std::string DisplayFormat;
  std::string EditFormat;
  bool ReadOnly = false;
  bool Required = false;
  bool Visible = true;
  int Tag = 0;
  // Lookup fields: the value of LookupResultField in the record of
  // LookupDataSet whose LookupKeyFields equal this dataset's KeyFields (names
  // separated by ";").
  DataSet* LookupDataSet = nullptr;
  std::string KeyFields;
  std::string LookupKeyFields;
  std::string LookupResultField;

  NotifyEvent OnChange;
  NotifyEvent OnValidate;
  SetTextEvent OnSetText;
  GetTextEvent OnGetText;

 private:
  friend class DataSet;
  Field(DataSet& dataset, std::string name, FieldType type, int size, FieldKind kind);

  DataSet* dataset_;
  FieldType type_;
  int size_;
  int precision_ = 0;
  int scale_ = 0;
  FieldKind kind_;
  int column_ = -1;  // index into the record's values (data fields) while bound
  int slot_ = -1;    // index into the record's calculated values (other kinds)
  bool default_ = false;  // created for the result at open, dropped at close
  const dac::Value* validating_ = nullptr;  // the value OnValidate is judging
};

// `value` as the field type keeps it (texts for string types, integers for
// integer types, exact decimals for BCD and currency, ...). Throws
// DatabaseError naming `field_name` when it does not convert or fit.
Value ConvertForField(FieldType type, const Value& value, const std::string& field_name);

}  // namespace dac
