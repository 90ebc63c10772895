// stat and check: what the files say about themselves, and whether the trie
// and the free lists hold together.
#include <ostream>

#include "db_tool_internal.h"
#include "store/ku.h"
#include "store/store_check.h"
#include "store/trie_format.h"

namespace vellumo::dbtool {

namespace {

// The magic is shown as text when it is printable (it is, for any file the
// store agreed to open) so that it reads like the format's own name.
std::string MagicText(const std::uint8_t* magic) {
  for (int i = 0; i < 4; ++i)
    if (magic[i] < 0x21 || magic[i] > 0x7e) return FormatHex(magic, 4);
  return std::string(magic, magic + 4);
}

int RunStat(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  std::uint8_t header[trie::kHeaderSize] = {};
  if (db.KuView()->Read(0, header, sizeof header) != 0) return ReportError(context, "cannot read the file header");
  const FreeSpaceCounters& c = db.FreeSpace().Counters();
  std::ostream& out = context.out;
  out << "magic: " << MagicText(header) << '\n'
      << "version: " << unsigned{header[8]} << '\n'
      << "root kind: " << unsigned{header[9]} << '\n'
      << "address width: " << unsigned{header[10]} << '\n'
      << "unit size: " << unsigned{header[11]} << '\n'
      << "EndUnit: " << db.EndUnit() << '\n'
      << "ku file bytes: " << db.KuFileSize() << '\n'
      << "hs file bytes: " << db.FreeSpace().FileSize() << '\n'
      << "RecordHighWater: " << c.recordHighWater << '\n'
      << "RecycledHead: " << c.recycledHead << '\n'
      << "SplitOrMissCount: " << c.splitOrMissCount << '\n'
      << "ReleaseCount: " << c.releaseCount << '\n'
      << "ReleaseWraps: " << c.releaseWraps << '\n'
      << "ReuseCount: " << c.reuseCount << '\n'
      << "ReuseWraps: " << c.reuseWraps << '\n'
      << "FreeUnits: " << c.freeUnits << '\n'
      << "free-space map reset at open: " << (db.FreeSpaceWasReset() ? "yes" : "no") << '\n'
      << "free-space file usable: " << (db.FreeSpaceUnavailable() ? "no (released space is not reused)" : "yes")
      << '\n';
  return kExitOk;
}

int RunCheck(CommandContext& context, CommandArgs args) {
  const bool repair = !args.empty();
  if (repair && args[0] != "--repair") return ReportError(context, "unknown option '" + args[0] + "' for check");
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  const StoreCheckReport report = CheckStore(db);
  // Notes first: with damage they may explain it, without it they are all
  // there is to say beyond the summary.
  for (const std::string& note : report.notes) context.out << "note: " << note << '\n';
  if (!report.ok) {
    context.out << "damaged: " << report.fault << '\n';
    return kExitCheckFault;
  }
  context.out << "ok: " << report.keys << " keys, " << report.nodes << " nodes, " << report.valueBlocks
              << " value blocks, " << report.freeBlocks << " free blocks (" << report.freeUnits << " units), "
              << report.usedUnits << " used units, EndUnit " << db.EndUnit() << '\n';
  return repair ? RepairNotes(context) : kExitOk;
}

constexpr CommandSpec kInspectCommands[] = {
    {"stat", "", "Prints the header fields, EndUnit, both file sizes\n"
     "and the free-space counters, one 'name: value' a\n"
     "line.",
     0, 0, DatabaseAccess::ReadOnly, &RunStat},
    {"check", "[--repair]",
     "Verifies the trie and the free lists.  Prints a\n"
     "'note: ' line for each kind of departure that loses\n"
     "nothing (left by other writers, or space that will\n"
     "not be reused), then a one-line summary (exit 0) or\n"
     "'damaged: ' and the first fault that loses or\n"
     "misreads data (exit 2).  With --repair, a sound\n"
     "database then gets the repairs a note's first\n"
     "opening makes: order entries of items without a\n"
     "title removed, item counts recounted.",
     0, 1, DatabaseAccess::ReadOnly, &RunCheck},
};

}  // namespace

std::span<const CommandSpec> InspectCommands() { return kInspectCommands; }

}  // namespace vellumo::dbtool
