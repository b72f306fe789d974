#include "control/ImageFileOperations.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>

#include "base/Texts.h"
#include "base/Bytes.h"
#include "device/StatusCode.h"
#include "image/FileAccess.h"

namespace kestrel::control {
namespace {

// Far beyond the HEX text of the largest image (about 0.8 MB for 256 KiB); a larger file is
// not an image of this programmer and is not read into memory.
constexpr std::size_t kHexTextLimit = 64u << 20;

enum class FileKind { Hex, Binary, Unknown };

// What differs between the FLASH and the EEPROM side of the file operations.
struct Side {
  std::vector<std::uint8_t>& image;
  std::vector<std::uint8_t>& readback;
  bool& loaded;
  bool& readbackValid;
  HexViewPort& view;
  std::int64_t chipSize;
  bool eeprom;
  FileDialogKind openDialog;
  FileDialogKind saveDialog;
  std::uint32_t openStatus;
  std::uint32_t saveStatus;
  int page;
  const char* memoryName;
  const char* readableKinds;
  const char* truncatedLine;
  const char* openedToPage;
  const char* savedLine;
  const char* hexTooLarge;
};

Side FlashSide(ImageContext& context) {
  device::ChipMemories& memories = context.engine.memories();
  return {memories.flashImage, memories.flashReadback, memories.flashImageLoaded, memories.flashReadbackValid,
          context.flashView,
          context.geometry.FlashSize(), false, FileDialogKind::OpenFlash,
          FileDialogKind::SaveFlash, device::status::FlashFileOpened,
          device::status::FlashFileSaved, FlashPage, "FLASH", "hex、bin",
          texts::kFlashBinTruncatedLine, texts::kOpenedToFlashPage, texts::kFlashSavedLine,
          texts::kFlashHexTooLarge};
}

Side EepromSide(ImageContext& context) {
  device::ChipMemories& memories = context.engine.memories();
  return {memories.eepromImage, memories.eepromReadback, memories.eepromImageLoaded,
          memories.eepromReadbackValid, context.eepromView,
          context.geometry.EepromSize(), true, FileDialogKind::OpenEeprom,
          FileDialogKind::SaveEeprom, device::status::EepromFileOpened,
          device::status::EepromFileSaved, EepromPage, "EEPROM", "hex、eep、bin",
          texts::kEepromBinTruncatedLine, texts::kOpenedToEepromPage, texts::kEepromSavedLine,
          texts::kEepromHexTooLarge};
}

// The chip's size, kept inside both buffers of the side whatever the geometry says.
std::size_t UsableSize(const Side& side) {
  const auto buffer = static_cast<std::int64_t>(std::min(side.image.size(), side.readback.size()));
  return static_cast<std::size_t>(std::clamp<std::int64_t>(side.chipSize, 0, buffer));
}

std::string FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Case-blind: the text after the name's last dot.
FileKind KindOf(const std::string& name, const Side& side) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return FileKind::Unknown;
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (extension == "HEX") return FileKind::Hex;
  if (extension == "EEP" && side.eeprom) return FileKind::Hex;
  if (extension == "BIN") return FileKind::Binary;
  return FileKind::Unknown;
}

void Refuse(ImageContext& context, const std::string& line) {
  context.log.AppendLog(line);
  context.operationFailed();
}

// After a refused open the side holds no image, so that a following write cannot program the
// file opened before: the view shows it empty, as at start-up.
void ClearSide(ImageContext& context, const Side& side, std::size_t size) {
  std::fill_n(side.image.begin(), size, std::uint8_t{0xFF});
  side.loaded = false;
  side.view.SetData(side.image.data(), size);
  context.log.AppendLog(Printf(texts::kImageClearedPattern, side.memoryName));
}

// Reads the chosen file into the side's image and shows it. A file that cannot be read, is of
// a kind this side does not read, or that the HEX reader refuses, is reported and leaves the
// side without an image. A binary file longer than the chip is cut to it and counts as failed.
void LoadImage(ImageContext& context, const Side& side, const std::string& path) {
  const std::string name = FileName(path);
  const FileKind kind = KindOf(name, side);
  const std::size_t size = UsableSize(side);
  if (kind == FileKind::Unknown) {
    Refuse(context, Printf(texts::kUnknownExtensionPattern, name.c_str(), side.memoryName,
                                  side.readableKinds));
    return ClearSide(context, side, size);
  }
  image::FileStart file = image::ReadFileStart(path, kind == FileKind::Hex ? kHexTextLimit : size);
  if (file.ok && kind == FileKind::Hex && file.bytes.size() > kHexTextLimit) {
    file = {false, {}, std::strerror(EFBIG)};
  }
  if (!file.ok) {
    Refuse(context, Printf(texts::kFileUnreadablePattern, path.c_str(), file.error.c_str()));
    return ClearSide(context, side, size);
  }

  if (kind == FileKind::Hex) {
    // Read into a scratch image so that a refused file leaves the loaded image as it was.
    std::vector<std::uint8_t> scratch(size, 0xFF);
    const std::int32_t code =
        context.reader.ReadHexImage(file.bytes, scratch, static_cast<std::int64_t>(size));
    if (code == image::HexOpenError) context.messages.ShowMessage(side.hexTooLarge);
    if (code != image::HexSuccess) {
      const std::string reason = code == image::HexOpenError ? side.hexTooLarge : image::HexResultText(code);
      const int line = context.reader.errorLine;
      Refuse(context, line > 0 ? Printf(texts::kHexRefusedAtLinePattern, name.c_str(), line, reason.c_str())
                               : Printf(texts::kHexRefusedPattern, name.c_str(), reason.c_str()));
      return ClearSide(context, side, size);
    }
    std::copy(scratch.begin(), scratch.end(), side.image.begin());
  } else {
    std::size_t length = file.bytes.size();
    if (length > size) {
      // Kept, cut to the chip, but a run that lets the exit status decide must not pass.
      Refuse(context, side.truncatedLine);
      length = size;
    }
    context.reader.dataLength = static_cast<std::int32_t>(length);
    std::fill_n(side.image.begin(), size, std::uint8_t{0xFF});
    std::copy_n(file.bytes.begin(), length, side.image.begin());
  }

  side.loaded = true;
  side.view.SetData(side.image.data(), size);
  context.log.AppendLog(texts::kOpenedFilePrefix + name + side.openedToPage +
                        Printf(texts::kOpenedCountPattern, context.reader.dataLength));
  context.pages.ShowPage(side.page);
}

void OpenImage(ImageContext& context, const Side& side) {
  if (const auto path = context.chooser.ChooseFile(side.openDialog)) {
    LoadImage(context, side, *path);
  }
  context.engine.PostStatus(side.openStatus);
}

// Saves the view's bytes up to the last one that is not 0xFF, by way of the read-back buffer.
void StoreImage(ImageContext& context, const Side& side, const std::string& path) {
  const std::size_t size = UsableSize(side);
  side.view.GetData(side.readback.data(), size);
  // The view's bytes are not the chip's: a verify needs a new read now.
  side.readbackValid = false;
  const std::int32_t used =
      TrimmedLength(side.readback.data(), static_cast<std::int32_t>(size));
  const std::string failure =
      image::ReplaceFileContents(path, side.readback.data(), static_cast<std::size_t>(used));
  if (!failure.empty()) {
    Refuse(context, Printf(texts::kSaveFailedPattern, path.c_str(), failure.c_str()));
    return;
  }
  context.log.AppendLog(side.savedLine);
  context.log.AppendLog(path + "【" + Printf(texts::kSavedCountPattern, used) + "】");
}

void SaveImage(ImageContext& context, const Side& side) {
  if (const auto path = context.chooser.ChooseFile(side.saveDialog)) {
    StoreImage(context, side, *path);
  }
  context.engine.PostStatus(side.saveStatus);
}

}  // namespace

void OpenFlashImage(ImageContext& context) { OpenImage(context, FlashSide(context)); }
void OpenEepromImage(ImageContext& context) { OpenImage(context, EepromSide(context)); }
void SaveFlashImage(ImageContext& context) { SaveImage(context, FlashSide(context)); }
void SaveEepromImage(ImageContext& context) { SaveImage(context, EepromSide(context)); }

}  // namespace kestrel::control
