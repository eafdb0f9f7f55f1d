// The ERP's database password convention. The ERP's database accounts do not
// carry the password a person types but one derived from it: a plain form that
// frames it with two fixed words, and a scrambled form that hides the plain form
// behind a seeded running-hash scramble in hexadecimal. Ordinary accounts log in
// with the scrambled form; new logins are given the plain form.
// Pure functions: safe from any thread. Texts are byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace connections {

// With `scrambled` false the plain form, with true the scrambled form.
std::string DeriveDatabasePassword(std::string_view password, bool scrambled);

// Each output byte is the input byte XOR the high byte of a running 16-bit hash
// that starts at `seed` and takes in every output byte.
std::string ScrambleString(std::string_view data, std::uint16_t seed);

// ScrambleString written as two upper-case hexadecimal digits per byte.
std::string ScrambleToHex(std::string_view data, std::uint16_t seed);

}  // namespace connections
