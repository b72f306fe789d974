#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "chips/ChipFacts.h"
#include "chips/FuseFields.h"

// What the chip facts say about a signature read and about fuse bytes about to be written.
namespace kestrel::control {

// A signature of all zeros or all ones: no chip answered (nothing in the socket, no clock, or
// a chip locked out of the mode in use).
bool NoChipAnswered(const chips::Signature& signature);

// The chips the facts list under a signature (a group such as ATmega8/ATmega8A), in file order.
std::vector<std::string> ChipsWithSignature(const chips::ChipFactsTable& facts,
                                            const chips::Signature& signature);

// The fuse set a fuse text and a lock text stand for: exactly six and two hex digits.
bool ParseFuseText(const std::string& text, chips::FuseSet& fuses);
bool ParseLockText(const std::string& text, chips::FuseSet& fuses);
std::string FuseTextOf(const chips::FuseSet& fuses);  // "E199FF"
std::string LockTextOf(const chips::FuseSet& fuses);  // "FF"

// The lines that explain what a fuse write would do: lock-outs of ISP first, then warnings.
struct FuseWriteReview {
  std::vector<std::string> lockouts;  // refused in ISP mode unless confirmed; warnings elsewhere
  std::vector<std::string> warnings;
};
FuseWriteReview ReviewFuseWrite(const chips::ChipFacts& chip, const chips::FuseSet& fuses);
// The warnings a lock byte gives (read-back or programming disabled).
std::vector<std::string> ReviewLockWrite(const chips::ChipFacts& chip, std::uint8_t lock);

// The high-voltage mode that reaches this chip: HVSP for the small ATtiny, PP_20 otherwise.
const char* HighVoltageModeName(const chips::ChipFacts& chip);

}  // namespace kestrel::control
