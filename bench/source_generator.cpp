#include "bench/source_generator.h"

#include <iterator>

#include <random>

#include "dac/driver.h"
#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_connection.h"

namespace bench {
namespace {

// Rows per insert call and per transaction: large enough that SQLite's commit
// does not dominate, small enough to keep the generator's memory flat.
constexpr std::size_t kRowsPerChunk = 5000;
// About one row in this many carries a value a clamp or the blank rule exists for.
constexpr std::uint64_t kSpecialEvery = 997;

dac::Value Dec(const std::string& s) { return *dac::Decimal::Parse(s); }

class RowMaker {
 public:
  explicit RowMaker(std::uint64_t seed) : random_(seed) {}

  dac::Row Make(std::int64_t id) {
    const bool special = random_() % kSpecialEvery == 0;
    const bool nulls = random_() % 11 == 0;
    const auto maybe = [&](dac::Value v) { return nulls ? dac::Value() : std::move(v); };
    const int kind = static_cast<int>(random_() % 5);
    dac::Row row;
    row.reserve(SourceColumns().size());
    row.emplace_back(id);                                                      // ANID
    std::string name = "item " + std::to_string(random_() % 1000000);
    if (special && kind == 4) name = "ab  ";
    row.push_back(maybe(name));                                                // ACNAME
    row.emplace_back(std::string(1, static_cast<char>('A' + random_() % 26)));  // ACCODE
    row.push_back(maybe(Digits(13)));                                          // ACKEY
    row.push_back(maybe(std::string("P") + Digits(2)));                        // ACFIXED
    std::string price = std::to_string(random_() % 100000000) + "." + Digits(4);
    if (special && kind == 0) price = random_() % 2 ? "999999999999999.9999" : "-999999999999999";
    row.push_back(Dec(price));                                                 // ANPRICE
    row.push_back(maybe(Dec(std::to_string(random_() % 1000000) + "." + Digits(2))));  // ANQTY
    row.push_back(maybe(Dec("0.000" + Digits(2))));                            // ANRATE
    row.push_back(maybe(std::int64_t(random_() % 2)));                         // ANFLAG
    std::int64_t small = static_cast<std::int64_t>(random_() % 256);
    if (special && kind == 1) small = -static_cast<std::int64_t>(1 + random_() % 99);
    row.push_back(maybe(small));                                               // ANSMALL
    row.push_back(maybe(std::int64_t(random_() % 32000)));                     // ANSHORT
    row.emplace_back(std::int64_t(random_() % 2000000000));                    // ANINT
    row.push_back(maybe(Dec(std::to_string(random_() % 1000000000000000000ULL))));  // ANBIG
    row.push_back(maybe(Dec(std::to_string(random_() % 100000) + ".5")));      // ANFLOAT
    row.push_back(maybe(Dec(std::to_string(random_() % 1000) + "." + Digits(3))));  // ANNUM
    dac::DateTime date{static_cast<int>(1990 + random_() % 35), static_cast<int>(1 + random_() % 12),
                       static_cast<int>(1 + random_() % 28), static_cast<int>(random_() % 24), 0, 0, 0};
    if (special && kind == 2) date.year = random_() % 2 ? 1850 : 2100;
    row.push_back(maybe(date));                                                // ADDATE
    dac::DateTime stamp = date;
    stamp.second = static_cast<int>(random_() % 60);
    if (special && kind == 3) stamp.year = 1899;
    row.push_back(maybe(stamp));                                               // ADSTAMP
    row.push_back(maybe(std::string(random_() % 200, 'n')));                   // ACNOTE
    dac::Bytes image(random_() % 64);
    for (auto& b : image) b = static_cast<std::uint8_t>(random_());
    row.push_back(maybe(std::move(image)));                                    // ABIMAGE
    row.push_back(maybe(dac::Bytes{0xDE, 0xAD, static_cast<std::uint8_t>(random_()), 0xEF}));  // ABRAW
    return row;
  }

 private:
  std::string Digits(int n) {
    std::string s(static_cast<std::size_t>(n), '0');
    for (auto& c : s) c = static_cast<char>('0' + random_() % 10);
    return s;
  }
  std::mt19937_64 random_;
};

}  // namespace

const std::vector<std::pair<std::string, std::string>>& SourceColumns() {
  static const std::vector<std::pair<std::string, std::string>> columns = {
      {"ANID", "NUMBER(10) NOT NULL"}, {"ACNAME", "VARCHAR2(40)"},  {"ACCODE", "VARCHAR2(1) NOT NULL"},
      {"ACKEY", "VARCHAR2(13)"},       {"ACFIXED", "CHAR(3)"},      {"ANPRICE", "NUMBER(19,4) NOT NULL"},
      {"ANQTY", "NUMBER(*,2)"},        {"ANRATE", "NUMBER(2,5)"},   {"ANFLAG", "NUMBER(1)"},
      {"ANSMALL", "NUMBER(3)"},        {"ANSHORT", "NUMBER(5)"},    {"ANINT", "NUMBER(10) NOT NULL"},
      {"ANBIG", "NUMBER(38)"},         {"ANFLOAT", "FLOAT"},        {"ANNUM", "NUMBER"},
      {"ADDATE", "DATE"},              {"ADSTAMP", "TIMESTAMP(6)"}, {"ACNOTE", "CLOB"},
      {"ABIMAGE", "BLOB"},             {"ABRAW", "RAW(16)"},
  };
  return columns;
}

std::vector<std::string> SourceTables(const SourceShape& shape) {
  static const char* const kBusiness[] = {
      "Move",     "MoveItem", "Order",   "OrderItem", "Invoice",  "InvoiceItem", "Stock",    "StockItem",
      "SetItem",  "SetSubj",  "Payment", "Ledger",    "LedgerItem", "Price",     "PriceItem", "Contract",
      "Task",     "Document", "Cost",    "Asset",     "Employee", "Salary",      "Warehouse", "Route",
      "Vehicle",  "Project",  "Budget",  "Account",   "Tax",      "Note",
  };
  constexpr int kKinds = static_cast<int>(std::size(kBusiness));
  std::vector<std::string> names;
  for (int t = 1; t <= shape.tables; ++t) {
    if (!shape.erp_like) {
      names.push_back("TGEN" + std::to_string(t));
    } else {
      const int k = t - 1;
      names.push_back("tHE_" + std::string(kBusiness[k % kKinds]) + (k < kKinds ? "" : std::to_string(k / kKinds + 1)));
    }
  }
  return names;
}

std::vector<std::int64_t> SourceTableRows(const SourceShape& shape) {
  std::vector<double> weights;
  for (int t = 0; t < shape.tables; ++t) weights.push_back(shape.erp_like ? 1.0 / (t + 1) : 1.0);
  double total = 0;
  for (double w : weights) total += w;
  std::vector<std::int64_t> rows;
  std::int64_t assigned = 0;
  for (int t = 0; t < shape.tables; ++t) {
    rows.push_back(static_cast<std::int64_t>(static_cast<double>(shape.rows) * weights[t] / total));
    assigned += rows.back();
  }
  // The first table takes the remainder, so that the list stays largest first.
  if (!rows.empty()) rows.front() += shape.rows - assigned;
  return rows;
}

void GenerateSource(const std::filesystem::path& dir, const SourceShape& shape) {
  embedded::OracleInstance::Create(dir, shape.sys_password);
  auto sys = embedded::ConnectOracleInstanceAsSysDba(dir);
  sys->Execute("CREATE USER " + shape.schema + " IDENTIFIED BY erp");
  sys->Execute("GRANT CONNECT, RESOURCE TO " + shape.schema);
  auto owner = embedded::ConnectOracleInstanceAsSysDba(dir, shape.schema);
  owner->Execute("CREATE TABLE tVX_SysParamSys (anBuildNo NUMBER(10) NOT NULL, anRevision NUMBER(5) NOT NULL)");
  owner->Execute("INSERT INTO tVX_SysParamSys VALUES (5500, 12)");
  owner->Execute("CREATE TABLE tVX_SysTableStr (acTableName VARCHAR2(30) NOT NULL, acFieldName VARCHAR2(30) NOT NULL, "
                 "anSeqNo NUMBER(5) NOT NULL, acUserDef CHAR(1) DEFAULT 'F' NOT NULL)");
  owner->Execute("CREATE TABLE tVX_SysTables (acTableName VARCHAR2(30) NOT NULL, acUserDef CHAR(1) DEFAULT 'F' NOT NULL)");

  std::string declaration;
  std::vector<std::string> names;
  for (const auto& [name, type] : SourceColumns()) {
    declaration += (declaration.empty() ? "" : ", ") + name + " " + type;
    names.push_back(name);
  }
  RowMaker maker(shape.seed);
  const auto tables = SourceTables(shape);
  const auto table_rows = SourceTableRows(shape);
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::int64_t rows = table_rows[t];
    owner->Execute("CREATE TABLE " + tables[t] + " (" + declaration + ")");
    if (shape.erp_like) owner->Execute("INSERT INTO tVX_SysTables VALUES ('" + tables[t] + "', 'F')");
    std::vector<dac::Row> chunk;
    for (std::int64_t id = 1; id <= rows;) {
      chunk.clear();
      for (; id <= rows && chunk.size() < kRowsPerChunk; ++id) chunk.push_back(maker.Make(id));
      owner->StartTransaction();
      const auto result = owner->InsertRows(tables[t], names, chunk);
      if (result.error) throw *result.error;
      owner->Commit();
    }
    owner->Execute("ANALYZE TABLE " + tables[t] + " COMPUTE STATISTICS");
  }
}

}  // namespace bench
