#include "control/OperationQueue.h"

#include <initializer_list>

#include "control/Run.h"

namespace kestrel::control {
namespace {

struct ButtonOperations {
  OperationButton button;
  std::initializer_list<Operation> operations;
  std::optional<FileDialogKind> file = std::nullopt;  // the file the press needs
};

// A change to the fuses or lock, and the erase that resets the lock, show the result at once.
const ButtonOperations kButtons[] = {
    {OperationButton::ReadSignature, {Operation::ReadSignature}},
    {OperationButton::Identify, {Operation::Identify}},
    {OperationButton::FactoryReset, {Operation::EraseChip, Operation::WriteFuses, Operation::ReadFuseLock}},
    {OperationButton::OpenWholeChipFile, {Operation::OpenWholeChipFile}, FileDialogKind::OpenWholeChip},
    {OperationButton::Backup,
     {Operation::ReadSignature, Operation::BackupFuseLock, Operation::ReadFlash, Operation::ReadEeprom,
      Operation::WriteBackupFile},
     FileDialogKind::SaveBackup},
    {OperationButton::Restore,
     {Operation::OpenWholeChipFile, Operation::EraseChip, Operation::WriteFlash, Operation::ReadFlash,
      Operation::VerifyFlash, Operation::WriteEeprom, Operation::ReadEeprom, Operation::VerifyEeprom,
      Operation::WriteFuses, Operation::WriteLock, Operation::ReadFuseLock},
     FileDialogKind::OpenWholeChip},
    {OperationButton::ReadCalibration, {Operation::ReadCalibration}},
    {OperationButton::BlankCheck, {Operation::BlankCheckFlash, Operation::BlankCheckEeprom}},
    {OperationButton::ReadFuseLock, {Operation::ReadFuseLock}},
    {OperationButton::Erase, {Operation::EraseChip, Operation::ReadFuseLock}},
    {OperationButton::WriteFuses, {Operation::WriteFuses, Operation::ReadFuseLock}},
    {OperationButton::WriteLock, {Operation::WriteLock, Operation::ReadFuseLock}},
    {OperationButton::WriteFlash, {Operation::WriteFlash}},
    {OperationButton::ReadFlash, {Operation::ReadFlash}},
    {OperationButton::VerifyFlash, {Operation::VerifyFlash}},
    {OperationButton::WriteEeprom, {Operation::WriteEeprom}},
    {OperationButton::ReadEeprom, {Operation::ReadEeprom}},
    {OperationButton::VerifyEeprom, {Operation::VerifyEeprom}},
    {OperationButton::OpenFlashFile, {Operation::OpenFlashFile}, FileDialogKind::OpenFlash},
    {OperationButton::SaveFlashFile, {Operation::SaveFlashFile}, FileDialogKind::SaveFlash},
    {OperationButton::OpenEepromFile, {Operation::OpenEepromFile}, FileDialogKind::OpenEeprom},
    {OperationButton::SaveEepromFile, {Operation::SaveEepromFile}, FileDialogKind::SaveEeprom},
};

}  // namespace

std::optional<FileDialogKind> FileDialogOf(OperationButton button) {
  for (const ButtonOperations& entry : kButtons) {
    if (entry.button == button) return entry.file;
  }
  return std::nullopt;
}

void OperationQueue::QueueButton(OperationButton button) {
  for (const ButtonOperations& entry : kButtons) {
    if (entry.button != button) continue;
    for (Operation operation : entry.operations) Queue(operation);
  }
}

void OperationQueue::QueueAuto(const AutoSelection& boxes) {
  const std::pair<bool, Operation> checked[] = {
      {boxes.eraseChip, Operation::EraseChip},       {boxes.writeFlash, Operation::WriteFlash},
      {boxes.readFlash, Operation::ReadFlash},       {boxes.verifyFlash, Operation::VerifyFlash},
      {boxes.writeEeprom, Operation::WriteEeprom},   {boxes.readEeprom, Operation::ReadEeprom},
      {boxes.verifyEeprom, Operation::VerifyEeprom}, {boxes.writeFuses, Operation::WriteFuses},
      {boxes.writeLock, Operation::WriteLock},
  };
  for (const auto& [on, operation] : checked) {
    if (on) Queue(operation);
  }
  Queue(Operation::ReadFuseLock);
}

void OperationQueue::QueueBurn() {
  for (Operation operation : {Operation::ReadSignature, Operation::ReadCalibration, Operation::WriteFuses,
                              Operation::EraseChip, Operation::WriteFlash, Operation::ReadFlash,
                              Operation::VerifyFlash, Operation::WriteLock, Operation::ReadFuseLock}) {
    Queue(operation);
  }
}

std::optional<Operation> OperationQueue::TakeNext() {
  for (std::size_t i = 0; i < waiting_.size(); ++i) {
    if (!waiting_.test(i)) continue;
    waiting_.reset(i);
    return static_cast<Operation>(i);
  }
  return std::nullopt;
}

}  // namespace kestrel::control
