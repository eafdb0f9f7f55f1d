#include "drivers/embedded/oracle_datetime.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "drivers/embedded/oracle_error.h"
#include "platform/text.h"

namespace embedded {
namespace {

constexpr const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                   "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
constexpr const char* kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

// The elements of a format model, longest first so that "HH24" wins over "HH".
constexpr const char* kElements[] = {
    "SYYYY", "SSSSS", "MONTH", "A.M.", "P.M.", "YYYY", "RRRR", "HH24", "HH12", "YYY", "MON", "DDD", "DAY",
    "FF1",   "FF2",   "FF3",   "FF4",  "FF5",  "FF6",  "FF7",  "FF8",  "FF9",  "YY",  "RR",  "MM",  "DD",
    "DY",    "HH",    "MI",    "SS",   "FF",   "AM",   "PM",   "FM",   "FX",   "Y",   "D",   "Q",
};

struct FormatItem {
  enum Kind { kElement, kLiteral } kind;
  std::string text;      // the element upper-cased, or the literal as written
  std::string original;  // the element as written (its letter case picks the case of names)
};

std::vector<FormatItem> SplitFormat(std::string_view format) {
  std::vector<FormatItem> items;
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] == '"') {
      const std::size_t close = format.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? format.size() : close;
      items.push_back({FormatItem::kLiteral, std::string(format.substr(i + 1, end - i - 1)), {}});
      i = end + 1;
      continue;
    }
    bool matched = false;
    for (const char* e : kElements) {
      const std::string_view element(e);
      if (i + element.size() <= format.size() && platform::UpperAscii(format.substr(i, element.size())) == element) {
        items.push_back({FormatItem::kElement, std::string(element), std::string(format.substr(i, element.size()))});
        i += element.size();
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (std::isalpha(static_cast<unsigned char>(format[i]))) {
      throw OracleError(1821, "date format not recognized");
    }
    items.push_back({FormatItem::kLiteral, std::string(1, format[i]), {}});
    ++i;
  }
  return items;
}

// Names follow the letter case of the element: MON gives JAN, Mon gives Jan, mon gives jan.
std::string CasedName(std::string upper, const std::string& element) {
  if (element.size() >= 2 && std::islower(static_cast<unsigned char>(element[1]))) {
    for (std::size_t k = std::islower(static_cast<unsigned char>(element[0])) ? 0 : 1; k < upper.size(); ++k) {
      upper[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(upper[k])));
    }
  }
  return upper;
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}

int Weekday(const dac::DateTime& d) {  // 0 = Sunday
  const std::chrono::year_month_day ymd{std::chrono::year{d.year}, std::chrono::month{static_cast<unsigned>(d.month)},
                                        std::chrono::day{static_cast<unsigned>(d.day)}};
  return static_cast<int>(std::chrono::weekday{std::chrono::sys_days{ymd}}.c_encoding());
}

int DayOfYear(const dac::DateTime& d) {
  using namespace std::chrono;
  const sys_days day{year_month_day{year{d.year}, month{static_cast<unsigned>(d.month)},
                                    std::chrono::day{static_cast<unsigned>(d.day)}}};
  const sys_days first{year_month_day{year{d.year}, January, std::chrono::day{1}}};
  return static_cast<int>((day - first).count()) + 1;
}

class DateReader {
 public:
  explicit DateReader(std::string_view text) : s_(text) {}

  void SkipBlanks() {
    while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  void SkipPunctuation() {
    while (p_ < s_.size() && !std::isalnum(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  int Number(std::size_t max_digits) {
    SkipBlanks();
    std::size_t n = 0;
    int v = 0;
    while (p_ < s_.size() && n < max_digits && std::isdigit(static_cast<unsigned char>(s_[p_]))) {
      v = v * 10 + (s_[p_++] - '0');
      ++n;
    }
    if (n == 0) throw OracleError(1858, "a non-numeric character was found where a numeric was expected");
    digits_ = n;
    return v;
  }
  std::size_t LastDigits() const { return digits_; }
  // Reads a name from `names` (full, or its first three letters); returns its index.
  int Name(const char* const* names, int count, bool abbreviated_only, int error_code, const char* error_text) {
    SkipBlanks();
    for (int k = 0; k < count; ++k) {
      const std::string_view full(names[k]);
      const std::size_t rest = s_.size() - p_;
      if (!abbreviated_only && rest >= full.size() && platform::UpperAscii(s_.substr(p_, full.size())) == full) {
        p_ += full.size();
        return k;
      }
      if (rest >= 3 && platform::UpperAscii(s_.substr(p_, 3)) == full.substr(0, 3)) {
        p_ += 3;
        return k;
      }
    }
    throw OracleError(error_code, error_text);
  }
  bool Meridian() {  // true for PM
    SkipBlanks();
    const std::string rest = platform::UpperAscii(s_.substr(p_, 4));
    for (const char* m : {"A.M.", "P.M.", "AM", "PM"}) {
      const std::string_view mv(m);
      if (rest.substr(0, mv.size()) == mv) {
        p_ += mv.size();
        return mv[0] == 'P';
      }
    }
    throw OracleError(1855, "AM/A.M. or PM/P.M. required");
  }
  void Literal(const std::string& lit) {
    const bool punctuation = lit.size() == 1 && !std::isalnum(static_cast<unsigned char>(lit[0]));
    if (punctuation) {
      SkipPunctuation();
      return;
    }
    SkipBlanks();
    if (platform::UpperAscii(s_.substr(p_, lit.size())) != platform::UpperAscii(lit)) {
      throw OracleError(1861, "literal does not match format string");
    }
    p_ += lit.size();
  }
  bool AtEnd() {
    SkipBlanks();
    return p_ >= s_.size();
  }

 private:
  std::string_view s_;
  std::size_t p_ = 0;
  std::size_t digits_ = 0;
};

}  // namespace

dac::DateTime ParseOracleDateTime(std::string_view text, std::string_view format) {
  const std::tm now = LocalNow();
  std::optional<int> year, month, day, hour24, hour12, minute, second, nanos;
  bool pm = false, has_meridian = false;
  DateReader in(text);
  for (const FormatItem& item : SplitFormat(format)) {
    if (item.kind == FormatItem::kLiteral) {
      in.Literal(item.text);
      continue;
    }
    const std::string& e = item.text;
    if (e == "YYYY" || e == "SYYYY") {
      year = in.Number(4);
    } else if (e == "RRRR" || e == "RR") {
      const int v = in.Number(e == "RR" ? 2 : 4);
      year = in.LastDigits() <= 2 ? (v < 50 ? 2000 + v : 1900 + v) : v;
    } else if (e == "YYY" || e == "YY" || e == "Y") {
      const int v = in.Number(e.size());
      int mod = 1;
      for (std::size_t k = 0; k < e.size(); ++k) mod *= 10;
      year = (1900 + now.tm_year) / mod * mod + v;
    } else if (e == "MM") {
      month = in.Number(2);
    } else if (e == "MON" || e == "MONTH") {
      month = in.Name(kMonths, 12, e == "MON", 1843, "not a valid month") + 1;
    } else if (e == "DD") {
      day = in.Number(2);
    } else if (e == "DY" || e == "DAY") {
      in.Name(kDays, 7, e == "DY", 1846, "not a valid day of the week");
    } else if (e == "D") {
      in.Number(1);
    } else if (e == "DDD") {
      in.Number(3);
    } else if (e == "HH24") {
      hour24 = in.Number(2);
    } else if (e == "HH" || e == "HH12") {
      hour12 = in.Number(2);
    } else if (e == "MI") {
      minute = in.Number(2);
    } else if (e == "SS") {
      second = in.Number(2);
    } else if (e == "SSSSS") {
      const int v = in.Number(5);
      hour24 = v / 3600;
      minute = v / 60 % 60;
      second = v % 60;
    } else if (e.rfind("FF", 0) == 0) {
      const std::size_t max = e.size() == 3 ? static_cast<std::size_t>(e[2] - '0') : 9;
      int v = in.Number(max);
      for (std::size_t k = in.LastDigits(); k < 9; ++k) v *= 10;
      nanos = v;
    } else if (e == "AM" || e == "PM" || e == "A.M." || e == "P.M.") {
      pm = in.Meridian();
      has_meridian = true;
    } else if (e == "Q") {
      in.Number(1);
    }
    // FM and FX change nothing when reading.
  }
  if (!in.AtEnd()) throw OracleError(1830, "date format picture ends before converting entire input string");

  dac::DateTime d;
  d.year = year.value_or(1900 + now.tm_year);
  d.month = month.value_or(now.tm_mon + 1);
  d.day = day.value_or(1);
  if (hour12) {
    if (*hour12 < 1 || *hour12 > 12) throw OracleError(1849, "hour must be between 1 and 12");
    d.hour = *hour12 % 12 + (has_meridian && pm ? 12 : 0);
  } else {
    d.hour = hour24.value_or(0);
  }
  d.minute = minute.value_or(0);
  d.second = second.value_or(0);
  d.nanosecond = nanos.value_or(0);
  if (d.year < 1 || d.year > 9999) throw OracleError(1841, "(full) year must be between -4713 and +9999, and not be 0");
  if (d.month < 1 || d.month > 12) throw OracleError(1843, "not a valid month");
  if (d.hour > 23) throw OracleError(1850, "hour must be between 0 and 23");
  if (d.minute > 59) throw OracleError(1851, "minutes must be between 0 and 59");
  if (d.second > 59) throw OracleError(1852, "seconds must be between 0 and 59");
  if (d.day < 1 || !d.IsValid()) throw OracleError(1847, "day of month must be between 1 and last day of month");
  return d;
}

dac::DateTime ParseDateText(std::string_view text) {
  const std::string trimmed = platform::Trim(text);
  if (auto iso = dac::DateTime::Parse(trimmed)) return *iso;
  if (trimmed.size() >= 10 && trimmed[4] == '-' && trimmed[7] == '-') {
    throw OracleError(1861, "literal does not match format string");
  }
  return ParseOracleDateTime(trimmed, kDefaultDateFormat);
}

std::string FormatOracleDateTime(const dac::DateTime& v, std::string_view format) {
  std::string out;
  bool fill = true;  // FM switches the padding of numbers and names off and on
  char buf[32];
  auto number = [&](int value, int width) {
    std::snprintf(buf, sizeof buf, "%0*d", fill ? width : 1, value);
    out += buf;
  };
  auto name = [&](const char* upper, const std::string& element, std::size_t pad) {
    std::string n = CasedName(upper, element);
    if (fill && n.size() < pad) n.append(pad - n.size(), ' ');
    out += n;
  };
  const int hour12 = v.hour % 12 == 0 ? 12 : v.hour % 12;
  for (const FormatItem& item : SplitFormat(format)) {
    if (item.kind == FormatItem::kLiteral) {
      out += item.text;
      continue;
    }
    const std::string& e = item.text;
    if (e == "YYYY" || e == "RRRR" || e == "SYYYY") {
      number(v.year, 4);
    } else if (e == "YYY") {
      number(v.year % 1000, 3);
    } else if (e == "YY" || e == "RR") {
      number(v.year % 100, 2);
    } else if (e == "Y") {
      number(v.year % 10, 1);
    } else if (e == "MM") {
      number(v.month, 2);
    } else if (e == "MON") {
      name(std::string(kMonths[v.month - 1]).substr(0, 3).c_str(), item.original, 3);
    } else if (e == "MONTH") {
      name(kMonths[v.month - 1], item.original, 9);
    } else if (e == "DD") {
      number(v.day, 2);
    } else if (e == "D") {
      number(Weekday(v) + 1, 1);
    } else if (e == "DDD") {
      number(DayOfYear(v), 3);
    } else if (e == "DY") {
      name(std::string(kDays[Weekday(v)]).substr(0, 3).c_str(), item.original, 3);
    } else if (e == "DAY") {
      name(kDays[Weekday(v)], item.original, 9);
    } else if (e == "HH" || e == "HH12") {
      number(hour12, 2);
    } else if (e == "HH24") {
      number(v.hour, 2);
    } else if (e == "MI") {
      number(v.minute, 2);
    } else if (e == "SS") {
      number(v.second, 2);
    } else if (e == "SSSSS") {
      number(v.hour * 3600 + v.minute * 60 + v.second, 5);
    } else if (e.rfind("FF", 0) == 0) {
      const int digits = e.size() == 3 ? e[2] - '0' : 6;
      std::snprintf(buf, sizeof buf, "%09d", v.nanosecond);
      out.append(buf, static_cast<std::size_t>(digits));
    } else if (e == "AM" || e == "PM") {
      name(v.hour < 12 ? "AM" : "PM", item.original, 2);
    } else if (e == "A.M." || e == "P.M.") {
      name(v.hour < 12 ? "A.M." : "P.M.", item.original, 4);
    } else if (e == "Q") {
      number((v.month - 1) / 3 + 1, 1);
    } else if (e == "FM") {
      fill = !fill;
    }
  }
  return out;
}

}  // namespace embedded
