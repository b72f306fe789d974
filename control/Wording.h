#pragma once

#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "control/Run.h"
#include "device/LinkFailure.h"
#include "device/PageTransfer.h"
#include "device/ProgrammerLink.h"
#include "image/HexFileReader.h"

// Turns the facts that the lower layers report into the plain lines the log shows.
namespace kestrel::control {

// "通讯失败：…" and its kin: which request failed and how.
std::string LinkFailureLine(const device::LinkFailure& failure);
// Why a block transfer was not started.
std::string TransferRefusalLine(device::BlockTransfer transfer, const device::TransferRefusal& refusal,
                                const chips::ChipGeometry& geometry);
// One line per kind of input the catalogue parser cut or dropped.
std::vector<std::string> CatalogueCutLines(const chips::CatalogueCuts& cuts);
// The report when no catalogue could be read, naming every path searched.
std::string CatalogueMissingLine(const chips::CatalogueLoad& load);
// The request that the access-denied line asks of the user.
std::string AccessDeniedLine();
// Why the last Open or List of `link` found no programmer to use: it may not be accessed, the
// one asked for by address is not there, or none is plugged in.
std::string ProgrammerMissingMessage(const device::ProgrammerLink& link);
// After an Open that found several programmers, which one was opened and how to choose;
// empty otherwise.
std::string ProgrammersFoundLine(const device::ProgrammerLink& link);
// "文件 X 未读入：…": why the HEX reader refused the file `name`, for any fault but HexTooLarge,
// which the side that opens the file words.
std::string HexRefusalLine(const std::string& name, const image::HexFault& fault);
// The cause of a failed run, as the run's closing line names it.
const char* CauseText(Cause cause);

}  // namespace kestrel::control
