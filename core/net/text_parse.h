#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Small converters from the texts the user interface and the device replies
// carry (dotted addresses, MAC addresses) into raw bytes.

// Decimal text to int as atoi reads it (leading white space, an optional
// sign, digits up to the first other character, 0 without digits), but
// saturating at the int limits instead of overflowing on long digit runs.
int DecimalValue(std::string_view text);

// Clears `out`, then splits the upper-cased text at any of `delimiters`
// (runs of delimiters count as one, leading and trailing ones give no piece)
// and stores the low 8 bits of each piece's decimal value in the next byte;
// pieces beyond out.size() are ignored. A piece's value follows the C rules
// for a decimal integer (leading white space, optional sign, digits up to the
// first other character, 0 without digits), saturated to the int range, so
// "300" stores 0x2C and a huge digit run stores 0xFF.
// Returns false when the text holds no piece (the output then stays zero).
bool SplitToInts(std::string_view text, std::span<std::uint8_t> out, std::string_view delimiters);

// Converts a 12-digit hexadecimal MAC text (either case) into 6 bytes.
// Returns false, leaving `out` untouched, when `out` holds fewer than 6 bytes
// or the text is not 12 characters long; returns false with the 6 bytes
// cleared when a character is not a hexadecimal digit.
bool MacTextToBytes(std::string_view text, std::span<std::uint8_t> out);

// Removes every `separator` from the text, upper-cases it and stores one byte
// per pair of characters while a whole pair remains and `out` has room; an
// odd last character is ignored. Characters are not validated: a character
// at or after 'A' counts as its code minus 55, any other as its code minus 48.
// Always returns true.
bool HexTextToBytes(std::string_view text, std::span<std::uint8_t> out, char separator);
