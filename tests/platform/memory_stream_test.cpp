#include "platform/memory_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string Content(const MemoryStream& s) { return {s.Bytes().begin(), s.Bytes().end()}; }

TEST(MemoryStreamTest, ReadsWritesAndSeeks) {
  MemoryStream s;
  EXPECT_EQ(s.Write("hello world", 11), 11u);
  EXPECT_EQ(s.Position(), 11);
  EXPECT_EQ(s.Seek(-5, SeekOrigin::kEnd), 6);
  EXPECT_EQ(s.Write("WORLD!", 6), 6u);
  EXPECT_EQ(Content(s), "hello WORLD!");
  EXPECT_EQ(s.Size(), 12);

  s.SetPosition(3);
  char buffer[32] = {};
  EXPECT_EQ(s.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "lo W");
  EXPECT_EQ(s.Seek(2, SeekOrigin::kCurrent), 9);
  EXPECT_EQ(s.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(s.Read(buffer, sizeof buffer), 0u);
}

TEST(MemoryStreamTest, WritePastTheEndFillsTheGapWithZeros) {
  MemoryStream s(Bytes("ab"));
  s.Seek(3, SeekOrigin::kEnd);
  char buffer[1];
  EXPECT_EQ(s.Read(buffer, 1), 0u);
  s.Write("z", 1);
  EXPECT_EQ(Content(s), std::string("ab\0\0\0z", 6));
}

TEST(MemoryStreamTest, SetSizeCutsAndExtendsKeepingThePosition) {
  MemoryStream s(Bytes("abcdef"));
  s.SetPosition(5);
  s.SetSize(2);
  EXPECT_EQ(Content(s), "ab");
  EXPECT_EQ(s.Position(), 5);
  s.SetSize(4);
  EXPECT_EQ(Content(s), std::string("ab\0\0", 4));
  EXPECT_THROW(s.SetSize(-1), std::invalid_argument);
}

TEST(MemoryStreamTest, SeekBeforeTheStartIsRefused) {
  MemoryStream s(Bytes("abc"));
  s.SetPosition(2);
  EXPECT_THROW(s.Seek(-3, SeekOrigin::kCurrent), std::invalid_argument);
  EXPECT_THROW(s.Seek(-1, SeekOrigin::kBeginning), std::invalid_argument);
  EXPECT_EQ(s.Position(), 2);
}

TEST(MemoryStreamTest, CopyFromTakesTheRestOfTheSource) {
  std::vector<std::uint8_t> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
  MemoryStream source(big);
  source.SetPosition(100);
  MemoryStream target(Bytes("head:"));
  target.Seek(0, SeekOrigin::kEnd);

  EXPECT_EQ(target.CopyFrom(source), 199900);
  EXPECT_EQ(source.Position(), 200000);
  std::vector<std::uint8_t> expected = Bytes("head:");
  expected.insert(expected.end(), big.begin() + 100, big.end());
  EXPECT_EQ(std::vector<std::uint8_t>(target.Bytes().begin(), target.Bytes().end()), expected);
}

}  // namespace
}  // namespace platform
