#include <gtest/gtest.h>

#include <fstream>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

namespace fs = std::filesystem;

// A folder of this machine as a Windows script names it: drive E: and backslashes.
std::string WindowsForm(const fs::path& path) {
  std::string out = "E:" + path.string();
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

class SqlServerDatabaseTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    data_ = Dir().parent_path() / "data";
    fs::create_directories(data_);
    c_ = Connect("master");
  }

  // The records of the error `sql` raises, as "number: message" lines.
  std::vector<std::string> Refusal(const std::string& sql) { return RefusalRecords(*c_, sql); }

  fs::path data_;
  std::unique_ptr<dac::Connection> c_;
};

TEST_F(SqlServerDatabaseTest, CreateDatabaseOnPlacesTheDataFileWhereTheScriptSays) {
  struct Case {
    std::string file_name;  // as the statement gives it
    fs::path lands_at;
  };
  const Case cases[] = {
      {WindowsForm(data_) + "\\Nortiva55.mdf", data_ / "Nortiva55.mdf"},
      {WindowsForm(data_) + "\\\\Twice.mdf", data_ / "Twice.mdf"},
      {"c:" + (data_ / "Mixed.mdf").string(), data_ / "Mixed.mdf"},
      {(data_ / "Plain.mdf").string(), data_ / "Plain.mdf"},
  };
  for (const Case& c : cases) {
    const std::string name = c.lands_at.stem().string();
    c_->Execute("create database [" + name + "] on (NAME = " + name + ", FILENAME = '" + c.file_name + "')");
    EXPECT_TRUE(fs::is_regular_file(c.lands_at)) << c.file_name;
    const DataFile file = SqlServerInstance::Open(Dir()).DataFileOf(name);
    EXPECT_EQ(file.path, c.lands_at);
    EXPECT_EQ(file.logical_name, name);
    EXPECT_EQ(file.physical_name, c.file_name);
    EXPECT_EQ(Scalar(*c_,
                     "select f.physical_name from sys.master_files f join sys.databases d on d.database_id = "
                     "f.database_id where d.name = '" +
                         name + "' and f.type_desc = 'ROWS'")
                  .AsText(),
              c.file_name);
  }

  // The database lives in that file: what goes in is found there.
  auto db = Connect("Nortiva55");
  db->Execute("create table T (a int) insert into T values (7)");
  EXPECT_EQ(Scalar(*db, "select physical_name from sys.database_files where file_id = 1").AsText(), cases[0].file_name);
  EXPECT_EQ(Scalar(*db, "select name from sys.database_files").AsText(), "Nortiva55");
  db.reset();
  EXPECT_EQ(Scalar(*Connect("nortiva55"), "select a from T").AsInteger(), 7);
}

TEST_F(SqlServerDatabaseTest, DefaultPlaceIsTheInstanceFolder) {
  c_->Execute("create database [Plain]");
  const DataFile file = SqlServerInstance::Open(Dir()).DataFileOf("Plain");
  EXPECT_EQ(file.path.parent_path(), Dir());
  EXPECT_EQ(file.physical_name, file.path.string());
  EXPECT_EQ(Scalar(*c_, "select physical_name from sys.master_files where database_id = db_id('Plain')").AsText(),
            file.path.string());
}

TEST_F(SqlServerDatabaseTest, DataFilesThatCannotBeMadeFailTheStatement) {
  { std::ofstream taken(data_ / "Taken.mdf"); }
  const std::string missing = WindowsForm(data_) + "\\NoSuchFolder\\X.mdf";
  const std::string taken = WindowsForm(data_) + "\\Taken.mdf";
  const std::string kFailed =
      "1802: CREATE DATABASE failed. Some file names listed could not be created. Check related errors.";
  struct Case {
    std::string file_name;
    std::string cause;
  };
  const Case cases[] = {
      {missing, "5133: Directory lookup for the file \"" + missing +
                    "\" failed with the operating system error 2(The system cannot find the file specified.)."},
      {"X.mdf",
       "5105: A file activation error occurred. The physical file name 'X.mdf' may be incorrect. Diagnose "
       "and correct additional errors, and retry the operation."},
      {taken, "5170: Cannot create file '" + taken +
                  "' because it already exists. Change the file path or the file name, and retry the operation."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Refusal("create database [X] on (NAME = X, FILENAME = '" + c.file_name + "')"),
              (std::vector<std::string>{c.cause, kFailed}));
    EXPECT_FALSE(SqlServerInstance::Open(Dir()).FindDatabase("X")) << c.file_name;
  }
  EXPECT_EQ(fs::file_size(data_ / "Taken.mdf"), 0u);

  // A taken name is refused before the file is looked at, and no file is made.
  EXPECT_EQ(Refusal("create database [ERP] on (NAME = ERP, FILENAME = '" + WindowsForm(data_) + "\\Erp.mdf')"),
            std::vector<std::string>{"1801: Database 'ERP' already exists. Choose a different database name."});
  EXPECT_FALSE(fs::exists(data_ / "Erp.mdf"));
}

TEST_F(SqlServerDatabaseTest, FileClausesAreReadLikeAServerReadsThem) {
  c_->Execute("create database [Sized] on primary (NAME = 'Sized_data', FILENAME = '" + WindowsForm(data_) +
              "\\Sized.mdf', SIZE = 8MB, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)");
  EXPECT_EQ(SqlServerInstance::Open(Dir()).DataFileOf("Sized").logical_name, "Sized_data");
  // A logical name with a blank, given bare, is not a name.
  EXPECT_EQ(CaughtDriverError([&] {
              c_->Execute("create database [Two Words] on (NAME = Two Words, FILENAME = '" + WindowsForm(data_) +
                          "\\Two Words.mdf')");
            }).ServerMessage(),
            "Incorrect syntax near 'Words'.");
  EXPECT_EQ(CaughtDriverError([&] { c_->Execute("create database [NoFile] on (NAME = NoFile)"); }).NativeError(), 102);
}

TEST_F(SqlServerDatabaseTest, AlterDatabaseKeepsTheRecoveryModel) {
  c_->Execute("create database [Nortiva55]");
  const std::string model = "select recovery_model_desc from sys.databases where name = 'Nortiva55'";
  EXPECT_EQ(Scalar(*c_, model).AsText(), "FULL");
  c_->Execute("alter database [Nortiva55] set recovery simple");
  EXPECT_EQ(Scalar(*c_, model).AsText(), "SIMPLE");
  EXPECT_EQ(Scalar(*c_, "select recovery_model from sys.databases where name = 'Nortiva55'").AsInteger(), 3);
  EXPECT_EQ(SqlServerInstance::Open(Dir()).RecoveryModel("NORTIVA55"), "SIMPLE");

  auto db = Connect("Nortiva55");
  db->Execute("alter database current set recovery bulk_logged with no_wait");
  EXPECT_EQ(Scalar(*c_, model).AsText(), "BULK_LOGGED");
  EXPECT_EQ(Scalar(*c_, "select recovery_model_desc from sys.databases where name = 'master'").AsText(), "SIMPLE");
}

TEST_F(SqlServerDatabaseTest, AlterDatabaseRefusals) {
  SqlServerInstance::Open(Dir()).CreateLogin("clerk", "pw");
  auto clerk = ConnectSqlServerInstance(Params("master", "clerk", "pw"));
  const std::vector<std::string> denied = {
      "5011: User does not have permission to alter database 'Erp', the database does not exist, or the database is "
      "not in a state that allows access checks.",
      "5069: ALTER DATABASE statement failed."};
  std::vector<std::string> got;
  const auto error = CaughtDriverError([&] { clerk->Execute("alter database [Erp] set recovery simple"); });
  for (const auto& r : error.Records()) {
    got.push_back(std::to_string(r.native_error) + ": " + r.message);
  }
  EXPECT_EQ(got, denied);
  EXPECT_EQ(Refusal("alter database [Nope] set recovery simple"),
            (std::vector<std::string>{
                "5011: User does not have permission to alter database 'Nope', the database does not exist, or the "
                "database is not in a state that allows access checks.",
                "5069: ALTER DATABASE statement failed."}));
  EXPECT_EQ(Refusal("alter database [master] set recovery full"),
            (std::vector<std::string>{"5058: Option 'RECOVERY' cannot be set in database 'master'.",
                                      "5069: ALTER DATABASE statement failed."}));
  EXPECT_EQ(Refusal("alter database [Erp] set recovery sometimes"),
            std::vector<std::string>{"102: Incorrect syntax near 'sometimes'."});
}

// The database a login creates is its own until the owner changes.
TEST_F(SqlServerDatabaseTest, CreatorOwnsTheDatabase) {
  c_->Execute("create login [Maker] with password = 'pw'; exec sp_addsrvrolemember 'Maker', 'dbcreator'");
  auto maker = ConnectSqlServerInstance(Params("master", "Maker", "pw"));
  maker->Execute("create database [Made]");
  EXPECT_EQ(SqlServerInstance::Open(Dir()).DatabaseOwner("Made"), "Maker");
  EXPECT_EQ(Scalar(*c_, "select suser_sname(owner_sid) from sys.databases where name = 'Made'").AsText(), "Maker");
  EXPECT_EQ(Scalar(*c_, "select suser_sname(owner_sid) from sys.databases where name = 'Erp'").AsText(), "sa");
}

}  // namespace
}  // namespace embedded::testing
