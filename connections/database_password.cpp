#include "connections/database_password.h"

namespace connections {
namespace {

// The convention's fixed values, shared by every form and by the login
// statements. An installation that must reach accounts made by another
// installation of the ERP needs that installation's values here.
constexpr std::string_view kPrefixWord = "Vorx";  // four letters
constexpr std::string_view kSuffixWord = "dbp";   // three letters
constexpr std::string_view kLeadLetter = "V";     // starts every scrambled form
constexpr std::uint16_t kSeed = 0x5A3C;
constexpr std::uint16_t kMultiplier = 52845;
constexpr std::uint16_t kIncrement = 22719;

constexpr std::size_t kKeptPasswordChars = 20;
constexpr std::size_t kTailChars = 29;

}  // namespace

std::string ScrambleString(std::string_view data, std::uint16_t seed) {
  std::string out(data.size(), '\0');
  std::uint16_t h = seed;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(data[i]) ^ (h >> 8));
    out[i] = static_cast<char>(b);
    h = static_cast<std::uint16_t>((h + b) * kMultiplier + kIncrement);
  }
  return out;
}

std::string ScrambleToHex(std::string_view data, std::uint16_t seed) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::string scrambled = ScrambleString(data, seed);
  std::string out;
  out.reserve(scrambled.size() * 2);
  for (char c : scrambled) {
    const auto b = static_cast<std::uint8_t>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

std::string DeriveDatabasePassword(std::string_view password, bool scrambled) {
  std::string plain;
  plain.append(kPrefixWord).append(password).append(kSuffixWord);
  if (!scrambled) return plain;

  const std::string t = ScrambleToHex(plain, kSeed) + std::string(password.substr(0, kKeptPasswordChars));
  const std::string tail = t.size() > kTailChars ? t.substr(t.size() - kTailChars) : t;
  return std::string(kLeadLetter) + tail;
}

}  // namespace connections
