#pragma once

#include <memory>
#include <string>

#include "chips/ChipBooks.h"
#include "chips/ChipCatalogue.h"
#include "cli/CliFrontEnd.h"
#include "cli/CommandLine.h"
#include "device/UsbBus.h"
#include "device/sim/SimulatedBus.h"

namespace kestrel::cli {

// The simulated programmer that the --sim-* options describe. Its chip is the one whose
// signature --sim-signature gives, else the one --chip selects, as the chip facts beside the
// catalogue describe it (signature, factory fuses and lock, the modes it answers in, the fuse
// bits that lock ISP out); without either, or without facts, the simulator's ATmega328P. The
// chips of a --sim-socket plan are named as --chip names them; a plan that cannot be used
// leaves its reason in `error`.
device::SimulatorOptions SimulatorOptionsFor(const Options& options, const chips::ChipBooks& books,
                                             std::string& error);

// Where the catalogue is looked for: --catalogue, else the usual places.
std::vector<std::string> CataloguePaths(const Options& options, const std::string& executableDir);

// Runs the start-up as the main window does (catalogue, chip, mode, views, probe), then each
// command as one button press, waiting until the queue is idle. Without --chip, the chip is
// identified by its signature before the first command that needs it. Returns kExitSuccess
// when every command succeeded, kExitFailure when one failed (an error beep, a fuse or lock
// text that is not six or two hex digits, a chip that could not be identified, or a start-up
// that could not finish), kExitUsage when the chip is not in the catalogue. Without keepGoing
// it stops after the first command that failed. The list command instead prints a line per
// programmer found and fails when there is none, with the message the probe would show; the
// explain-fuses command prints the fields of the fuse and lock texts without a programmer; the
// report command lists the production database's chips. With no command but --job, the job is
// read and checked and its plan printed (cli/ProductionCommands.h).
int RunSession(const Options& options, device::UsbBus& bus, Terminal terminal,
               std::unique_ptr<TonePlayer> sound, chips::ChipBooks books);

}  // namespace kestrel::cli
