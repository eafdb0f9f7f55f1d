#include "dac/field.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "dac/dataset.h"
#include "platform/text.h"

namespace dac {
namespace {

const Value kNull;

// The kind of value a field type keeps.
enum class Keeps { kText, kInteger, kBoolean, kDouble, kDecimal, kDateTime, kBytes, kAnything };

Keeps KeptKind(FieldType type) {
  switch (type) {
    case FieldType::ftString:
    case FieldType::ftWideString:
    case FieldType::ftFixedChar:
    case FieldType::ftMemo:
    case FieldType::ftWideMemo:
    case FieldType::ftGuid:
      return Keeps::kText;
    case FieldType::ftSmallint:
    case FieldType::ftInteger:
    case FieldType::ftWord:
    case FieldType::ftLargeint:
    case FieldType::ftAutoInc:
      return Keeps::kInteger;
    case FieldType::ftBoolean:
      return Keeps::kBoolean;
    case FieldType::ftFloat:
      return Keeps::kDouble;
    case FieldType::ftCurrency:
    case FieldType::ftBCD:
    case FieldType::ftFMTBcd:
      return Keeps::kDecimal;
    case FieldType::ftDate:
    case FieldType::ftTime:
    case FieldType::ftDateTime:
    case FieldType::ftTimeStamp:
      return Keeps::kDateTime;
    case FieldType::ftBlob:
    case FieldType::ftBytes:
    case FieldType::ftVarBytes:
      return Keeps::kBytes;
    case FieldType::ftUnknown:
      break;
  }
  return Keeps::kAnything;
}

[[noreturn]] void NotValid(const Value& v, const char* what, const std::string& field_name) {
  throw DatabaseError("'" + v.ToText() + "' is not a valid " + what + " value for field '" + field_name + "'");
}

std::optional<Decimal> DecimalOf(const Value& v) {
  switch (v.Kind()) {
    case ValueKind::kInteger:
      return Decimal::FromInt(v.AsInteger());
    case ValueKind::kBoolean:
      return Decimal::FromInt(v.AsBoolean() ? 1 : 0);
    case ValueKind::kDecimal:
      return v.AsDecimal();
    case ValueKind::kDouble:
      if (!std::isfinite(v.AsDouble())) return std::nullopt;
      return Decimal::Parse(v.ToText());
    case ValueKind::kText:
      return Decimal::Parse(platform::Trim(v.AsText()));
    default:
      return std::nullopt;
  }
}

Value ToInteger(FieldType type, const Value& v, const std::string& field_name) {
  std::int64_t i = 0;
  if (v.Kind() == ValueKind::kInteger) {
    i = v.AsInteger();
  } else {
    const auto d = DecimalOf(v);
    // A fraction is rounded, as a number typed into a whole-number field is.
    const auto whole = d ? d->Rounded(0).ToInt64() : std::nullopt;
    if (!whole) NotValid(v, "integer", field_name);
    i = *whole;
  }
  std::int64_t lo = std::numeric_limits<std::int64_t>::min(), hi = std::numeric_limits<std::int64_t>::max();
  switch (type) {
    case FieldType::ftSmallint:
      lo = -32768, hi = 32767;
      break;
    case FieldType::ftWord:
      lo = 0, hi = 65535;
      break;
    case FieldType::ftInteger:
    case FieldType::ftAutoInc:
      lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
      break;
    default:
      break;
  }
  if (i < lo || i > hi) {
    throw DatabaseError(std::to_string(i) + " is not a valid value for field '" + field_name +
                        "'. The allowed range is " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return Value(i);
}

std::optional<bool> BooleanOf(const Value& v) {
  switch (v.Kind()) {
    case ValueKind::kBoolean:
      return v.AsBoolean();
    case ValueKind::kInteger:
      return v.AsInteger() != 0;
    case ValueKind::kDecimal:
      return !v.AsDecimal().IsZero();
    case ValueKind::kDouble:
      return v.AsDouble() != 0;
    case ValueKind::kText: {
      const std::string t = platform::CaseFold(platform::Trim(v.AsText()));
      if (t == "true" || t == "t" || t == "yes" || t == "y" || t == "1") return true;
      if (t == "false" || t == "f" || t == "no" || t == "n" || t == "0") return false;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<double> DoubleOf(const Value& v) {
  switch (v.Kind()) {
    case ValueKind::kDouble:
      return v.AsDouble();
    case ValueKind::kInteger:
      return static_cast<double>(v.AsInteger());
    case ValueKind::kBoolean:
      return v.AsBoolean() ? 1.0 : 0.0;
    case ValueKind::kDecimal:
    case ValueKind::kText: {
      const std::string t = v.Kind() == ValueKind::kText ? platform::Trim(v.AsText()) : v.AsDecimal().ToString();
      double d = 0;
      const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
      if (ec != std::errc() || end != t.data() + t.size() || t.empty()) return std::nullopt;
      return d;
    }
    default:
      return std::nullopt;
  }
}

// ConvertForField would hand back a copy of `v` unchanged: it can be stored
// as it is, which saves a copy on every value a row copy writes.
bool KeptAsIs(FieldType type, const Value& v) {
  switch (KeptKind(type)) {
    case Keeps::kText:
      return v.IsNull() || v.Kind() == ValueKind::kText;
    case Keeps::kDecimal:
      return v.IsNull() || v.Kind() == ValueKind::kDecimal;
    case Keeps::kDateTime:
      return v.IsNull() || v.Kind() == ValueKind::kDateTime;
    case Keeps::kBytes:
      return v.IsNull() || v.Kind() == ValueKind::kBytes;
    case Keeps::kAnything:
      return true;
    default:
      return v.IsNull();
  }
}

}  // namespace

Value ConvertForField(FieldType type, const Value& v, const std::string& field_name) {
  if (v.IsNull()) return v;
  switch (KeptKind(type)) {
    case Keeps::kText:
      if (v.Kind() == ValueKind::kText) return v;
      if (v.Kind() == ValueKind::kBytes) return Value(std::string(v.AsBytes().begin(), v.AsBytes().end()));
      return Value(v.ToText());
    case Keeps::kInteger:
      return ToInteger(type, v, field_name);
    case Keeps::kBoolean: {
      const auto b = BooleanOf(v);
      if (!b) NotValid(v, "boolean", field_name);
      return Value(*b);
    }
    case Keeps::kDouble: {
      const auto d = DoubleOf(v);
      if (!d) NotValid(v, "floating point", field_name);
      return Value(*d);
    }
    case Keeps::kDecimal: {
      if (v.Kind() == ValueKind::kDecimal) return v;
      const auto d = DecimalOf(v);
      if (!d) NotValid(v, "numeric", field_name);
      return Value(*d);
    }
    case Keeps::kDateTime: {
      if (v.Kind() == ValueKind::kDateTime) return v;
      if (v.Kind() == ValueKind::kText) {
        if (const auto dt = DateTime::Parse(platform::Trim(v.AsText())); dt && dt->IsValid()) return Value(*dt);
      }
      NotValid(v, "date and time", field_name);
    }
    case Keeps::kBytes:
      if (v.Kind() == ValueKind::kBytes) return v;
      if (v.Kind() == ValueKind::kText) return Value(Bytes(v.AsText().begin(), v.AsText().end()));
      NotValid(v, "binary", field_name);
    case Keeps::kAnything:
      break;
  }
  return v;
}

Field::Field(DataSet& dataset, std::string name, FieldType type, int size, FieldKind kind)
    : FieldName(std::move(name)), dataset_(&dataset), type_(type), size_(size), kind_(kind) {}

int Field::Index() const {
  for (int i = 0; i < dataset_->FieldCount(); ++i) {
    if (&dataset_->Fields(i) == this) return i;
  }
  return -1;
}

const Column* Field::Def() const {
  if (column_ < 0 || column_ >= static_cast<int>(dataset_->FieldDefs().size())) return nullptr;
  return &dataset_->FieldDefs()[column_];
}

bool Field::IsKey() const {
  const Column* def = Def();
  return def && def->key;
}

bool Field::IsIdentity() const {
  const Column* def = Def();
  return def && def->identity;
}

const Value& Field::Value() const {
  if (validating_) return *validating_;
  const auto* record = dataset_->ActiveRecord();
  if (!record) return kNull;
  if (kind_ == FieldKind::fkData) {
    if (column_ < 0 || column_ >= static_cast<int>(record->values.size())) return kNull;
    return record->values[column_];
  }
  if (slot_ < 0 || slot_ >= static_cast<int>(record->calculated.size())) return kNull;
  return record->calculated[slot_];
}

void Field::SetValue(dac::Value value) {
  if (KeptAsIs(type_, value)) return dataset_->StoreFieldValue(*this, std::move(value));
  dataset_->StoreFieldValue(*this, ConvertForField(type_, value, FieldName));
}

dac::Value Field::OldValue() const {
  if (kind_ != FieldKind::fkData) return Value();
  const Row* old = dataset_->OldRow();
  if (!old || column_ < 0 || column_ >= static_cast<int>(old->size())) return {};
  return (*old)[column_];
}

bool Field::Modified() const {
  const auto state = dataset_->State();
  if (state != DataSetState::dsEdit && state != DataSetState::dsInsert) return false;
  const auto* record = dataset_->ActiveRecord();
  return record && column_ >= 0 && column_ < static_cast<int>(record->assigned.size()) && record->assigned[column_];
}

std::string Field::AsString() const { return Value().ToText(); }

void Field::SetAsString(const std::string& text) {
  const auto kept = KeptKind(type_);
  // An empty text in a number or date field means "no value", as a person
  // clearing the box means it.
  if (kept != Keeps::kText && kept != Keeps::kBytes && kept != Keeps::kAnything && platform::Trim(text).empty()) {
    Clear();
    return;
  }
  SetValue(dac::Value(text));
}

std::int64_t Field::AsInteger() const {
  const auto& v = Value();
  if (v.IsNull()) return 0;
  return ConvertForField(FieldType::ftLargeint, v, FieldName).AsInteger();
}

double Field::AsFloat() const {
  const auto& v = Value();
  if (v.IsNull()) return 0;
  return ConvertForField(FieldType::ftFloat, v, FieldName).AsDouble();
}

Decimal Field::AsDecimal() const {
  const auto& v = Value();
  if (v.IsNull()) return Decimal();
  return ConvertForField(FieldType::ftBCD, v, FieldName).AsDecimal();
}

bool Field::AsBoolean() const {
  const auto& v = Value();
  if (v.IsNull()) return false;
  return ConvertForField(FieldType::ftBoolean, v, FieldName).AsBoolean();
}

DateTime Field::AsDateTime() const {
  const auto& v = Value();
  if (v.IsNull()) return DateTime();
  return ConvertForField(FieldType::ftDateTime, v, FieldName).AsDateTime();
}

Bytes Field::AsBytes() const {
  const auto& v = Value();
  if (v.IsNull()) return {};
  return ConvertForField(FieldType::ftBlob, v, FieldName).AsBytes();
}

std::string Field::Text() const {
  std::string text = AsString();
  if (OnGetText) OnGetText(const_cast<Field&>(*this), text, false);
  return text;
}

std::string Field::DisplayText() const {
  std::string text = AsString();
  if (OnGetText) OnGetText(const_cast<Field&>(*this), text, true);
  return text;
}

void Field::SetText(const std::string& text) {
  if (OnSetText) {
    OnSetText(*this, text);
  } else {
    SetAsString(text);
  }
}

}  // namespace dac
