// get, put, scan and erase: the record operations of the store, one command
// each, with keys and values in hexadecimal.
#include <istream>
#include <ostream>

#include "db_tool_internal.h"
#include "store/ku.h"
#include "store/trie_format.h"

namespace vellumo::dbtool {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& bytes) { return FormatHex(bytes.data(), bytes.size()); }

// Returns an empty string on success, else what went wrong.
std::string StoreValue(Ku& db, const Bytes& key, const Bytes& value) {
  const int rc = db.Put(key, value.empty() ? nullptr : value.data(), static_cast<std::uint32_t>(value.size()));
  if (rc == 0) return {};
  if (rc == ku_error::kPutHeader && value.empty()) {
    // Clearing a key that was never stored can land on an empty slot of a
    // full node, which Put answers like an unreadable header.
    Bytes old;
    Presence presence;
    (void)db.GetValue(key, &old, &presence);
    if (presence == Presence::Absent) return {};
  }
  return "cannot store key " + Hex(key) + " (store error " + std::to_string(rc) + ")";
}

int RunGet(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto key = ParseKey(args[0], "key", &error);
  if (!key) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Bytes value;
  Presence presence;
  const int rc = context.db->GetValue(*key, &value, &presence);
  if (presence == Presence::Damaged)
    return ReportError(context, "cannot read key " + Hex(*key) + " (store error " + std::to_string(rc) + ")");
  if (presence == Presence::Absent) {
    context.err << "vellumo-db: key " << Hex(*key) << " has no value\n";
    return kExitAbsent;
  }
  context.out << Hex(value) << '\n';
  return kExitOk;
}

// put -: one Put per line, stopping at the first bad line.  Nothing is
// rolled back: the store has no transactions, so earlier lines stay.
int RunPutLines(CommandContext& context) {
  std::string line;
  std::uint64_t lineNumber = 0;
  std::uint64_t applied = 0;
  auto fail = [&](const std::string& what) {
    const std::string earlier = applied == 0   ? "nothing was applied"
                                : applied == 1 ? "1 earlier line stays applied"
                                               : std::to_string(applied) + " earlier lines stay applied";
    return ReportError(context, "line " + std::to_string(lineNumber) + ": " + what + "; " + earlier);
  };
  while (std::getline(context.in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string_view> fields;
    const std::string_view rest(line);
    std::size_t at = 0;
    while (true) {
      at = rest.find_first_not_of(" \t", at);
      if (at == std::string_view::npos) break;
      const std::size_t end = std::min(rest.find_first_of(" \t", at), rest.size());
      fields.push_back(rest.substr(at, end - at));
      at = end;
    }
    if (fields.empty()) continue;
    if (fields.size() > 2) return fail("expected KEY or KEY VALUE, found " + std::to_string(fields.size()) + " fields");
    std::string error;
    const auto key = ParseKey(fields[0], "key", &error);
    if (!key) return fail(error);
    const auto value = fields.size() == 2 ? ParseValue(fields[1], &error) : std::optional<Bytes>(Bytes{});
    if (!value) return fail(error);
    error = StoreValue(*context.db, *key, *value);
    if (!error.empty()) return fail(error);
    ++applied;
  }
  if (context.in.bad()) return ReportError(context, "cannot read standard input");
  context.out << applied << '\n';
  return kExitOk;
}

int RunPut(CommandContext& context, CommandArgs args) {
  if (args.size() == 1) {
    if (args[0] == "-") {
      if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
      return RunPutLines(context);
    }
    return ReportError(context, "put needs a VALUE (\"\" clears the key) or '-' to read lines from standard input");
  }
  std::string error;
  const auto key = ParseKey(args[0], "key", &error);
  if (!key) return ReportError(context, error);
  const auto value = ParseValue(args[1], &error);
  if (!value) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  error = StoreValue(*context.db, *key, *value);
  if (!error.empty()) return ReportError(context, error);
  return kExitOk;
}

struct ScanState {
  std::ostream* out;
  std::uint32_t minLength;  // keys shorter than this are skipped here, not by the store
  std::string error;
  Bytes value;
};

int PrintScanned(const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t* valueHeader, void* context,
                 Ku& database) {
  auto& state = *static_cast<ScanState*>(context);
  if (keyLength < state.minLength) return 1;
  if (const int rc = ScannedValue(valueHeader, database).ReadAll(&state.value); rc != 0) {
    state.error = "the value of key " + FormatHex(key, keyLength) + " cannot be read (store error " +
                  std::to_string(rc) + ")";
    return 0;
  }
  *state.out << FormatHex(key, keyLength) << ' ' << Hex(state.value) << '\n';
  return 1;
}

// The store fixes the first MIN-1 bytes of the start key and takes the rest
// as a starting position.  A MIN beyond the prefix would fix bytes the user
// never gave (zeros), so then the store gets prefix length + 1 and the length
// bound is applied here.
int RunScan(CommandContext& context, CommandArgs args) {
  if (args.size() == 2) return ReportError(context, "scan takes MIN and MAX together; usage: vellumo-db scan [PREFIX [MIN MAX]]");
  std::string error;
  Bytes prefix;
  if (!args.empty()) {
    auto parsed = ParseHex(args[0], "prefix", &error);
    if (!parsed) return ReportError(context, error);
    if (parsed->size() >= trie::kMaxKeyLength)
      return ReportError(context, "the prefix must be shorter than " + std::to_string(trie::kMaxKeyLength) + " bytes");
    prefix = std::move(*parsed);
  }
  const auto prefixMin = static_cast<std::uint32_t>(prefix.size() + 1);
  std::uint32_t minLength = prefixMin;
  std::uint32_t maxLength = trie::kMaxKeyLength;
  if (args.size() == 3) {
    const auto min = ParseCount(args[1], "MIN", 1, trie::kMaxKeyLength, &error);
    if (!min) return ReportError(context, error);
    const auto max = ParseCount(args[2], "MAX", 1, trie::kMaxKeyLength, &error);
    if (!max) return ReportError(context, error);
    if (*min > *max) return ReportError(context, "MIN must not be greater than MAX");
    minLength = *min;
    maxLength = *max;
  }
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ScanState state{&context.out, minLength, {}, {}};
  // Ku::Scan copies the start key with memcpy even when it is empty, and an
  // empty vector's data() may be null; hand it a valid pointer.
  static constexpr std::uint8_t kNoByte = 0;
  const std::span<const std::uint8_t> startKey(prefix.empty() ? &kNoByte : prefix.data(), prefix.size());
  const int finished =
      context.db->Scan(startKey, std::min(minLength, prefixMin), maxLength, &PrintScanned, &state);
  if (!state.error.empty()) return ReportError(context, state.error);
  if (finished == 0) return ReportError(context, "scan stopped early: a node could not be read");
  return kExitOk;
}

int RunErase(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto prefix = ParseKey(args[0], "prefix", &error);
  if (!prefix) return ReportError(context, error);
  std::uint32_t maxLength = trie::kMaxKeyLength;
  if (args.size() == 2) {
    const auto max = ParseCount(args[1], "MAX", 1, trie::kMaxKeyLength, &error);
    if (!max) return ReportError(context, error);
    maxLength = *max;
  }
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  context.out << context.db->Erase(*prefix, maxLength) << '\n';
  return kExitOk;
}

constexpr CommandSpec kRecordCommands[] = {
    {"get", "KEY", "Prints the value of KEY; exit 1 when it has none.", 1, 1, DatabaseAccess::ReadOnly, &RunGet},
    {"put", "KEY VALUE | put -",
     "Stores VALUE under KEY; an empty VALUE (\"\") clears\n"
     "the key.  'put -' reads lines 'KEY VALUE' (or 'KEY'\n"
     "alone to clear) from standard input, one put each,\n"
     "and prints how many it applied.  It stops at the\n"
     "first malformed line and names it; the lines before\n"
     "it stay applied (there is no rollback).",
     1, 2, DatabaseAccess::ReadWrite, &RunPut},
    {"scan", "[PREFIX [MIN MAX]]",
     "Lists 'KEY VALUE' in key order for the keys that\n"
     "extend PREFIX (PREFIX itself is not listed).  MIN\n"
     "and MAX bound the key length (default: length of\n"
     "PREFIX + 1 to 16384).  A MIN at or below the length\n"
     "of PREFIX fixes only its first MIN-1 bytes; the\n"
     "rest of PREFIX is where the listing starts.",
     0, 3, DatabaseAccess::ReadOnly, &RunScan},
    {"erase", "PREFIX [MAX]",
     "Removes the values of PREFIX and of every key that\n"
     "extends it, up to MAX bytes long (default 16384),\n"
     "and prints how many it removed.",
     1, 2, DatabaseAccess::ReadWrite, &RunErase},
};

}  // namespace

std::span<const CommandSpec> RecordCommands() { return kRecordCommands; }

}  // namespace vellumo::dbtool
