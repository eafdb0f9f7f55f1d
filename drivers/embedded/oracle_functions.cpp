#include "drivers/embedded/oracle_functions.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "drivers/embedded/oracle_datetime.h"
#include "drivers/embedded/oracle_error.h"
#include "drivers/embedded/oracle_types.h"
#include "platform/text.h"

namespace embedded {
namespace {

using Args = std::vector<sqlite3_value*>;

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string Text(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_FLOAT) return ShortestDoubleText(sqlite3_value_double(v));
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

dac::Value Arg(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return dac::Value(static_cast<std::int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
      return dac::Value(sqlite3_value_double(v));
    case SQLITE_TEXT:
      return dac::Value(Text(v));
    case SQLITE_BLOB: {
      const auto* p = static_cast<const std::uint8_t*>(sqlite3_value_blob(v));
      return dac::Value(dac::Bytes(p, p + sqlite3_value_bytes(v)));
    }
    default:
      return dac::Value();
  }
}

dac::Decimal NumberArg(sqlite3_value* v) {
  auto d = StoredNumber(Arg(v));
  if (!d) throw OracleError(1722, "invalid number");
  return *d;
}

int IntArg(sqlite3_value* v) {
  const dac::Decimal d = NumberArg(v);
  const auto whole = d.Rounded(0).ToInt64();
  if (!whole || *whole > 1000000000 || *whole < -1000000000) throw OracleError(1722, "invalid number");
  return static_cast<int>(*whole);
}

void Result(sqlite3_context* ctx, const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kNull:
      sqlite3_result_null(ctx);
      break;
    case dac::ValueKind::kBoolean:
      sqlite3_result_int(ctx, v.AsBoolean() ? 1 : 0);
      break;
    case dac::ValueKind::kInteger:
      sqlite3_result_int64(ctx, v.AsInteger());
      break;
    case dac::ValueKind::kDouble:
      sqlite3_result_double(ctx, v.AsDouble());
      break;
    case dac::ValueKind::kDecimal:
      Result(ctx, NumberStorage(v.AsDecimal()));
      break;
    case dac::ValueKind::kBytes:
      sqlite3_result_blob64(ctx, v.AsBytes().data(), v.AsBytes().size(), SQLITE_TRANSIENT);
      break;
    case dac::ValueKind::kText:
    case dac::ValueKind::kDateTime: {
      const std::string text = v.ToText();
      if (text.empty()) {
        sqlite3_result_null(ctx);  // Oracle has no empty text: '' is NULL
      } else {
        sqlite3_result_text64(ctx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      }
      break;
    }
  }
}

// Byte offsets of the code points of a UTF-8 text, plus its size at the end.
std::vector<std::size_t> CharOffsets(const std::string& s) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) out.push_back(i);
  }
  out.push_back(s.size());
  return out;
}

std::string Pad(const std::string& s, int length, const std::string& pad, bool left) {
  const auto chars = CharOffsets(s);
  const int have = static_cast<int>(chars.size()) - 1;
  if (have >= length) return s.substr(0, chars[static_cast<std::size_t>(length)]);
  const auto pad_chars = CharOffsets(pad);
  const int pad_len = static_cast<int>(pad_chars.size()) - 1;
  if (pad_len == 0) return s;
  std::string fill;
  for (int k = 0; k < length - have; ++k) {
    const auto c = static_cast<std::size_t>(k % pad_len);
    fill += pad.substr(pad_chars[c], pad_chars[c + 1] - pad_chars[c]);
  }
  return left ? fill + s : s + fill;
}

dac::Decimal Truncated(const dac::Decimal& d, int scale) {
  std::string text = d.ToString();
  const auto dot = text.find('.');
  if (dot == std::string::npos || d.Scale() <= scale) return d;
  text.erase(scale <= 0 ? dot : dot + 1 + static_cast<std::size_t>(scale));
  return *dac::Decimal::Parse(text);
}

// Oracle writes numbers without a zero before the point: TO_CHAR(0.5) is ".5".
std::string OracleNumberText(const dac::Decimal& d) {
  std::string text = d.ToString();
  if (text.rfind("0.", 0) == 0) text.erase(0, 1);
  if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
  return text;
}

std::string UserenvParameter(const OracleSessionContext& c, const std::string& name) {
  const std::string p = platform::UpperAscii(name);
  if (p == "CURRENT_SCHEMA") return c.current_schema;
  if (p == "SESSION_USER" || p == "CURRENT_USER" || p == "AUTHENTICATED_IDENTITY") return c.session_user;
  if (p == "DB_NAME" || p == "INSTANCE_NAME" || p == "DB_UNIQUE_NAME" || p == "SERVICE_NAME") return "EMBEDDED";
  if (p == "LANGUAGE") return "AMERICAN_AMERICA.AL32UTF8";
  if (p == "LANG") return "US";
  if (p == "NLS_DATE_FORMAT") return std::string(kDefaultDateFormat);
  if (p == "SERVER_HOST" || p == "HOST") return "localhost";
  if (p == "OS_USER") {
    const char* user = std::getenv("USER");
    return user ? user : "";
  }
  throw OracleError(2003, "invalid USERENV parameter");
}

dac::DateTime LocalNow(bool fraction) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  dac::DateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec;
  d.nanosecond = fraction ? static_cast<int>(ts.tv_nsec / 1000 * 1000) : 0;
  return d;
}

int CompareValues(sqlite3_value* a, sqlite3_value* b) {
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  const bool na = ta == SQLITE_INTEGER || ta == SQLITE_FLOAT, nb = tb == SQLITE_INTEGER || tb == SQLITE_FLOAT;
  if (na || nb) {
    const auto da = StoredNumber(Arg(a)), db = StoredNumber(Arg(b));
    if (da && db) return dac::Decimal::Compare(*da, *db);
  }
  const std::string sa = Text(a), sb = Text(b);
  return sa < sb ? -1 : (sa == sb ? 0 : 1);
}

using Body = std::function<void(sqlite3_context*, const Args&, const OracleSessionContext&)>;

struct Registered {
  Body body;
  const OracleSessionContext* context;
};

void Dispatch(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* r = static_cast<const Registered*>(sqlite3_user_data(ctx));
  try {
    r->body(ctx, Args(argv, argv + argc), *r->context);
  } catch (const dac::DriverError& e) {
    sqlite3_result_error(ctx, e.ServerMessage().c_str(), -1);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

void Define(SqliteDb& db, const OracleSessionContext* context, const char* name, int arity, bool deterministic,
            Body body) {
  auto owned = std::make_unique<Registered>(Registered{std::move(body), context});
  const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (deterministic ? SQLITE_DETERMINISTIC : 0);
  // SQLite owns the function's data from here on and hands it back to the
  // destructor callback when the handle closes (or at once when the call fails).
  const int rc =
      sqlite3_create_function_v2(db.Handle(), name, arity, flags, owned.release(), Dispatch, nullptr, nullptr,
                                 [](void* p) { std::unique_ptr<Registered> adopt(static_cast<Registered*>(p)); });
  if (rc != SQLITE_OK) throw SqliteError(sqlite3_errmsg(db.Handle()), rc);
}

void ResultText(sqlite3_context* ctx, const std::string& s) { Result(ctx, dac::Value(s)); }

void DateFunction(sqlite3_context* ctx, const Args& a, bool timestamp) {
  if (IsNull(a[0])) return sqlite3_result_null(ctx);
  dac::DateTime d =
      a.size() >= 2 && !IsNull(a[1]) ? ParseOracleDateTime(Text(a[0]), Text(a[1])) : ParseDateText(Text(a[0]));
  if (!timestamp) d.nanosecond = 0;
  ResultText(ctx, d.ToString());
}

}  // namespace

void RegisterOracleFunctions(SqliteDb& db, const OracleSessionContext* context) {
  const auto def = [&](const char* name, int arity, bool deterministic, Body body) {
    Define(db, context, name, arity, deterministic, std::move(body));
  };

  def("NVL", 2, true,
      [](sqlite3_context* ctx, const Args& a, auto&) { sqlite3_result_value(ctx, IsNull(a[0]) ? a[1] : a[0]); });
  def("NVL2", 3, true,
      [](sqlite3_context* ctx, const Args& a, auto&) { sqlite3_result_value(ctx, IsNull(a[0]) ? a[2] : a[1]); });
  def("DECODE", -1, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    if (a.size() < 3) throw OracleError(938, "not enough arguments for function");
    std::size_t k = 1;
    for (; k + 1 < a.size(); k += 2) {
      // DECODE, unlike "=", takes two NULLs as equal.
      const bool match = IsNull(a[0]) ? IsNull(a[k]) : (!IsNull(a[k]) && CompareValues(a[0], a[k]) == 0);
      if (match) return sqlite3_result_value(ctx, a[k + 1]);
    }
    if (k < a.size()) return sqlite3_result_value(ctx, a[k]);
    sqlite3_result_null(ctx);
  });
  for (int arity : {2, 3}) {
    def("SYS_CONTEXT", arity, false, [](sqlite3_context* ctx, const Args& a, const OracleSessionContext& c) {
      if (platform::UpperAscii(Text(a[0])) != "USERENV") return sqlite3_result_null(ctx);
      ResultText(ctx, UserenvParameter(c, Text(a[1])));
    });
  }
  def("SYSDATE", 0, false,
      [](sqlite3_context* ctx, const Args&, auto&) { ResultText(ctx, LocalNow(false).ToString()); });
  def("SYSTIMESTAMP", 0, false,
      [](sqlite3_context* ctx, const Args&, auto&) { ResultText(ctx, LocalNow(true).ToString()); });
  def("TO_DATE", -1, true, [](sqlite3_context* ctx, const Args& a, auto&) { DateFunction(ctx, a, false); });
  def("TO_TIMESTAMP", -1, true, [](sqlite3_context* ctx, const Args& a, auto&) { DateFunction(ctx, a, true); });
  def("TO_CHAR", -1, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    if (a.empty() || IsNull(a[0])) return sqlite3_result_null(ctx);
    switch (sqlite3_value_type(a[0])) {
      case SQLITE_INTEGER:
      case SQLITE_FLOAT:
        return ResultText(ctx, OracleNumberText(NumberArg(a[0])));
      case SQLITE_BLOB: {
        Result(ctx, ToStored(OracleType::Of(OracleTypeKind::kClob), Arg(a[0]), {}));
        return;
      }
      default:
        break;
    }
    const std::string text = Text(a[0]);
    if (a.size() >= 2 && !IsNull(a[1])) {
      if (auto d = dac::DateTime::Parse(text)) return ResultText(ctx, FormatOracleDateTime(*d, Text(a[1])));
    }
    ResultText(ctx, text);
  });
  def("TO_NUMBER", -1, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    if (a.empty() || IsNull(a[0])) return sqlite3_result_null(ctx);
    Result(ctx, NumberArg(a[0]));
  });
  def("HEXTORAW", 1, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    Result(ctx, ToStored(OracleType::Of(OracleTypeKind::kBlob), Arg(a[0]), {}));
  });
  def("RAWTOHEX", 1, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    const dac::Value v = Arg(a[0]);
    const dac::Value bytes =
        v.Kind() == dac::ValueKind::kText ? dac::Value(dac::Bytes(v.AsText().begin(), v.AsText().end())) : v;
    Result(ctx, ToStored(OracleType::Of(OracleTypeKind::kClob), bytes, {}));
  });
  def("EMPTY_BLOB", 0, true, [](sqlite3_context* ctx, const Args&, auto&) { sqlite3_result_zeroblob(ctx, 0); });
  def("EMPTY_CLOB", 0, true,
      [](sqlite3_context* ctx, const Args&, auto&) { sqlite3_result_text(ctx, "", 0, SQLITE_STATIC); });
  for (const bool left : {true, false}) {
    def(left ? "LPAD" : "RPAD", -1, true, [left](sqlite3_context* ctx, const Args& a, auto&) {
      if (a.size() < 2 || a.size() > 3) throw OracleError(909, "invalid number of arguments");
      if (IsNull(a[0]) || IsNull(a[1]) || (a.size() == 3 && IsNull(a[2]))) return sqlite3_result_null(ctx);
      const int length = IntArg(a[1]);
      if (length < 1) return sqlite3_result_null(ctx);
      ResultText(ctx, Pad(Text(a[0]), length, a.size() == 3 ? Text(a[2]) : " ", left));
    });
  }
  def("CONCAT", 2, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    ResultText(ctx, (IsNull(a[0]) ? "" : Text(a[0])) + (IsNull(a[1]) ? "" : Text(a[1])));
  });
  for (const bool greatest : {true, false}) {
    def(greatest ? "GREATEST" : "LEAST", -1, true, [greatest](sqlite3_context* ctx, const Args& a, auto&) {
      if (a.empty()) throw OracleError(938, "not enough arguments for function");
      sqlite3_value* best = a[0];
      for (sqlite3_value* v : a) {
        if (IsNull(v)) return sqlite3_result_null(ctx);
        const int c = CompareValues(v, best);
        if (greatest ? c > 0 : c < 0) best = v;
      }
      sqlite3_result_value(ctx, best);
    });
  }
  for (int arity : {2, 3}) {
    def("SUBSTR", arity, true, [](sqlite3_context* ctx, const Args& a, auto&) {
      for (auto* v : a) {
        if (IsNull(v)) return sqlite3_result_null(ctx);
      }
      const std::string s = Text(a[0]);
      const auto chars = CharOffsets(s);
      const int n = static_cast<int>(chars.size()) - 1;
      int start = IntArg(a[1]);
      if (start == 0) start = 1;  // Oracle reads position 0 as 1
      if (start < 0) start = n + start + 1;
      if (start < 1 || start > n) return sqlite3_result_null(ctx);
      int length = a.size() == 3 ? IntArg(a[2]) : n;
      if (length < 1) return sqlite3_result_null(ctx);
      const int end = std::min(n, start - 1 + length);
      ResultText(ctx, s.substr(chars[static_cast<std::size_t>(start - 1)],
                               chars[static_cast<std::size_t>(end)] - chars[static_cast<std::size_t>(start - 1)]));
    });
  }
  for (int arity : {2, 3, 4}) {
    def("INSTR", arity, true, [](sqlite3_context* ctx, const Args& a, auto&) {
      for (auto* v : a) {
        if (IsNull(v)) return sqlite3_result_null(ctx);
      }
      const std::string s = Text(a[0]), sub = Text(a[1]);
      const int position = a.size() >= 3 ? IntArg(a[2]) : 1;
      const int occurrence = a.size() >= 4 ? IntArg(a[3]) : 1;
      if (position == 0 || occurrence < 1) return sqlite3_result_int(ctx, 0);
      const auto chars = CharOffsets(s);
      const int n = static_cast<int>(chars.size()) - 1;
      int found = 0;
      auto matches_at = [&](int k) { return s.compare(chars[static_cast<std::size_t>(k)], sub.size(), sub) == 0; };
      if (position > 0) {
        for (int k = position - 1; k < n; ++k) {
          if (matches_at(k) && ++found == occurrence) return sqlite3_result_int(ctx, k + 1);
        }
      } else {
        for (int k = n + position; k >= 0; --k) {
          if (matches_at(k) && ++found == occurrence) return sqlite3_result_int(ctx, k + 1);
        }
      }
      sqlite3_result_int(ctx, 0);
    });
  }
  for (int arity : {1, 2}) {
    def("ROUND", arity, true, [](sqlite3_context* ctx, const Args& a, auto&) {
      if (IsNull(a[0]) || (a.size() == 2 && IsNull(a[1]))) return sqlite3_result_null(ctx);
      const int places = a.size() == 2 ? IntArg(a[1]) : 0;
      const dac::Decimal d = NumberArg(a[0]);
      if (places >= 0) return Result(ctx, d.Rounded(places));
      const double scale = std::pow(10.0, -places);
      Result(ctx, dac::Value(std::round(std::stod(d.ToString()) / scale) * scale));
    });
    def("TRUNC", arity, true, [](sqlite3_context* ctx, const Args& a, auto&) {
      if (IsNull(a[0])) return sqlite3_result_null(ctx);
      if (sqlite3_value_type(a[0]) == SQLITE_TEXT) {
        if (auto d = dac::DateTime::Parse(Text(a[0]))) {
          const std::string unit = a.size() == 2 ? platform::UpperAscii(Text(a[1])) : "DD";
          d->nanosecond = 0;
          d->second = 0;
          if (unit != "MI") d->minute = 0;
          if (unit != "MI" && unit != "HH" && unit != "HH24") d->hour = 0;
          if (unit == "MM" || unit == "MON" || unit == "MONTH") d->day = 1;
          if (unit == "YYYY" || unit == "YEAR" || unit == "YY" || unit == "Y" || unit == "RRRR") d->day = d->month = 1;
          return ResultText(ctx, d->ToString());
        }
      }
      const int places = a.size() == 2 && !IsNull(a[1]) ? IntArg(a[1]) : 0;
      const dac::Decimal d = NumberArg(a[0]);
      if (places >= 0) return Result(ctx, Truncated(d, places));
      const double scale = std::pow(10.0, -places);
      Result(ctx, dac::Value(std::trunc(std::stod(d.ToString()) / scale) * scale));
    });
  }
  def("MOD", 2, true, [](sqlite3_context* ctx, const Args& a, auto&) {
    if (IsNull(a[0]) || IsNull(a[1])) return sqlite3_result_null(ctx);
    const dac::Decimal m = NumberArg(a[0]), n = NumberArg(a[1]);
    if (n.IsZero()) return Result(ctx, m);
    const auto mi = m.ToInt64(), ni = n.ToInt64();
    if (mi && ni) return Result(ctx, dac::Value(*mi % *ni));
    Result(ctx, dac::Value(std::fmod(std::stod(m.ToString()), std::stod(n.ToString()))));
  });
}

}  // namespace embedded
