#include "drivers/embedded/sqlserver_types.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "drivers/embedded/sql_lexer.h"
#include "drivers/embedded/sqlserver_errors.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

struct TypeName {
  const char* name;
  BaseType base;
};

constexpr std::array kTypeNames = {
    TypeName{"bit", BaseType::kBit},
    TypeName{"tinyint", BaseType::kTinyint},
    TypeName{"smallint", BaseType::kSmallint},
    TypeName{"int", BaseType::kInt},
    TypeName{"integer", BaseType::kInt},
    TypeName{"bigint", BaseType::kBigint},
    TypeName{"float", BaseType::kFloat},
    TypeName{"real", BaseType::kReal},
    TypeName{"money", BaseType::kMoney},
    TypeName{"smallmoney", BaseType::kSmallmoney},
    TypeName{"decimal", BaseType::kDecimal},
    TypeName{"dec", BaseType::kDecimal},
    TypeName{"numeric", BaseType::kNumeric},
    TypeName{"char", BaseType::kChar},
    TypeName{"character", BaseType::kChar},
    TypeName{"varchar", BaseType::kVarchar},
    TypeName{"text", BaseType::kText},
    TypeName{"nchar", BaseType::kNchar},
    TypeName{"nvarchar", BaseType::kNvarchar},
    TypeName{"ntext", BaseType::kNtext},
    TypeName{"binary", BaseType::kBinary},
    TypeName{"varbinary", BaseType::kVarbinary},
    TypeName{"image", BaseType::kImage},
    TypeName{"datetime", BaseType::kDatetime},
    TypeName{"smalldatetime", BaseType::kSmalldatetime},
    TypeName{"date", BaseType::kDate},
    TypeName{"time", BaseType::kTime},
    TypeName{"datetime2", BaseType::kDatetime2},
    TypeName{"uniqueidentifier", BaseType::kUniqueidentifier},
};

const char* BaseName(BaseType b) {
  switch (b) {
    case BaseType::kBit: return "bit";
    case BaseType::kTinyint: return "tinyint";
    case BaseType::kSmallint: return "smallint";
    case BaseType::kInt: return "int";
    case BaseType::kBigint: return "bigint";
    case BaseType::kFloat: return "float";
    case BaseType::kReal: return "real";
    case BaseType::kMoney: return "money";
    case BaseType::kSmallmoney: return "smallmoney";
    case BaseType::kDecimal: return "decimal";
    case BaseType::kNumeric: return "numeric";
    case BaseType::kChar: return "char";
    case BaseType::kVarchar: return "varchar";
    case BaseType::kText: return "text";
    case BaseType::kNchar: return "nchar";
    case BaseType::kNvarchar: return "nvarchar";
    case BaseType::kNtext: return "ntext";
    case BaseType::kBinary: return "binary";
    case BaseType::kVarbinary: return "varbinary";
    case BaseType::kImage: return "image";
    case BaseType::kDatetime: return "datetime";
    case BaseType::kSmalldatetime: return "smalldatetime";
    case BaseType::kDate: return "date";
    case BaseType::kTime: return "time";
    case BaseType::kDatetime2: return "datetime2";
    case BaseType::kUniqueidentifier: return "uniqueidentifier";
  }
  return "";
}

bool ParseCount(const std::string& text, int& out) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && p == text.data() + text.size();
}

std::string TrimBlanks(std::string_view s) { return platform::Trim(s); }

// Where a source value comes from, as the server names it in overflow messages.
std::string SourceName(const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kDecimal: return "numeric";
    case dac::ValueKind::kText: return "varchar";
    case dac::ValueKind::kDouble: return "float";
    default: return "expression";
  }
}

std::string DoubleText(double d) {
  char buf[64];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, ec == std::errc() ? p : buf);
}

std::optional<std::int64_t> ParseInteger(std::string_view s) {
  std::size_t i = s.size() && s[0] == '+' ? 1 : 0;
  std::int64_t v = 0;
  const auto [p, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || i == s.size()) return std::nullopt;
  return v;
}

std::optional<double> ParseDouble(std::string_view s) {
  double d = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
  return d;
}

// The integer part of a decimal, when it fits int64.
std::optional<std::int64_t> Truncated(const dac::Decimal& d) {
  const std::string& t = d.ToString();
  const auto dot = t.find('.');
  std::int64_t v = 0;
  const auto end = t.data() + (dot == std::string::npos ? t.size() : dot);
  const auto [p, ec] = std::from_chars(t.data(), end, v);
  if (ec != std::errc() || p != end) return std::nullopt;
  return v;
}

dac::Decimal WithScale(const dac::Decimal& d, int scale) {
  const dac::Decimal r = d.Rounded(scale);
  const int missing = scale - r.Scale();
  if (missing <= 0) return r;
  std::string text = r.ToString();
  if (r.Scale() == 0) text += '.';
  text.append(static_cast<std::size_t>(missing), '0');
  return *dac::Decimal::Parse(text);
}

std::optional<dac::Decimal> ExactFrom(const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kInteger: return dac::Decimal::FromInt(v.AsInteger());
    case dac::ValueKind::kBoolean: return dac::Decimal::FromInt(v.AsBoolean() ? 1 : 0);
    case dac::ValueKind::kDecimal: return v.AsDecimal();
    case dac::ValueKind::kDouble:
      if (!std::isfinite(v.AsDouble())) return std::nullopt;
      return dac::Decimal::Parse(DoubleText(v.AsDouble()));
    case dac::ValueKind::kText: {
      const std::string t = TrimBlanks(v.AsText());
      // A server reads no exponent into an exact number.
      if (t.find_first_of("eE") != std::string::npos) return std::nullopt;
      return dac::Decimal::Parse(t);
    }
    default: return std::nullopt;
  }
}

// Days and seconds arithmetic for the roundings that carry into the next day.
dac::DateTime AddSeconds(const dac::DateTime& d, std::int64_t seconds) {
  using namespace std::chrono;
  const sys_days day{year_month_day{year{d.year}, month{static_cast<unsigned>(d.month)},
                                    std::chrono::day{static_cast<unsigned>(d.day)}}};
  const sys_seconds t = day + hours{d.hour} + minutes{d.minute} + std::chrono::seconds{d.second + seconds};
  const sys_days new_day = floor<days>(t);
  const year_month_day ymd{new_day};
  const hh_mm_ss hms{t - new_day};
  dac::DateTime out;
  out.year = static_cast<int>(ymd.year());
  out.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  out.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  out.hour = static_cast<int>(hms.hours().count());
  out.minute = static_cast<int>(hms.minutes().count());
  out.second = static_cast<int>(hms.seconds().count());
  out.nanosecond = d.nanosecond;
  return out;
}

std::optional<dac::DateTime> ParseDateTimeText(std::string_view text) {
  const std::string t = TrimBlanks(text);
  if (auto d = dac::DateTime::Parse(t)) return d;
  // The unseparated form "yyyymmdd[ hh:nn:ss...]" that does not depend on the
  // session's date format.
  if (t.size() >= 8 && t.find_first_not_of("0123456789") >= 8) {
    std::string iso = t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + t.substr(8);
    return dac::DateTime::Parse(iso);
  }
  // A time of day alone means that time on 1900-01-01.
  if (t.size() >= 8 && t[2] == ':') return dac::DateTime::Parse("1900-01-01 " + t);
  return std::nullopt;
}

bool Blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// The first `n` characters of a UTF-8 text.
std::size_t BytesOfChars(std::string_view s, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < n && i < s.size(); ++k) {
    const auto b = static_cast<unsigned char>(s[i]);
    i += b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
  }
  return std::min(i, s.size());
}

dac::Value StoreInteger(const SqlType& t, const dac::Value& v) {
  std::int64_t n = 0;
  switch (v.Kind()) {
    case dac::ValueKind::kInteger: n = v.AsInteger(); break;
    case dac::ValueKind::kBoolean: n = v.AsBoolean() ? 1 : 0; break;
    case dac::ValueKind::kDecimal: {
      const auto i = Truncated(v.AsDecimal());
      if (!i) throw ArithmeticOverflowConverting("numeric", t.Name());
      n = *i;
      break;
    }
    case dac::ValueKind::kDouble: {
      const double d = std::trunc(v.AsDouble());
      if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
        throw ArithmeticOverflowConverting("float", t.Name());
      }
      n = static_cast<std::int64_t>(d);
      break;
    }
    case dac::ValueKind::kText: {
      const std::string s = TrimBlanks(v.AsText());
      if (t.base == BaseType::kBit) {
        if (platform::SameText(s, "true")) return dac::Value(std::int64_t{1});
        if (platform::SameText(s, "false")) return dac::Value(std::int64_t{0});
      }
      const auto i = ParseInteger(s);
      if (!i) {
        if (s.find_first_not_of("+-0123456789") == std::string::npos && !s.empty()) {
          throw ArithmeticOverflowConverting("varchar", t.Name());
        }
        throw ConversionFailed(v.AsText(), t.Name());
      }
      n = *i;
      break;
    }
    case dac::ValueKind::kBytes: throw ImplicitConversion("varbinary", t.Name());
    case dac::ValueKind::kDateTime: throw ImplicitConversion("datetime", t.Name());
    case dac::ValueKind::kNull: return v;
  }
  std::int64_t lo = std::numeric_limits<std::int64_t>::min(), hi = std::numeric_limits<std::int64_t>::max();
  switch (t.base) {
    case BaseType::kBit: return dac::Value(std::int64_t{n != 0 ? 1 : 0});
    case BaseType::kTinyint: lo = 0, hi = 255; break;
    case BaseType::kSmallint: lo = -32768, hi = 32767; break;
    case BaseType::kInt: lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max(); break;
    default: break;
  }
  if (n < lo || n > hi) {
    // The server names the value for its smallest types only.
    if (t.base == BaseType::kTinyint || t.base == BaseType::kSmallint) {
      throw ArithmeticOverflowForType(t.Name(), std::to_string(n));
    }
    throw ArithmeticOverflowConverting(SourceName(v), t.Name());
  }
  return dac::Value(n);
}

dac::Value StoreFloat(const SqlType& t, const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kDouble: return v;
    case dac::ValueKind::kInteger: return dac::Value(static_cast<double>(v.AsInteger()));
    case dac::ValueKind::kBoolean: return dac::Value(v.AsBoolean() ? 1.0 : 0.0);
    case dac::ValueKind::kDecimal: return dac::Value(*ParseDouble(v.AsDecimal().ToString()));
    case dac::ValueKind::kText: {
      const auto d = ParseDouble(TrimBlanks(v.AsText()));
      if (!d) throw ErrorConverting("varchar", t.Name());
      return dac::Value(*d);
    }
    case dac::ValueKind::kBytes: throw ImplicitConversion("varbinary", t.Name());
    case dac::ValueKind::kDateTime: throw ImplicitConversion("datetime", t.Name());
    case dac::ValueKind::kNull: return v;
  }
  return v;
}

dac::Value StoreExact(const SqlType& t, const dac::Value& v) {
  if (v.Kind() == dac::ValueKind::kBytes) throw ImplicitConversion("varbinary", t.Name());
  if (v.Kind() == dac::ValueKind::kDateTime) throw ImplicitConversion("datetime", t.Name());
  const auto d = ExactFrom(v);
  if (!d) {
    if (v.Kind() == dac::ValueKind::kText && (t.base == BaseType::kMoney || t.base == BaseType::kSmallmoney)) {
      throw ServerError(235, "22018", "Cannot convert a char value to money. The char value has incorrect syntax.");
    }
    if (v.Kind() == dac::ValueKind::kDouble) throw ArithmeticOverflowConverting("float", t.Name());
    throw ErrorConverting("varchar", t.Name());
  }
  const dac::Decimal scaled = WithScale(*d, t.scale);
  const int digits = scaled.IntegerDigits();
  bool overflow = digits > t.precision - t.scale;
  // Only values with as many digits as the limits need the exact comparison.
  if (t.base == BaseType::kMoney && digits >= 15) {
    static const dac::Decimal kMax = *dac::Decimal::Parse("922337203685477.5807");
    static const dac::Decimal kMin = *dac::Decimal::Parse("-922337203685477.5808");
    overflow = dac::Decimal::Compare(scaled, kMax) > 0 || dac::Decimal::Compare(scaled, kMin) < 0;
  } else if (t.base == BaseType::kSmallmoney && digits >= 6) {
    static const dac::Decimal kMax = *dac::Decimal::Parse("214748.3647");
    static const dac::Decimal kMin = *dac::Decimal::Parse("-214748.3648");
    overflow = dac::Decimal::Compare(scaled, kMax) > 0 || dac::Decimal::Compare(scaled, kMin) < 0;
  }
  if (overflow) {
    throw ArithmeticOverflowConverting(SourceName(v), t.IsExactNumber() && !(t.base == BaseType::kMoney ||
                                                                             t.base == BaseType::kSmallmoney)
                                                          ? "numeric"
                                                          : t.Name());
  }
  return dac::Value(scaled.ToString());
}

dac::Value StoreText(const SqlType& t, const dac::Value& v) {
  std::string s;
  switch (v.Kind()) {
    case dac::ValueKind::kNull: return v;
    case dac::ValueKind::kText: s = v.AsText(); break;
    case dac::ValueKind::kBytes:
      if (t.base == BaseType::kText || t.base == BaseType::kNtext) throw ImplicitConversion("varbinary", t.Name());
      s = v.ToText();
      break;
    default: s = v.ToText(); break;
  }
  if (t.length > 0) {
    const auto length = static_cast<std::size_t>(t.length);
    const std::size_t chars = platform::CharLength(s);
    if (chars > length) {
      // The server cuts surplus trailing blanks silently; anything else is refused.
      const std::size_t keep = BytesOfChars(s, length);
      if (!Blank(std::string_view(s).substr(keep))) throw WouldBeTruncated();
      s.resize(keep);
    } else if (t.base == BaseType::kChar || t.base == BaseType::kNchar) {
      s.append(length - chars, ' ');
    }
  }
  return dac::Value(std::move(s));
}

dac::Value StoreBinary(const SqlType& t, const dac::Value& v) {
  if (v.IsNull()) return v;
  if (v.Kind() != dac::ValueKind::kBytes) {
    const char* from = v.Kind() == dac::ValueKind::kText ? "varchar" : v.Kind() == dac::ValueKind::kDateTime ? "datetime" : "numeric";
    throw ImplicitConversion(from, t.Name());
  }
  dac::Bytes b = v.AsBytes();
  if (t.length > 0) {
    const auto length = static_cast<std::size_t>(t.length);
    if (b.size() > length) throw WouldBeTruncated();
    if (t.base == BaseType::kBinary) b.resize(length, 0);
  }
  return dac::Value(std::move(b));
}

// DateTime::ToString's form, written without printf: this runs once per
// date-time value of every row a copy inserts.
std::string DateTimeText(const dac::DateTime& d) {
  char buf[32];
  auto put = [&](int pos, int value, int width) {
    for (int k = width - 1; k >= 0; --k) {
      buf[pos + k] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, d.year, 4);
  buf[4] = '-';
  put(5, d.month, 2);
  buf[7] = '-';
  put(8, d.day, 2);
  buf[10] = ' ';
  put(11, d.hour, 2);
  buf[13] = ':';
  put(14, d.minute, 2);
  buf[16] = ':';
  put(17, d.second, 2);
  int n = 19;
  if (d.nanosecond != 0) {
    buf[19] = '.';
    put(20, d.nanosecond, 9);
    n = 29;
    while (buf[n - 1] == '0') --n;
  }
  return std::string(buf, static_cast<std::size_t>(n));
}

dac::Value StoreDateTime(const SqlType& t, const dac::Value& v) {
  dac::DateTime d;
  std::string from = "datetime2";
  switch (v.Kind()) {
    case dac::ValueKind::kNull: return v;
    case dac::ValueKind::kDateTime: d = v.AsDateTime(); break;
    case dac::ValueKind::kText: {
      const auto parsed = ParseDateTimeText(v.AsText());
      if (!parsed) throw DateTimeSyntax();
      d = *parsed;
      from = "varchar";
      break;
    }
    case dac::ValueKind::kBytes: throw ImplicitConversion("varbinary", t.Name());
    default: throw ImplicitConversion(v.Kind() == dac::ValueKind::kDouble ? "float" : "numeric", t.Name());
  }
  switch (t.base) {
    case BaseType::kDatetime: {
      // Steps of 1/300 second, shown as milliseconds ending in 0, 3 or 7.
      std::int64_t ticks = (static_cast<std::int64_t>(d.nanosecond) * 300 + 500000000) / 1000000000;
      if (ticks == 300) {
        d = AddSeconds(d, 1);
        ticks = 0;
      }
      d.nanosecond = static_cast<int>((ticks * 10 + 1) / 3) * 1000000;
      if (d.year < 1753 || d.year > 9999) throw DateTimeOutOfRange(from, "datetime");
      break;
    }
    case BaseType::kSmalldatetime: {
      const bool up = d.second * 1000000000LL + d.nanosecond >= 29999000000LL;
      d.second = 0;
      d.nanosecond = 0;
      if (up) d = AddSeconds(d, 60);
      if (d < dac::DateTime{1900, 1, 1} || d > dac::DateTime{2079, 6, 6, 23, 59}) {
        throw DateTimeOutOfRange(from, "smalldatetime");
      }
      break;
    }
    case BaseType::kDate: return dac::Value(DateTimeText(d).substr(0, 10));
    case BaseType::kTime: return dac::Value(DateTimeText(d).substr(11));
    default: break;
  }
  return dac::Value(DateTimeText(d));
}

// Collations. SQLite hands over texts with their lengths, not terminated.
int CompareBytes(int n1, const void* a, int n2, const void* b) {
  const int c = std::memcmp(a, b, static_cast<std::size_t>(std::min(n1, n2)));
  return c != 0 ? c : (n1 < n2 ? -1 : n1 > n2 ? 1 : 0);
}

int CompareCaseInsensitive(void*, int n1, const void* a, int n2, const void* b) {
  std::string_view x(static_cast<const char*>(a), static_cast<std::size_t>(n1));
  std::string_view y(static_cast<const char*>(b), static_cast<std::size_t>(n2));
  while (!x.empty() && x.back() == ' ') x.remove_suffix(1);
  while (!y.empty() && y.back() == ' ') y.remove_suffix(1);
  const std::size_t n = std::min(x.size(), y.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto cx = static_cast<unsigned char>(x[i]);
    auto cy = static_cast<unsigned char>(y[i]);
    if (cx >= 0x80 || cy >= 0x80) {
      const std::string fx = platform::CaseFold(x), fy = platform::CaseFold(y);
      return fx.compare(fy) < 0 ? -1 : fx == fy ? 0 : 1;
    }
    if (cx >= 'A' && cx <= 'Z') cx += 32;
    if (cy >= 'A' && cy <= 'Z') cy += 32;
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

int CompareDecimals(void*, int n1, const void* a, int n2, const void* b) {
  const auto x = dac::Decimal::Parse(TrimBlanks({static_cast<const char*>(a), static_cast<std::size_t>(n1)}));
  const auto y = dac::Decimal::Parse(TrimBlanks({static_cast<const char*>(b), static_cast<std::size_t>(n2)}));
  if (x && y) return dac::Decimal::Compare(*x, *y);
  if (x || y) return x ? -1 : 1;  // numbers before anything else
  return CompareBytes(n1, a, n2, b);
}

int CompareDateTimes(void*, int n1, const void* a, int n2, const void* b) {
  const auto x = ParseDateTimeText({static_cast<const char*>(a), static_cast<std::size_t>(n1)});
  const auto y = ParseDateTimeText({static_cast<const char*>(b), static_cast<std::size_t>(n2)});
  if (x && y) return *x < *y ? -1 : *y < *x ? 1 : 0;
  if (x || y) return x ? -1 : 1;
  return CompareBytes(n1, a, n2, b);
}

}  // namespace

std::optional<SqlType> SqlType::Parse(std::string_view declared) {
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(declared);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
  std::size_t i = 0;
  if (tokens[i].kind != TokenKind::kWord && tokens[i].kind != TokenKind::kQuotedName) return std::nullopt;
  const std::string name = tokens[i++].text;
  SqlType t;
  if (platform::SameText(name, "sysname")) {
    t.base = BaseType::kNvarchar;
    t.length = 128;
    return tokens[i].kind == TokenKind::kEnd ? std::optional(t) : std::nullopt;
  }
  bool found = false;
  for (const auto& n : kTypeNames) {
    if (platform::SameText(name, n.name)) {
      t.base = n.base;
      found = true;
    }
  }
  if (!found) return std::nullopt;
  // "double precision" and "char varying" spellings are not needed here.
  std::vector<std::string> args;
  if (tokens[i].IsSymbol("(")) {
    ++i;
    for (;;) {
      if (tokens[i].kind != TokenKind::kNumber && !tokens[i].Is("max")) return std::nullopt;
      args.push_back(tokens[i++].text);
      if (tokens[i].IsSymbol(")")) break;
      if (!tokens[i].IsSymbol(",")) return std::nullopt;
      ++i;
    }
    ++i;
  }
  if (tokens[i].kind != TokenKind::kEnd) return std::nullopt;

  auto number = [&](std::size_t k, int lo, int hi, int& out) {
    return ParseCount(args[k], out) && out >= lo && out <= hi;
  };
  switch (t.base) {
    case BaseType::kChar:
    case BaseType::kVarchar:
    case BaseType::kNchar:
    case BaseType::kNvarchar:
    case BaseType::kBinary:
    case BaseType::kVarbinary: {
      const bool wide = t.base == BaseType::kNchar || t.base == BaseType::kNvarchar;
      const bool variable = t.base == BaseType::kVarchar || t.base == BaseType::kNvarchar || t.base == BaseType::kVarbinary;
      t.length = 1;
      if (args.size() > 1) return std::nullopt;
      if (args.size() == 1) {
        if (platform::SameText(args[0], "max")) {
          if (!variable) return std::nullopt;
          t.length = kMax;
        } else if (!number(0, 1, wide ? 4000 : 8000, t.length)) {
          return std::nullopt;
        }
      }
      return t;
    }
    case BaseType::kDecimal:
    case BaseType::kNumeric:
      t.precision = 18;
      if (args.size() > 2) return std::nullopt;
      if (!args.empty() && !number(0, 1, 38, t.precision)) return std::nullopt;
      if (args.size() == 2 && !number(1, 0, t.precision, t.scale)) return std::nullopt;
      return t;
    case BaseType::kFloat: {
      int n = 53;
      if (args.size() > 1 || (args.size() == 1 && !number(0, 1, 53, n))) return std::nullopt;
      if (n <= 24) t.base = BaseType::kReal;
      t.precision = n <= 24 ? 24 : 53;
      return t;
    }
    case BaseType::kTime:
    case BaseType::kDatetime2:
      t.scale = 7;
      if (args.size() > 1 || (args.size() == 1 && !number(0, 0, 7, t.scale))) return std::nullopt;
      return t;
    default:
      if (!args.empty()) return std::nullopt;
      if (t.base == BaseType::kReal) t.precision = 24;
      if (t.base == BaseType::kMoney) t.precision = 19, t.scale = 4;
      if (t.base == BaseType::kSmallmoney) t.precision = 10, t.scale = 4;
      return t;
  }
}

std::string SqlType::Name() const { return BaseName(base); }

std::string SqlType::ToString() const {
  const std::string name = Name();
  switch (base) {
    case BaseType::kChar:
    case BaseType::kVarchar:
    case BaseType::kNchar:
    case BaseType::kNvarchar:
    case BaseType::kBinary:
    case BaseType::kVarbinary:
      return name + "(" + (length == kMax ? std::string("max") : std::to_string(length)) + ")";
    case BaseType::kDecimal:
    case BaseType::kNumeric:
      return name + "(" + std::to_string(precision) + ", " + std::to_string(scale) + ")";
    case BaseType::kTime:
    case BaseType::kDatetime2:
      return name + "(" + std::to_string(scale) + ")";
    default:
      return name;
  }
}

bool SqlType::IsInteger() const {
  return base == BaseType::kBit || base == BaseType::kTinyint || base == BaseType::kSmallint || base == BaseType::kInt ||
         base == BaseType::kBigint;
}

bool SqlType::IsExactNumber() const {
  return base == BaseType::kMoney || base == BaseType::kSmallmoney || base == BaseType::kDecimal ||
         base == BaseType::kNumeric;
}

bool SqlType::IsText() const {
  return base == BaseType::kChar || base == BaseType::kVarchar || base == BaseType::kText || base == BaseType::kNchar ||
         base == BaseType::kNvarchar || base == BaseType::kNtext || base == BaseType::kUniqueidentifier;
}

bool SqlType::IsBinary() const {
  return base == BaseType::kBinary || base == BaseType::kVarbinary || base == BaseType::kImage;
}

bool SqlType::IsDateTime() const {
  return base == BaseType::kDatetime || base == BaseType::kSmalldatetime || base == BaseType::kDate ||
         base == BaseType::kTime || base == BaseType::kDatetime2;
}

std::string SqlType::StorageDeclaration() const {
  if (IsInteger()) return "INTEGER";
  if (base == BaseType::kFloat || base == BaseType::kReal) return "REAL";
  if (IsExactNumber()) return std::string("TEXT COLLATE ") + kDecimalCollation;
  if (IsDateTime()) return std::string("TEXT COLLATE ") + kDateTimeCollation;
  if (IsBinary()) return "BLOB";
  return std::string("TEXT COLLATE ") + kTextCollation;
}

dac::Column SqlType::Describe() const {
  dac::Column c;
  c.declared_type = ToString();
  switch (base) {
    case BaseType::kBit: c.type = dac::FieldType::ftBoolean; break;
    case BaseType::kTinyint: c.type = dac::FieldType::ftWord; break;
    case BaseType::kSmallint: c.type = dac::FieldType::ftSmallint; break;
    case BaseType::kInt: c.type = dac::FieldType::ftInteger; break;
    case BaseType::kBigint: c.type = dac::FieldType::ftLargeint; break;
    case BaseType::kFloat:
    case BaseType::kReal:
      c.type = dac::FieldType::ftFloat;
      c.precision = precision;
      break;
    case BaseType::kMoney:
    case BaseType::kSmallmoney:
      c.type = dac::FieldType::ftCurrency;
      c.precision = precision;
      c.scale = scale;
      break;
    case BaseType::kDecimal:
    case BaseType::kNumeric:
      // What fits a currency-sized BCD travels as ftBCD; wider values need ftFMTBcd.
      c.type = precision <= 18 && scale <= 4 ? dac::FieldType::ftBCD : dac::FieldType::ftFMTBcd;
      c.precision = precision;
      c.scale = scale;
      break;
    case BaseType::kChar:
    case BaseType::kVarchar:
      c.type = length == kMax ? dac::FieldType::ftMemo : dac::FieldType::ftString;
      c.size = length == kMax ? 0 : length;
      break;
    case BaseType::kText: c.type = dac::FieldType::ftMemo; break;
    case BaseType::kNchar:
    case BaseType::kNvarchar:
      c.type = length == kMax ? dac::FieldType::ftWideMemo : dac::FieldType::ftWideString;
      c.size = length == kMax ? 0 : length;
      break;
    case BaseType::kNtext: c.type = dac::FieldType::ftWideMemo; break;
    case BaseType::kBinary:
      c.type = dac::FieldType::ftBytes;
      c.size = length;
      break;
    case BaseType::kVarbinary:
      c.type = length == kMax ? dac::FieldType::ftBlob : dac::FieldType::ftVarBytes;
      c.size = length == kMax ? 0 : length;
      break;
    case BaseType::kImage: c.type = dac::FieldType::ftBlob; break;
    case BaseType::kDatetime:
    case BaseType::kSmalldatetime:
    case BaseType::kDatetime2: c.type = dac::FieldType::ftDateTime; break;
    case BaseType::kDate: c.type = dac::FieldType::ftDate; break;
    case BaseType::kTime: c.type = dac::FieldType::ftTime; break;
    case BaseType::kUniqueidentifier:
      c.type = dac::FieldType::ftGuid;
      c.size = 38;
      break;
  }
  return c;
}

dac::Value SqlType::ToStored(const dac::Value& v) const {
  if (v.IsNull()) return v;
  if (IsInteger()) return StoreInteger(*this, v);
  if (base == BaseType::kFloat || base == BaseType::kReal) return StoreFloat(*this, v);
  if (IsExactNumber()) return StoreExact(*this, v);
  if (IsBinary()) return StoreBinary(*this, v);
  if (IsDateTime()) return StoreDateTime(*this, v);
  return StoreText(*this, v);
}

bool SqlType::StoresAsIs(const dac::Value& v) const {
  if (IsInteger() || base == BaseType::kFloat || base == BaseType::kReal || IsExactNumber() || IsDateTime()) {
    return false;
  }
  if (IsBinary()) {
    if (v.Kind() != dac::ValueKind::kBytes) return false;
    const std::size_t n = v.AsBytes().size();
    const auto limit = static_cast<std::size_t>(length);
    return length <= 0 || (n <= limit && (base != BaseType::kBinary || n == limit));
  }
  if (v.Kind() != dac::ValueKind::kText) return false;
  if (length <= 0) return true;
  const std::size_t chars = platform::CharLength(v.AsText());
  const auto limit = static_cast<std::size_t>(length);
  return chars == limit || (chars < limit && base != BaseType::kChar && base != BaseType::kNchar);
}

dac::Value SqlType::FromStored(const dac::Value& s) const {
  if (s.IsNull()) return s;
  if (IsInteger()) {
    std::optional<std::int64_t> n;
    if (s.Kind() == dac::ValueKind::kInteger) n = s.AsInteger();
    if (s.Kind() == dac::ValueKind::kDouble) n = static_cast<std::int64_t>(s.AsDouble());
    if (s.Kind() == dac::ValueKind::kText) n = ParseInteger(TrimBlanks(s.AsText()));
    if (!n) return s;
    if (base == BaseType::kBit) return dac::Value(*n != 0);
    return dac::Value(*n);
  }
  if (base == BaseType::kFloat || base == BaseType::kReal) {
    if (s.Kind() == dac::ValueKind::kInteger) return dac::Value(static_cast<double>(s.AsInteger()));
    if (s.Kind() == dac::ValueKind::kText) {
      if (const auto d = ParseDouble(TrimBlanks(s.AsText()))) return dac::Value(*d);
    }
    return s;
  }
  if (IsExactNumber()) {
    const auto d = ExactFrom(s);
    return d ? dac::Value(WithScale(*d, scale)) : s;
  }
  if (IsDateTime()) {
    if (s.Kind() != dac::ValueKind::kText) return s;
    const auto d = ParseDateTimeText(s.AsText());
    return d ? dac::Value(*d) : s;
  }
  if (IsBinary()) {
    if (s.Kind() == dac::ValueKind::kText) return dac::Value(dac::Bytes(s.AsText().begin(), s.AsText().end()));
    return s;
  }
  if (s.Kind() == dac::ValueKind::kText) return s;
  return dac::Value(s.ToText());
}

std::optional<std::string> DatePartName(std::string_view word) {
  struct Entry {
    const char* part;
    std::array<const char*, 3> spellings;
  };
  static constexpr Entry kParts[] = {
      {"year", {"year", "yy", "yyyy"}},      {"quarter", {"quarter", "qq", "q"}},
      {"month", {"month", "mm", "m"}},       {"dayofyear", {"dayofyear", "dy", "y"}},
      {"day", {"day", "dd", "d"}},           {"week", {"week", "wk", "ww"}},
      {"weekday", {"weekday", "dw", "w"}},   {"hour", {"hour", "hh", "hh"}},
      {"minute", {"minute", "mi", "n"}},     {"second", {"second", "ss", "s"}},
      {"millisecond", {"millisecond", "ms", "ms"}}, {"microsecond", {"microsecond", "mcs", "mcs"}},
      {"nanosecond", {"nanosecond", "ns", "ns"}},
  };
  for (const Entry& e : kParts) {
    for (const char* spelling : e.spellings) {
      if (platform::SameText(word, spelling)) return e.part;
    }
  }
  return std::nullopt;
}

std::int64_t DatePartOf(std::string_view part, const dac::DateTime& d) {
  using namespace std::chrono;
  const year_month_day ymd{year{d.year}, month{static_cast<unsigned>(d.month)}, day{static_cast<unsigned>(d.day)}};
  const sys_days date{ymd};
  const sys_days new_year{year{d.year} / January / 1};
  const auto day_of_year = (date - new_year).count() + 1;
  // Sunday is day 1 of the week.
  const auto weekday_of = [](sys_days t) { return static_cast<std::int64_t>(weekday{t}.c_encoding()) + 1; };
  if (part == "year") return d.year;
  if (part == "quarter") return (d.month - 1) / 3 + 1;
  if (part == "month") return d.month;
  if (part == "dayofyear") return day_of_year;
  if (part == "day") return d.day;
  if (part == "week") return (day_of_year + weekday_of(new_year) - 2) / 7 + 1;
  if (part == "weekday") return weekday_of(date);
  if (part == "hour") return d.hour;
  if (part == "minute") return d.minute;
  if (part == "second") return d.second;
  if (part == "millisecond") return d.nanosecond / 1000000;
  if (part == "microsecond") return d.nanosecond / 1000;
  if (part == "nanosecond") return d.nanosecond;
  throw std::invalid_argument("Unknown date part " + std::string(part));
}

void RegisterSqlServerCollations(sqlite3* db) {
  struct Entry {
    const char* name;
    int (*compare)(void*, int, const void*, int, const void*);
  };
  for (const Entry& e : {Entry{kTextCollation, CompareCaseInsensitive}, Entry{kDecimalCollation, CompareDecimals},
                         Entry{kDateTimeCollation, CompareDateTimes}}) {
    if (sqlite3_create_collation_v2(db, e.name, SQLITE_UTF8, nullptr, e.compare, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("Cannot register the collation ") + e.name + ": " + sqlite3_errmsg(db));
    }
  }
}

}  // namespace embedded::sqlserver
