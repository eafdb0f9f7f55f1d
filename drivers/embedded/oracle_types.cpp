#include "drivers/embedded/oracle_types.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "drivers/embedded/oracle_datetime.h"
#include "drivers/embedded/oracle_error.h"
#include "platform/text.h"

namespace embedded {
namespace {

using K = OracleTypeKind;

[[noreturn]] void InvalidDatatype() { throw OracleError(902, "invalid datatype"); }

int ReadInt(const std::vector<Token>& t, std::size_t& i) {
  bool negative = false;
  if (t[i].IsSymbol("-")) {
    negative = true;
    ++i;
  }
  int v = 0;
  if (t[i].kind != TokenKind::kNumber || !platform::TryParseInt(t[i].text, v)) InvalidDatatype();
  ++i;
  return negative ? -v : v;
}

void Expect(const std::vector<Token>& t, std::size_t& i, std::string_view symbol) {
  if (!t[i].IsSymbol(symbol)) {
    if (symbol == "(") throw OracleError(906, "missing left parenthesis");
    if (symbol == ")") throw OracleError(907, "missing right parenthesis");
    InvalidDatatype();
  }
  ++i;
}

// "(n [BYTE|CHAR])" after a text type; `required` when the type has no default length.
int TextLength(const std::vector<Token>& t, std::size_t& i, bool required, int max) {
  if (!t[i].IsSymbol("(")) {
    if (required) throw OracleError(906, "missing left parenthesis");
    return 1;
  }
  ++i;
  const int n = ReadInt(t, i);
  if (t[i].Is("BYTE") || t[i].Is("CHAR")) ++i;
  Expect(t, i, ")");
  if (n < 1) throw OracleError(1741, "illegal zero-length identifier");
  if (n > max) throw OracleError(910, "specified length too long for its datatype");
  return n;
}

// NUMBER's "(p[,s])" or "(*[,s])".
void NumberArguments(const std::vector<Token>& t, std::size_t& i, OracleType& type) {
  if (!t[i].IsSymbol("(")) return;
  ++i;
  if (t[i].IsSymbol("*")) {
    ++i;
  } else {
    type.precision = ReadInt(t, i);
    if (*type.precision < 1 || *type.precision > 38) {
      throw OracleError(1727, "numeric precision specifier is out of range (1 to 38)");
    }
    type.scale = 0;
  }
  if (t[i].IsSymbol(",")) {
    ++i;
    type.scale = ReadInt(t, i);
    if (*type.scale < -84 || *type.scale > 127) {
      throw OracleError(1728, "numeric scale specifier is out of range (-84 to 127)");
    }
  }
  Expect(t, i, ")");
}

std::string StripFractionZeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

std::string Hex(const dac::Bytes& b) {
  static const char* const kDigits = "0123456789ABCDEF";
  std::string out;
  out.reserve(b.size() * 2);
  for (std::uint8_t c : b) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::optional<dac::Bytes> FromHex(std::string_view s) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  dac::Bytes out;
  std::size_t i = 0;
  if (s.size() % 2 == 1) {  // Oracle reads an odd digit count as if led by a zero
    if (nibble(s[0]) < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(nibble(s[0])));
    i = 1;
  }
  for (; i < s.size(); i += 2) {
    const int hi = nibble(s[i]), lo = nibble(s[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return out;
}

const char* TypeName(const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kBytes:
      return "BINARY";
    case dac::ValueKind::kDateTime:
      return "DATE";
    case dac::ValueKind::kText:
      return "CHAR";
    default:
      return "NUMBER";
  }
}

[[noreturn]] void Inconsistent(const char* expected, const dac::Value& v) {
  throw OracleError(932, std::string("inconsistent datatypes: expected ") + expected + " got " + TypeName(v));
}

std::optional<double> ParseDouble(std::string_view s) {
  double v = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

std::string PadTo(std::string text, int length) {
  const std::size_t chars = platform::CharLength(text);
  if (chars < static_cast<std::size_t>(length)) text.append(static_cast<std::size_t>(length) - chars, ' ');
  return text;
}

}  // namespace

std::string OracleType::Spelling() const {
  auto with = [](const char* name, int n) { return std::string(name) + "(" + std::to_string(n) + ")"; };
  switch (kind) {
    case K::kNumber:
      if (!precision && !scale) return "NUMBER";
      if (!precision) return "NUMBER(*," + std::to_string(*scale) + ")";
      if (!scale || *scale == 0) return with("NUMBER", *precision);
      return "NUMBER(" + std::to_string(*precision) + "," + std::to_string(*scale) + ")";
    case K::kFloat:
      return with("FLOAT", precision.value_or(126));
    case K::kBinaryFloat:
      return "BINARY_FLOAT";
    case K::kBinaryDouble:
      return "BINARY_DOUBLE";
    case K::kVarchar2:
      return with("VARCHAR2", length);
    case K::kNVarchar2:
      return with("NVARCHAR2", length);
    case K::kChar:
      return with("CHAR", length);
    case K::kNChar:
      return with("NCHAR", length);
    case K::kClob:
      return "CLOB";
    case K::kNClob:
      return "NCLOB";
    case K::kLong:
      return "LONG";
    case K::kDate:
      return "DATE";
    case K::kTimestamp:
      return with("TIMESTAMP", precision.value_or(6));
    case K::kBlob:
      return "BLOB";
    case K::kRaw:
      return with("RAW", length);
    case K::kLongRaw:
      return "LONG RAW";
  }
  return {};
}

std::string OracleType::DataType() const {
  switch (kind) {
    case K::kTimestamp:
      return Spelling();
    case K::kNumber:
    case K::kFloat:
    case K::kVarchar2:
    case K::kNVarchar2:
    case K::kChar:
    case K::kNChar:
    case K::kRaw: {
      const std::string s = Spelling();
      return s.substr(0, s.find('('));
    }
    default:
      return Spelling();
  }
}

int OracleType::DataLength() const {
  switch (kind) {
    case K::kNumber:
    case K::kFloat:
      return 22;
    case K::kBinaryFloat:
      return 4;
    case K::kBinaryDouble:
      return 8;
    case K::kVarchar2:
    case K::kChar:
    case K::kRaw:
      return length;
    case K::kNVarchar2:
    case K::kNChar:
      return 2 * length;
    case K::kClob:
    case K::kNClob:
    case K::kBlob:
      return 4000;
    case K::kDate:
      return 7;
    case K::kTimestamp:
      return 11;
    case K::kLong:
    case K::kLongRaw:
      return 0;
  }
  return 0;
}

int OracleType::CharLength() const { return IsText() ? length : 0; }

bool OracleType::IsText() const {
  return kind == K::kVarchar2 || kind == K::kNVarchar2 || kind == K::kChar || kind == K::kNChar;
}

bool OracleType::IsInteger() const {
  return kind == K::kNumber && precision && *precision <= 18 && scale && *scale <= 0;
}

dac::Column OracleType::Describe(std::string name, bool nullable) const {
  dac::Column c;
  c.name = std::move(name);
  c.nullable = nullable;
  c.declared_type = Spelling();
  switch (kind) {
    case K::kNumber:
      if (IsInteger()) {
        c.type = *precision <= 9 ? dac::FieldType::ftInteger : dac::FieldType::ftLargeint;
      } else {
        c.type = dac::FieldType::ftFMTBcd;
      }
      c.precision = precision.value_or(38);
      c.scale = scale.value_or(0);
      break;
    case K::kFloat:
    case K::kBinaryFloat:
    case K::kBinaryDouble:
      c.type = dac::FieldType::ftFloat;
      c.precision = kind == K::kBinaryFloat ? 7 : 15;
      break;
    case K::kVarchar2:
    case K::kChar:
      c.type = dac::FieldType::ftString;
      c.size = length;
      break;
    case K::kNVarchar2:
    case K::kNChar:
      c.type = dac::FieldType::ftWideString;
      c.size = length;
      break;
    case K::kClob:
    case K::kLong:
      c.type = dac::FieldType::ftMemo;
      break;
    case K::kNClob:
      c.type = dac::FieldType::ftWideMemo;
      break;
    case K::kDate:
      c.type = dac::FieldType::ftDateTime;
      break;
    case K::kTimestamp:
      c.type = dac::FieldType::ftDateTime;
      c.scale = precision.value_or(6);
      break;
    case K::kBlob:
    case K::kLongRaw:
      c.type = dac::FieldType::ftBlob;
      break;
    case K::kRaw:
      c.type = dac::FieldType::ftVarBytes;
      c.size = length;
      break;
  }
  return c;
}

OracleType ParseOracleType(const std::vector<Token>& t, std::size_t& i) {
  OracleType type;
  const Token& w = t[i];
  if (w.kind != TokenKind::kWord) InvalidDatatype();
  ++i;
  if (w.Is("NUMBER") || w.Is("NUMERIC") || w.Is("DECIMAL") || w.Is("DEC")) {
    type.kind = K::kNumber;
    NumberArguments(t, i, type);
    if (!w.Is("NUMBER") && !type.scale) type.scale = 0;  // DECIMAL means whole numbers unless told
  } else if (w.Is("INTEGER") || w.Is("INT") || w.Is("SMALLINT")) {
    type.kind = K::kNumber;
    type.scale = 0;
  } else if (w.Is("FLOAT")) {
    type.kind = K::kFloat;
    type.precision = 126;
    if (t[i].IsSymbol("(")) {
      ++i;
      type.precision = ReadInt(t, i);
      Expect(t, i, ")");
      if (*type.precision < 1 || *type.precision > 126) {
        throw OracleError(1724, "floating point precision is out of range (1 to 126)");
      }
    }
  } else if (w.Is("REAL")) {
    type.kind = K::kFloat;
    type.precision = 63;
  } else if (w.Is("DOUBLE") && t[i].Is("PRECISION")) {
    ++i;
    type.kind = K::kFloat;
    type.precision = 126;
  } else if (w.Is("BINARY_FLOAT")) {
    type.kind = K::kBinaryFloat;
  } else if (w.Is("BINARY_DOUBLE")) {
    type.kind = K::kBinaryDouble;
  } else if (w.Is("VARCHAR2") || w.Is("VARCHAR")) {
    type.kind = K::kVarchar2;
    type.length = TextLength(t, i, true, 4000);
  } else if (w.Is("NVARCHAR2")) {
    type.kind = K::kNVarchar2;
    type.length = TextLength(t, i, true, 2000);
  } else if (w.Is("CHAR") || w.Is("CHARACTER")) {
    type.kind = K::kChar;
    type.length = TextLength(t, i, false, 2000);
  } else if (w.Is("NCHAR")) {
    type.kind = K::kNChar;
    type.length = TextLength(t, i, false, 1000);
  } else if (w.Is("CLOB")) {
    type.kind = K::kClob;
  } else if (w.Is("NCLOB")) {
    type.kind = K::kNClob;
  } else if (w.Is("LONG")) {
    type.kind = K::kLong;
    if (t[i].Is("RAW")) {
      ++i;
      type.kind = K::kLongRaw;
    }
  } else if (w.Is("DATE")) {
    type.kind = K::kDate;
  } else if (w.Is("TIMESTAMP")) {
    type.kind = K::kTimestamp;
    type.precision = 6;
    if (t[i].IsSymbol("(")) {
      ++i;
      type.precision = ReadInt(t, i);
      Expect(t, i, ")");
      if (*type.precision < 0 || *type.precision > 9) {
        throw OracleError(30088, "datetime/interval precision is out of range");
      }
    }
    if (t[i].Is("WITH")) InvalidDatatype();  // time zones are beyond the stand-in
  } else if (w.Is("BLOB")) {
    type.kind = K::kBlob;
  } else if (w.Is("RAW")) {
    type.kind = K::kRaw;
    type.length = TextLength(t, i, true, 2000);
  } else {
    InvalidDatatype();
  }
  return type;
}

std::optional<OracleType> ParseOracleTypeText(std::string_view text) {
  try {
    const auto tokens = Tokenize(text);
    std::size_t i = 0;
    OracleType type = ParseOracleType(tokens, i);
    if (tokens[i].kind != TokenKind::kEnd) return std::nullopt;
    return type;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string SqliteDeclaredType(const OracleType& type, bool nullable) {
  const char* storage = "TEXT";
  switch (type.kind) {
    case K::kNumber:
    case K::kBlob:
    case K::kRaw:
    case K::kLongRaw:
      storage = "BLOB";  // no affinity: we choose each value's storage
      break;
    case K::kFloat:
    case K::kBinaryFloat:
    case K::kBinaryDouble:
      storage = "REAL";
      break;
    default:
      break;
  }
  return std::string(storage) + " '" + type.Spelling() + (nullable ? "" : " NOT NULL") + "'";
}

std::optional<DeclaredColumnType> ParseSqliteDeclaredType(std::string_view declared) {
  const std::size_t open = declared.find('\'');
  if (open == std::string_view::npos || declared.back() != '\'' || declared.size() < open + 2) return std::nullopt;
  std::string_view spelled = declared.substr(open + 1, declared.size() - open - 2);
  DeclaredColumnType out;
  constexpr std::string_view kNotNull = " NOT NULL";
  if (spelled.size() > kNotNull.size() && spelled.substr(spelled.size() - kNotNull.size()) == kNotNull) {
    out.nullable = false;
    spelled.remove_suffix(kNotNull.size());
  }
  auto type = ParseOracleTypeText(spelled);
  if (!type) return std::nullopt;
  out.type = *type;
  return out;
}

std::string ShortestDoubleText(double v) {
  char buf[64];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, p) : std::to_string(v);
}

dac::Value NumberStorage(const dac::Decimal& d) {
  const std::string text = StripFractionZeros(d.ToString());
  const auto exact = dac::Decimal::Parse(text);
  if (auto whole = exact->ToInt64()) return dac::Value(*whole);
  if (auto v = ParseDouble(text); v && std::isfinite(*v)) {
    const auto back = dac::Decimal::Parse(ShortestDoubleText(*v));
    if (back && StripFractionZeros(back->ToString()) == text) return dac::Value(*v);
  }
  return dac::Value(text);
}

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// The decimal of at most `scale` fraction digits that reads as `v`, found
// without printing the double. Below 2^50 steps of the scale, doubles lie less
// than a quarter step apart, so no other such decimal reads as `v` and this
// one is also the double's shortest text. Nothing when no decimal of the
// scale reads as `v`, or the value is too large to tell.
std::optional<dac::Decimal> DecimalOfScale(double v, int scale) {
  if (scale < 0 || scale > 18) return std::nullopt;
  const double power = kPowersOfTen[scale];
  const double steps = v * power;
  if (!(std::fabs(steps) < 0x1p50)) return std::nullopt;
  auto unscaled = static_cast<std::int64_t>(std::llround(steps));
  // Exact operands, so the quotient is the double nearest the decimal.
  if (static_cast<double>(unscaled) / power != v) return std::nullopt;
  while (scale > 0 && unscaled % 10 == 0) {
    unscaled /= 10;
    --scale;
  }
  return dac::Decimal::FromScaled(unscaled, scale);
}

// For a NUMBER without a scale: the finest scale `v` leaves room for.
int FinestScaleFor(double v) {
  const double magnitude = std::fabs(v);
  int scale = 0;
  while (scale < 18 && magnitude * kPowersOfTen[scale + 1] < 0x1p50) ++scale;
  return scale;
}

}  // namespace

std::optional<dac::Decimal> StoredNumber(const dac::Value& stored, std::optional<int> scale) {
  std::optional<dac::Decimal> d;
  switch (stored.Kind()) {
    case dac::ValueKind::kInteger:
      return dac::Decimal::FromInt(stored.AsInteger());
    case dac::ValueKind::kBoolean:
      return dac::Decimal::FromInt(stored.AsBoolean() ? 1 : 0);
    case dac::ValueKind::kDouble:
      if (!std::isfinite(stored.AsDouble())) return std::nullopt;
      if (auto exact = DecimalOfScale(stored.AsDouble(), scale ? *scale : FinestScaleFor(stored.AsDouble()))) {
        return exact;
      }
      d = dac::Decimal::Parse(ShortestDoubleText(stored.AsDouble()));
      break;
    case dac::ValueKind::kDecimal:
      d = stored.AsDecimal();
      break;
    case dac::ValueKind::kText:
      d = dac::Decimal::Parse(platform::Trim(stored.AsText()));
      break;
    default:
      return std::nullopt;
  }
  if (!d) return std::nullopt;
  // Most stored numbers carry no fraction zeros; those need no second parse.
  const std::string& text = d->ToString();
  if (text.find('.') == std::string::npos || text.back() != '0') return d;
  return dac::Decimal::Parse(StripFractionZeros(text));
}

namespace {

// Zeros between the point and the first significant digit of |d| < 1.
int LeadingFractionZeros(const dac::Decimal& d) {
  if (d.IntegerDigits() > 0) return 0;
  const std::string& t = d.ToString();
  const auto dot = t.find('.');
  if (dot == std::string::npos) return 0;
  const auto first = t.find_first_not_of('0', dot + 1);
  return static_cast<int>((first == std::string::npos ? t.size() : first) - dot - 1);
}

}  // namespace

std::string ColumnPath::Quoted() const { return "\"" + owner + "\".\"" + table + "\".\"" + column + "\""; }

dac::Value ToStored(const OracleType& type, const dac::Value& value, const ColumnPath& where) {
  if (value.IsNull()) return value;
  if (value.Kind() == dac::ValueKind::kText && value.AsText().empty()) return dac::Value();  // '' is NULL
  switch (type.kind) {
    case K::kNumber: {
      if (value.Kind() == dac::ValueKind::kBytes || value.Kind() == dac::ValueKind::kDateTime) {
        Inconsistent("NUMBER", value);
      }
      auto d = StoredNumber(value);
      if (!d) throw OracleError(1722, "invalid number");
      if (type.scale) d = d->Rounded(*type.scale);
      if (type.precision || type.scale) {
        const int allowed = type.precision.value_or(38) - type.scale.value_or(0);
        // With a scale beyond the precision (NUMBER(2,5)) the value must stay
        // below 10^(p-s): that many zeros lead its fraction.
        const bool too_large = allowed >= 0 ? d->IntegerDigits() > allowed
                                            : !d->IsZero() && (d->IntegerDigits() > 0 || LeadingFractionZeros(*d) < -allowed);
        if (too_large) {
          throw OracleError(1438, "value larger than specified precision allowed for this column");
        }
      }
      return NumberStorage(*d);
    }
    case K::kFloat:
    case K::kBinaryFloat:
    case K::kBinaryDouble: {
      std::optional<double> v;
      switch (value.Kind()) {
        case dac::ValueKind::kDouble:
          v = value.AsDouble();
          break;
        case dac::ValueKind::kInteger:
          v = static_cast<double>(value.AsInteger());
          break;
        case dac::ValueKind::kBoolean:
          v = value.AsBoolean() ? 1.0 : 0.0;
          break;
        case dac::ValueKind::kDecimal:
          v = ParseDouble(value.AsDecimal().ToString());
          break;
        case dac::ValueKind::kText:
          v = ParseDouble(platform::Trim(value.AsText()));
          if (!v) throw OracleError(1722, "invalid number");
          break;
        default:
          Inconsistent("NUMBER", value);
      }
      if (type.kind == K::kBinaryFloat) v = static_cast<double>(static_cast<float>(*v));
      return dac::Value(*v);
    }
    case K::kVarchar2:
    case K::kNVarchar2:
    case K::kChar:
    case K::kNChar:
    case K::kClob:
    case K::kNClob:
    case K::kLong: {
      std::string text;
      switch (value.Kind()) {
        case dac::ValueKind::kDouble:
          text = ShortestDoubleText(value.AsDouble());
          break;
        case dac::ValueKind::kBytes:
          text = Hex(value.AsBytes());
          break;
        default:
          text = value.ToText();
      }
      if (type.kind == K::kChar || type.kind == K::kNChar) {
        // Kept without the padding, so that 'A' and 'A  ' compare equal as
        // Oracle's blank-padded comparison of CHAR values has it; reads pad.
        const std::size_t last = text.find_last_not_of(' ');
        text.erase(last == std::string::npos ? 0 : last + 1);
      }
      if (type.IsText()) {
        const std::size_t chars = platform::CharLength(text);
        if (chars > static_cast<std::size_t>(type.length)) {
          throw OracleError(12899, "value too large for column " + where.Quoted() + " (actual: " +
                                       std::to_string(chars) + ", maximum: " + std::to_string(type.length) + ")");
        }
      }
      return dac::Value(std::move(text));
    }
    case K::kDate:
    case K::kTimestamp: {
      dac::DateTime d;
      if (value.Kind() == dac::ValueKind::kDateTime) {
        d = value.AsDateTime();
      } else if (value.Kind() == dac::ValueKind::kText) {
        d = ParseDateText(value.AsText());
      } else {
        Inconsistent("DATE", value);
      }
      if (type.kind == K::kDate) {
        d.nanosecond = 0;
      } else {
        int unit = 1;
        for (int k = type.precision.value_or(6); k < 9; ++k) unit *= 10;
        d.nanosecond -= d.nanosecond % unit;
      }
      return dac::Value(d.ToString());
    }
    case K::kBlob:
    case K::kRaw:
    case K::kLongRaw: {
      dac::Bytes bytes;
      if (value.Kind() == dac::ValueKind::kBytes) {
        bytes = value.AsBytes();
      } else if (value.Kind() == dac::ValueKind::kText) {
        auto decoded = FromHex(platform::Trim(value.AsText()));
        if (!decoded) throw OracleError(1465, "invalid hex number");
        bytes = std::move(*decoded);
      } else {
        Inconsistent("BINARY", value);
      }
      if (type.kind == K::kRaw) {
        if (bytes.empty()) return dac::Value();
        if (bytes.size() > static_cast<std::size_t>(type.length)) {
          throw OracleError(12899, "value too large for column " + where.Quoted() +
                                       " (actual: " + std::to_string(bytes.size()) +
                                       ", maximum: " + std::to_string(type.length) + ")");
        }
      }
      return dac::Value(std::move(bytes));
    }
  }
  return value;
}

dac::Value FromStored(const OracleType& type, dac::Value stored) {
  if (stored.IsNull()) return stored;
  switch (type.kind) {
    case K::kNumber: {
      if (type.IsInteger() && stored.Kind() == dac::ValueKind::kInteger) return stored;
      auto d = StoredNumber(stored, type.scale);
      if (!d) return stored;
      if (type.IsInteger()) {
        if (auto whole = d->ToInt64()) return dac::Value(*whole);
      }
      return dac::Value(std::move(*d));
    }
    case K::kFloat:
    case K::kBinaryFloat:
    case K::kBinaryDouble:
      if (stored.Kind() == dac::ValueKind::kInteger) return dac::Value(static_cast<double>(stored.AsInteger()));
      if (stored.Kind() == dac::ValueKind::kText) {
        if (auto v = ParseDouble(stored.AsText())) return dac::Value(*v);
      }
      return stored;
    case K::kChar:
    case K::kNChar:
      if (stored.Kind() == dac::ValueKind::kText) return dac::Value(PadTo(stored.AsText(), type.length));
      return stored;
    case K::kVarchar2:
    case K::kNVarchar2:
    case K::kClob:
    case K::kNClob:
    case K::kLong:
      if (stored.Kind() == dac::ValueKind::kInteger) return dac::Value(std::to_string(stored.AsInteger()));
      if (stored.Kind() == dac::ValueKind::kDouble) return dac::Value(ShortestDoubleText(stored.AsDouble()));
      return stored;
    case K::kDate:
    case K::kTimestamp:
      if (stored.Kind() == dac::ValueKind::kText) {
        if (auto d = dac::DateTime::Parse(stored.AsText())) return dac::Value(*d);
      }
      return stored;
    case K::kBlob:
    case K::kRaw:
    case K::kLongRaw:
      if (stored.Kind() == dac::ValueKind::kText) {
        const std::string& s = stored.AsText();
        return dac::Value(dac::Bytes(s.begin(), s.end()));
      }
      return stored;
  }
  return stored;
}

}  // namespace embedded
