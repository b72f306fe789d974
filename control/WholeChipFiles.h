#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "chips/ChipFacts.h"
#include "image/MemoryRegions.h"

// Files that hold more than one memory of a chip: avr-gcc's ELF programs and whole-chip HEX
// files (FLASH from 0, EEPROM from 0x810000, fuses, lock, signature).
namespace kestrel::control {

enum class FileKind { Hex, Binary, Elf, Unknown };
// Case-blind, by the text after the name's last dot; ".eep" and ".ihex" are HEX text.
FileKind KindOfFile(const std::string& name);
std::string UpperExtension(const std::string& name);  // "HEX"; empty without a dot
// What the file's first bytes show it to be: ELF, Intel HEX text, or else binary; text that is
// no HEX stays HEX when the name says so.
FileKind KindOfContent(std::string_view head, FileKind named);
// The line that says a file is read by its content, which its name contradicts; empty when
// they agree.
std::string ContentLine(const std::string& name, FileKind named, FileKind content);
std::string FileName(const std::string& path);

// The memories a whole-chip file gives, or the one line that says why it gives none.
struct WholeChipRead {
  bool ok = false;
  std::string refusal;
  image::WholeChipImage image;
  std::string note;  // a line to log before the file's own, as ContentLine gives it
};
// Reads a .hex or .elf file, refusing data outside every region and beyond the chip's sizes.
WholeChipRead ReadWholeChipFile(const std::string& path, const image::ChipSizes& sizes);
// The same for ELF bytes or HEX text already read (`name` for the lines).
WholeChipRead ReadElfFile(const std::string& name, const std::string& bytes, const image::ChipSizes& sizes);
WholeChipRead ReadHexFile(const std::string& name, const std::string& text, const image::ChipSizes& sizes);

// Why data at `address` (in no memory region) cannot be opened: SRAM, or no memory at all.
std::string OutsideLine(const std::string& name, std::uint64_t address);

// The signature the file names, in the order the chip reads it out; nothing unless all three
// bytes are given.
std::optional<chips::Signature> FileSignature(const image::WholeChipImage& image);
// The same for a file: the signature a HEX or ELF file names (by its content, whatever its
// name), or nothing for a file that names none or cannot be read.
std::optional<chips::Signature> SignatureOfFile(const std::string& path);
// Why a file made for a chip may not be used for `selected` (nullptr: no facts): a signature
// region that is not three bytes, or another chip's signature; nothing when it may.
std::optional<std::string> SignatureRefusal(const std::string& name, const image::WholeChipImage& image,
                                            const chips::ChipFacts* selected);
// The fuse and lock bytes the file gives; a fuse byte it does not give reads 0xFF.
std::optional<chips::FuseSet> FileFuses(const image::WholeChipImage& image);
// "EEPROM、熔丝位、签名": the regions other than `except` that hold data.
std::string RegionsHeld(const image::WholeChipImage& image, image::Region except);
// "EEPROM、熔丝位、锁定位": the memories a restore writes that the file does not hold.
std::string RegionsMissing(const image::WholeChipImage& image);
// "FLASH 324字节、EEPROM 10字节、熔丝位 62D9FF、锁定位 FF、签名 1E 95 0F".
std::string DescribeWholeChip(const image::WholeChipImage& image);

// The whole chip as a backup file holds it: FLASH and EEPROM up to their last byte that is
// not 0xFF, `fuseBytes` fuse bytes, the lock and the signature (in avr-libc's order).
image::WholeChipImage BackupImage(std::span<const std::uint8_t> flash, std::span<const std::uint8_t> eeprom,
                                  const chips::FuseSet& fuses, int fuseBytes,
                                  const chips::Signature& signature);

std::string SignatureText(const chips::Signature& signature);  // "1E 95 0F"

}  // namespace kestrel::control
