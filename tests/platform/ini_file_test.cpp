#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(IniFile, ReadsWithoutRegardToCaseAndTrimsValues) {
  TempDir dir;
  WriteFile(dir / "s.ini",
            "; a comment\r\n"
            "[connect]\r\n"
            "  sqlserver =  db01 \\ inst  \r\n"
            "SQLPassword=\r\n"
            "Port=1521\r\n"
            "Port=9999\r\n"
            "[Migrate]\r\n"
            "Hex=0x1F\r\n"
            "Yes=yes\r\n"
            "Two=2\r\n");
  const IniFile ini(dir / "s.ini");
  EXPECT_EQ(ini.ReadString("Connect", "SQLServer", "x"), "db01 \\ inst");
  EXPECT_EQ(ini.ReadString("CONNECT", "sqlpassword", "default"), "");  // present and empty
  EXPECT_EQ(ini.ReadString("Connect", "Missing", "default"), "default");
  EXPECT_EQ(ini.ReadString("Nowhere", "SQLServer", "default"), "default");
  EXPECT_EQ(ini.ReadInteger("Connect", "Port", 0), 1521);  // the first of two wins
  EXPECT_EQ(ini.ReadInteger("Migrate", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Migrate", "Yes", 7), 7);
  EXPECT_TRUE(ini.ReadBool("Migrate", "Two", false));
  EXPECT_TRUE(ini.ReadBool("Migrate", "Yes", true));
  EXPECT_FALSE(ini.ReadBool("Migrate", "Yes", false));
}

TEST(IniFile, MissingFileReadsAsEmpty) {
  TempDir dir;
  const IniFile ini(dir / "none.ini");
  EXPECT_EQ(ini.ReadString("Connect", "SQLServer", "Localhost"), "Localhost");
  EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

TEST(IniFile, WritingKeepsOtherLinesCommentsAndOrder) {
  TempDir dir;
  WriteFile(dir / "s.ini",
            "; keep me\r\n"
            "[Connect]\r\n"
            "B=old\r\n"
            "; inner comment\r\n"
            "A=1\r\n"
            "\r\n"
            "[Other]\r\n"
            "X=y\r\n");
  IniFile ini(dir / "s.ini");
  ini.WriteString("connect", "b", "new");
  ini.WriteString("Connect", "C", "added");
  ini.WriteBool("Fresh", "Flag", true);
  ini.WriteInteger("Other", "N", -3);
  EXPECT_EQ(ReadFile(dir / "s.ini"),
            "; keep me\r\n"
            "[Connect]\r\n"
            "b=new\r\n"
            "; inner comment\r\n"
            "A=1\r\n"
            "C=added\r\n"
            "\r\n"
            "[Other]\r\n"
            "X=y\r\n"
            "N=-3\r\n"
            "\r\n"
            "[Fresh]\r\n"
            "Flag=1\r\n");
}

TEST(IniFile, WritingCreatesAPrivateFile) {
  TempDir dir;
  IniFile ini(dir / "new.ini");
  ini.WriteString("Connect", "SQLPassword", "p=w ;d");
  EXPECT_EQ(ReadFile(dir / "new.ini"), "[Connect]\nSQLPassword=p=w ;d\n");
  EXPECT_EQ(ini.ReadString("Connect", "SQLPassword", ""), "p=w ;d");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "new.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(IniFile, WriteIntoMissingFolderRaises) {
  TempDir dir;
  IniFile ini(dir / "no" / "such" / "s.ini");
  EXPECT_THROW(ini.WriteString("A", "K", "2"), std::runtime_error);
}

}  // namespace
}  // namespace platform
