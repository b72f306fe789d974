#include "control/Wording.h"

#include <cerrno>
#include <cstring>

#include "base/Texts.h"

namespace kestrel::control {
namespace {

// Discovery with several programmers on the machine, which only an address tells apart.
constexpr Message kProgrammerNotFoundPattern = Msg("找不到编程器 %s");
constexpr Message kProgrammersFoundPattern = Msg("找到%zu个编程器，已打开 %s；用 --usb 总线:设备 选择");

const char* OperationName(device::VendorCommand command) {
  using device::VendorCommand;
  switch (command) {
    case VendorCommand::Unlock:
      return texts::kUnlockOperation;
    case VendorCommand::EraseChip:
      return texts::kEraseOperation;
    case VendorCommand::ReadSignature:
      return texts::kReadSignatureOperation;
    case VendorCommand::ReadCalibration:
      return texts::kReadCalibrationOperation;
    case VendorCommand::ReadFuseLock:
      return texts::kReadFuseLockOperation;
    case VendorCommand::WriteFuses:
      return texts::kWriteFusesOperation;
    case VendorCommand::WriteLock:
      return texts::kWriteLockOperation;
    case VendorCommand::WriteFlashPage:
      return texts::kWriteFlashPagePattern;
    case VendorCommand::ReadFlashPage:
      return texts::kReadFlashPagePattern;
    case VendorCommand::WriteEepromPage:
      return texts::kWriteEepromPagePattern;
    case VendorCommand::ReadEepromPage:
      return texts::kReadEepromPagePattern;
    case VendorCommand::Ready:
      break;
  }
  return texts::kEndTransferOperation;
}

const char* ProblemText(chips::GeometryProblem problem) {
  switch (problem) {
    case chips::GeometryProblem::PageSizeZero:
      return texts::kPageSizeZero;
    case chips::GeometryProblem::PageCountNegative:
      return texts::kPageCountNegative;
    case chips::GeometryProblem::SizeBeyondBuffer:
      return texts::kSizeBeyondBuffer;
    case chips::GeometryProblem::None:
      break;
  }
  return "";
}

const char* TransferName(device::BlockTransfer transfer) {
  switch (transfer) {
    case device::BlockTransfer::WriteFlash:
      return texts::kFlashWriteOperation;
    case device::BlockTransfer::ReadFlash:
      return texts::kFlashReadOperation;
    case device::BlockTransfer::WriteEeprom:
      return texts::kEepromWriteOperation;
    case device::BlockTransfer::ReadEeprom:
      return texts::kEepromReadOperation;
  }
  return "";
}

}  // namespace

std::string AccessDeniedLine() {
  return Printf(texts::kAccessDeniedPattern, texts::UdevRuleCommand().c_str());
}

std::string ProgrammerMissingMessage(const device::ProgrammerLink& link) {
  if (link.AccessDenied()) return AccessDeniedLine();
  if (!link.wantedAddress.empty()) return Printf(kProgrammerNotFoundPattern, link.wantedAddress.c_str());
  return texts::InsertProgrammerMessage();
}

std::string ProgrammersFoundLine(const device::ProgrammerLink& link) {
  if (link.programmersFound < 2) return {};
  return Printf(kProgrammersFoundPattern, link.programmersFound, link.openedAddress.c_str());
}

std::string LinkFailureLine(const device::LinkFailure& failure) {
  if (failure.noHandle) return texts::kNoProgrammerOpen;
  const std::string operation = failure.IsPageRequest() ? Printf(OperationName(failure.command), failure.page)
                                                        : std::string(OperationName(failure.command));
  if (failure.result >= 0) {
    return Printf(texts::kShortTransferPattern, operation.c_str(), failure.result, failure.expectedLength);
  }
  if (device::IsAccessError(failure.result)) return AccessDeniedLine();
  const char* description = strerrordesc_np(-failure.result);
  return Printf(texts::kLinkFailurePattern, operation.c_str(), failure.result,
                description != nullptr ? description : "?");
}

std::string TransferRefusalLine(device::BlockTransfer transfer, const device::TransferRefusal& refusal,
                                const chips::ChipGeometry& geometry) {
  if (refusal.eepromPageTooLong)
    return Printf(texts::kEepromPageTooLongPattern, int{geometry.eepromPageBytes});
  return Printf(texts::kGeometryRefusedPattern, device::IsFlashTransfer(transfer) ? "FLASH" : "EEPROM",
                ProblemText(refusal.geometry), TransferName(transfer));
}

std::vector<std::string> CatalogueCutLines(const chips::CatalogueCuts& cuts) {
  std::vector<std::string> lines;
  if (cuts.namesCut > 0) lines.push_back(Printf(texts::kCatalogueNameCutPattern, cuts.namesCut));
  if (cuts.numbersCut > 0) lines.push_back(Printf(texts::kCatalogueNumberCutPattern, cuts.numbersCut));
  if (cuts.recordsDropped > 0) {
    lines.push_back(Printf(texts::kCatalogueOverflowPattern, chips::kCatalogueCapacity, cuts.recordsDropped));
  }
  if (cuts.partialBytes > 0) lines.push_back(Printf(texts::kCataloguePartialPattern, cuts.partialBytes));
  return lines;
}

std::string CatalogueMissingLine(const chips::CatalogueLoad& load) {
  std::string list;
  for (const std::string& path : load.searched) {
    if (!list.empty()) list += texts::kListSeparator.c_str();
    list += path;
  }
  return Printf(texts::kCatalogueMissingPattern, list.c_str());
}

std::string HexRefusalLine(const std::string& name, const image::HexFault& fault) {
  std::string reason;
  switch (fault.code) {
    case image::HexConflict:
      return Printf(texts::kHexConflictPattern, name.c_str(), fault.earlierLine, fault.line,
                    static_cast<unsigned long long>(fault.address));
    case image::HexEmpty:
      return Printf(texts::kHexRefusedPattern, name.c_str(), texts::kHexEmpty.c_str());
    case image::HexNotARecord:
      reason = texts::kHexNotARecord.c_str();
      break;
    case image::HexUnknownType:
      reason = Printf(texts::kHexUnknownTypePattern, fault.recordType);
      break;
    default:  // the reader's own texts, which scripts may look for
      reason = image::HexResultText(fault.code);
      break;
  }
  return fault.line > 0 ? Printf(texts::kHexRefusedAtLinePattern, name.c_str(), fault.line, reason.c_str())
                        : Printf(texts::kHexRefusedPattern, name.c_str(), reason.c_str());
}

const char* CauseText(Cause cause) {
  switch (cause) {
    case Cause::RefusedInput:
      return texts::kCauseRefusedInput;
    case Cause::WrongChip:
      return texts::kCauseWrongChip;
    case Cause::NoProgrammer:
      return texts::kCauseNoProgrammer;
    case Cause::CommunicationError:
    case Cause::None:
      return texts::kCauseCommunication;
    case Cause::TimeOut:
      return texts::kCauseTimeOut;
    case Cause::VerifyDifference:
      return texts::kCauseVerify;
    case Cause::NotBlank:
      return texts::kCauseNotBlank;
    case Cause::Stopped:
      return texts::kCauseStopped;
    case Cause::Cancelled:
      return texts::kCauseCancelled;
  }
  return texts::kCauseCommunication;
}

}  // namespace kestrel::control
