// What the sync server sees of items: their hashes, a note's digest, sealed
// item blocks, and the payload compressor under them.
#include <algorithm>
#include <istream>
#include <iterator>
#include <ostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#endif

#include "db_tool_internal.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "model_support.h"
#include "protect/wipe_guard.h"
#include "sync/compress.h"
#include "sync/item_block.h"
#include "sync/note_digest.h"
#include "sync/sealing.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

// A stream does not say how long its output is; capacity grows until it
// decodes, up to a bound that keeps a hostile stream from exhausting memory.
constexpr std::size_t kMaxDecompressedBytes = std::size_t{256} << 20;

// In text mode the C runtime would turn CR LF into LF and stop reading at
// byte 0x1A.
void UseBinaryStdio([[maybe_unused]] CommandContext& context) {
#ifdef _WIN32
  if (&context.in == &std::cin) (void)_setmode(_fileno(stdin), _O_BINARY);
  if (&context.out == &std::cout) {
    std::cout.flush();
    (void)_setmode(_fileno(stdout), _O_BINARY);
  }
#endif
}

std::vector<std::uint8_t> ReadAll(std::istream& in) {
  std::vector<std::uint8_t> data;
  std::transform(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), std::back_inserter(data),
                 [](char c) { return static_cast<std::uint8_t>(c); });
  return data;
}

void WriteAll(std::ostream& out, std::span<const std::uint8_t> bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int RunCompress(CommandContext& context, CommandArgs) {
  UseBinaryStdio(context);
  const std::vector<std::uint8_t> input = ReadAll(context.in);
  if (context.in.bad()) return ReportError(context, "cannot read standard input");
  std::vector<std::uint8_t> stream(sync::CompressBound(input.size()));
  std::size_t streamBytes = 0;
  if (sync::CompressPayload(input, stream, streamBytes) != sync::kPayloadOk)
    return ReportError(context, "the input is too large to compress (" + std::to_string(input.size()) + " bytes)");
  WriteAll(context.out, std::span(stream).first(streamBytes));
  if (!context.out.flush()) return ReportError(context, "cannot write standard output");
  return kExitOk;
}

std::string_view DecompressFault(int code) {
  switch (code) {
    case sync::kDecompressTruncatedFarDistance: return "the stream ends inside a 20-bit distance";
    case sync::kDecompressTruncatedLengthByte: return "the stream ends inside an 8-bit length extension";
    case sync::kDecompressTruncatedLengthWord: return "the stream ends inside a 16-bit length extension";
    case sync::kDecompressDistanceBeforeStart: return "a match reaches before the start of the output";
    case sync::kDecompressTruncatedDistance: return "the stream ends inside a distance";
    case sync::kDecompressTruncatedLengthNibble: return "the stream ends between a distance and its length";
    case sync::kDecompressTruncatedRaw: return "the stream ends inside a raw block";
    case sync::kDecompressBadRawHeader: return "a raw block has a bad header";
  }
  return "the stream is damaged";
}

bool IsOutputFull(int code) {
  return code == sync::kDecompressRawTooLarge || code == sync::kDecompressMatchTooLong ||
         code == sync::kDecompressLiteralNoRoom;
}

int RunDecompress(CommandContext& context, CommandArgs) {
  UseBinaryStdio(context);
  const std::vector<std::uint8_t> stream = ReadAll(context.in);
  if (context.in.bad()) return ReportError(context, "cannot read standard input");
  std::size_t capacity = std::clamp<std::size_t>(stream.size() * 8, 4096, kMaxDecompressedBytes);
  std::vector<std::uint8_t> output;
  for (;;) {
    output.assign(capacity, 0);
    std::size_t outputBytes = 0;
    const int rc = sync::DecompressPayload(stream, output, outputBytes);
    if (rc == sync::kPayloadOk) {
      output.resize(outputBytes);
      break;
    }
    if (!IsOutputFull(rc))
      return ReportError(context, "cannot decompress: " + std::string(DecompressFault(rc)) + " (error " +
                                      std::to_string(rc) + " after " + std::to_string(outputBytes) +
                                      " output bytes)");
    if (capacity == kMaxDecompressedBytes)
      return ReportError(context, "cannot decompress: the stream decodes to more than " +
                                      std::to_string(kMaxDecompressedBytes) + " bytes");
    capacity = std::min(capacity * 4, kMaxDecompressedBytes);
  }
  WriteAll(context.out, output);
  if (!context.out.flush()) return ReportError(context, "cannot write standard output");
  return kExitOk;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

struct NoteItemArgs {
  std::uint32_t note = 0;
  std::uint32_t item = 0;
};

// Parses NOTE ITEM, opens the database and checks that the item exists.
int OpenWithItem(CommandContext& context, CommandArgs args, NoteItemArgs& parsed) {
  std::string error;
  const auto note = ParseU32(args[0], "NOTE", &error);
  if (!note) return ReportError(context, error);
  const auto item = ParseU32(args[1], "ITEM", &error);
  if (!item) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  if (!model::NoteExists(*context.db, *note)) return ReportError(context, "there is no note " + std::to_string(*note));
  if (!model::ItemExists(*context.db, *note, *item))
    return ReportError(context, "note " + std::to_string(*note) + " has no item " + std::to_string(*item));
  parsed = {*note, *item};
  return kExitOk;
}

int RunItemHash(CommandContext& context, CommandArgs args) {
  NoteItemArgs parsed;
  if (const int rc = OpenWithItem(context, args, parsed); rc != kExitOk) return rc;
  const sync::ItemHashValue hash = sync::StoredItemHash(*context.db, parsed.note, parsed.item);
  context.out << FormatHex(hash.data(), hash.size()) << '\n';
  return kExitOk;
}

int RunNoteDigest(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseU32(args[0], "NOTE", &error);
  if (!note) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  if (!model::NoteExists(db, *note)) return ReportError(context, "there is no note " + std::to_string(*note));
  // The digest the sync engine computes, over the items as the model lists them.
  const sync::NoteDigestValue digest = sync::NoteDigestOf(db, *note);
  context.out << FormatHex(digest.data(), digest.size()) << '\n';
  return kExitOk;
}

std::optional<sync::SyncKey> SyncKeyOf(std::string_view passwordUtf8, std::string* error) {
  const auto password = ArgumentText(passwordUtf8, "sync password", error);
  if (!password) return std::nullopt;
  std::vector<std::uint8_t> bytes = Utf16Bytes(*password);
  protect::WipeGuard wipeBytes(bytes);
  return sync::DeriveSyncKey(bytes);
}

std::string_view SealFault(sync::SealError error) {
  switch (error) {
    case sync::SealError::kOk: return "";
    case sync::SealError::kBlockTooLarge: return "the item block is larger than 102400 bytes";
    case sync::SealError::kMalformedBlock: return "the item block is malformed";
    case sync::SealError::kDoesNotFit: return "compressed, the item does not fit in 102400 bytes";
    case sync::SealError::kNoRandom: return "the system's random generator failed";
  }
  return "unknown failure";
}

int RunItemSeal(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto key = SyncKeyOf(args[2], &error);
  if (!key) return ReportError(context, error);
  NoteItemArgs parsed;
  if (const int rc = OpenWithItem(context, args, parsed); rc != kExitOk) return rc;
  const sync::StoredItem stored = sync::ReadStoredItem(*context.db, parsed.note, parsed.item);
  const auto block = sync::ItemBlock::Make(stored.Fields());
  if (!block) return ReportError(context, "the item is too large for an item block");
  std::vector<std::uint8_t> sealed;
  if (const sync::SealError rc = sync::SealItemBlock(*key, block->bytes(), sealed); rc != sync::SealError::kOk)
    return ReportError(context, "cannot seal the item: " + std::string(SealFault(rc)));
  context.out << FormatHex(sealed.data(), sealed.size()) << '\n';
  return kExitOk;
}

std::string_view UnsealFault(sync::UnsealError error) {
  switch (error) {
    case sync::UnsealError::kOk: return "";
    case sync::UnsealError::kBadSize:
      return "it is empty, larger than 102400 bytes or not whole 16-byte blocks";
    case sync::UnsealError::kCheckMismatch: return "wrong sync password or damaged data (the check does not match)";
    case sync::UnsealError::kNoEndMarker: return "no end marker among the last 16 bytes";
    case sync::UnsealError::kEmptyStream: return "it holds no compressed data";
    case sync::UnsealError::kBadStream: return "the compressed item block does not decode";
    case sync::UnsealError::kMalformedBlock: return "the decoded bytes are not a well-formed item block";
  }
  return "unknown failure";
}

int RunItemUnseal(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto key = SyncKeyOf(args[0], &error);
  if (!key) return ReportError(context, error);
  const auto sealed = ParseHex(args[1], "sealed item", &error);
  if (!sealed) return ReportError(context, error);
  std::vector<std::uint8_t> block;
  if (const sync::UnsealError rc = sync::UnsealItemBlock(*key, *sealed, block); rc != sync::UnsealError::kOk)
    return ReportError(context, "refused to unseal: " + std::string(UnsealFault(rc)));
  sync::ItemFields fields;
  if (sync::ParseItemBlock(block, fields) != sync::ItemBlockError::kOk)
    return ReportError(context, "refused to unseal: " + std::string(UnsealFault(sync::UnsealError::kMalformedBlock)));
  context.out << "title: " << EscapedForLine(Utf16FromBytes(fields.title)) << '\n'
              << "content: " << EscapedForLine(Utf16FromBytes(fields.content))
              << '\n';
  return kExitOk;
}

constexpr CommandSpec kSyncCommands[] = {
    {"compress", "", "Compresses standard input to standard output as\n"
     "sync payloads are compressed.", 0, 0, DatabaseAccess::None, &RunCompress},
    {"decompress", "", "Decompresses a payload stream from standard input\n"
     "to standard output.", 0, 0, DatabaseAccess::None, &RunDecompress},
    {"item-hash", "NOTE ITEM", "Prints the hash that identifies an item on the\n"
     "sync server.", 2, 2, DatabaseAccess::ReadOnly, &RunItemHash},
    {"note-digest", "NOTE", "Prints the digest of a note's item hashes; 40\n"
     "zeros for a note without items.", 1, 1, DatabaseAccess::ReadOnly, &RunNoteDigest},
    {"item-seal", "NOTE ITEM SYNCPASSWORD", "Prints an item sealed for the sync server under a\n"
     "sync password, in hexadecimal.  Encrypted bodies\n"
     "are sealed as stored.", 3, 3, DatabaseAccess::ReadOnly, &RunItemSeal},
    {"item-unseal", "SYNCPASSWORD HEX", "Unseals a sealed item and prints its title and\n"
     "content, escaped as by 'items'.", 2, 2, DatabaseAccess::None, &RunItemUnseal},
};

}  // namespace

std::span<const CommandSpec> SyncCommands() { return kSyncCommands; }

}  // namespace vellumo::dbtool
