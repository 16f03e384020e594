#pragma once

// Device-family predicates over the product id and firmware version learned
// at login, and a few small helpers shared by several windows.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

int IsDvrFamily();  // Q8A7, Q8A5, Q8A3
int IsQ3A2();
int IsQ9C0();
int IsQ7BFamily();     // Q7B7, Q7B5, Q7B3
int IsMultiChannel();  // the MULTICH value of the device-information reply

// The same tests on a given product id (case-sensitive, the whole text).
bool IsDvrFamilyId(std::string_view productId);
bool IsQ7BFamilyId(std::string_view productId);

// Compares two four-character versions: 2 when a is greater at the first
// differing position, 1 when smaller, 0 when equal, -1 when either is not
// exactly four characters. Callers pass a fixed gate as a and the device's
// version as b, so 2 means "the device's firmware is older than the gate".
int CompareVersion(std::string_view a, std::string_view b);

// 1 when the device's firmware is older than the gate.
bool FirmwareOlderThan(std::string_view gate);

// 1 when any bit of the mask is set in the device's feature flags.
int HasFeature(std::uint32_t mask);

// Mode 1 keeps only decimal digits; mode 0 also a minus sign before any kept
// character. 0 (text unchanged) for texts of 256 characters or more.
int FilterDigits(std::string& text, int mode);

std::uint8_t PeripheralCodeToIndex(std::uint8_t code);
std::uint8_t PeripheralIndexToCode(std::uint8_t index);

// Draws the click mark (a 3-pixel-thick cross inside the corner brackets of a
// 17 x 17 square) centred on (x, y) into a bottom-up picture of width x height
// pixels of 3 bytes, colour 0x00BBGGRR written low byte first. Pixels outside
// the picture, or beyond the buffer, are not drawn.
int DrawCrossMark(std::span<std::uint8_t> frame, int width, int height, std::uint32_t colour, int x,
                  int y);

// Splits text `id` of the string table at its first "$". A text without "$"
// gives the whole text as the first part and an empty second part.
struct SplitText {
    std::string first;
    std::string second;
};
SplitText LoadSplitString(unsigned id);

// 1 when the processor offers MMX.
int DetectMmx();
