// The local password and the content key it guards, as the password dialog
// handles them, and items with encrypted bodies.
#include <mutex>
#include <ostream>

#include "db_tool_internal.h"
#include "stderr_messages.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "model_support.h"
#include "protect/content_key.h"
#include "protect_support.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

constexpr std::size_t kRecoveryDigits = 2 * sizeof(protect::ContentKey);

// Copies of the content key on the stack are wiped however a command ends.
class KeyWipe {
 public:
  explicit KeyWipe(protect::ContentKey& key) : key_(key) {}
  ~KeyWipe() {
    volatile std::uint8_t* bytes = key_.data();
    for (std::size_t i = 0; i < key_.size(); ++i) bytes[i] = 0;
  }
  KeyWipe(const KeyWipe&) = delete;
  KeyWipe& operator=(const KeyWipe&) = delete;

 private:
  protect::ContentKey& key_;
};

int RunPasswordCheck(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto key = PasswordKeyOf(args[0], &error);
  if (!key) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ContentUnlock unlock(*context.db);
  if (!unlock.Unlock(*key, true, &error)) {
    context.err << "vellumo-db: " << error << '\n';
    return kExitAbsent;
  }
  context.out << "the password unlocks the database\n";
  return kExitOk;
}

int RunPasswordSet(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto oldKey = PasswordKeyOf(args[0], &error);
  if (!oldKey) return ReportError(context, error);
  const auto newKey = PasswordKeyOf(args[1], &error);
  if (!newKey) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ContentUnlock unlock(*context.db);
  if (!unlock.Unlock(*oldKey, true, &error)) return ReportError(context, "the password is unchanged: " + error);
  if (!unlock.Protection().RewrapContentKey(&*oldKey, &*newKey))
    return ReportError(context, "cannot store the password record; the password is unchanged");
  return kExitOk;
}

int RunRecoveryString(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto key = PasswordKeyOf(args[0], &error);
  if (!key) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ContentUnlock unlock(*context.db);
  if (!unlock.Unlock(*key, true, &error)) return ReportError(context, error);
  protect::ContentKey contentKey{};
  KeyWipe wipe(contentKey);
  if (!unlock.Protection().RevealContentKey(contentKey)) return ReportError(context, "the content key is locked");
  context.out << FormatHex(contentKey.data(), contentKey.size()) << '\n';
  return kExitOk;
}

// Only what the recovery box turns into a key byte for byte is accepted: the
// dialog decodes any text of 64 bytes, and a mistyped digit there would
// silently install a wrong key.
bool DecodeRecoveryString(std::string_view text, protect::ContentKey& key, std::string* error) {
  if (text.size() != kRecoveryDigits) {
    *error = "the recovery string must be " + std::to_string(kRecoveryDigits) +
             " lowercase hexadecimal digits, not " + std::to_string(text.size()) + " bytes; nothing was changed";
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      *error = "the recovery string has '" + std::string(1, c) + "' at position " + std::to_string(i + 1) +
               "; only the digits 0-9 and a-f are allowed; nothing was changed";
      return false;
    }
  }
  auto value = [](char c) { return c > '9' ? c - 'a' + 10 : c - '0'; };
  for (std::size_t i = 0; i < key.size(); ++i)
    key[i] = static_cast<std::uint8_t>((value(text[2 * i]) << 4) | value(text[2 * i + 1]));
  return true;
}

int RunRecover(CommandContext& context, CommandArgs args) {
  std::string error;
  protect::ContentKey contentKey{};
  KeyWipe wipe(contentKey);
  if (!DecodeRecoveryString(args[0], contentKey, &error)) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  protect::ContentProtection protection(*context.db);
  if (!protection.RewrapContentKey(&contentKey, nullptr))
    return ReportError(context, "cannot store the password record; nothing was changed");
  context.out << "the password is now empty\n";
  return kExitOk;
}



// Splits off --password, which these commands cannot do without.
std::optional<std::vector<std::string>> ArgsWithPassword(CommandArgs args, std::string_view command,
                                                         std::string* password, std::string* error) {
  std::optional<std::string> given;
  auto rest = TakePasswordOption(args, &given, error);
  if (!rest) return std::nullopt;
  if (!given) {
    *error = std::string(command) + " needs --password PW (\"\" for the empty password)";
    return std::nullopt;
  }
  *password = std::move(*given);
  return rest;
}

int RunItemCreateSecret(CommandContext& context, CommandArgs args) {
  std::string error, password;
  const auto rest = ArgsWithPassword(args, "item-create-secret", &password, &error);
  if (!rest) return ReportError(context, error);
  if (rest->size() != 4)
    return ReportError(context, "usage: vellumo-db item-create-secret NOTE TITLE TAG BODY --password PW");
  const auto note = ParseU32((*rest)[0], "NOTE", &error);
  if (!note) return ReportError(context, error);
  const auto title = ArgumentText((*rest)[1], "title", &error);
  if (!title) return ReportError(context, error);
  // Without a title the model would name the item after its content, that is
  // after cipher text.
  if (title->empty()) return ReportError(context, "the title must not be empty");
  if (title->size() > model::kMaxTitleChars)
    return ReportError(context, "the title is " + std::to_string(title->size()) + " UTF-16 units long; at most " +
                                    std::to_string(model::kMaxTitleChars));
  const std::string& tag = (*rest)[2];
  if (tag != "<k>" && tag != "<K>") return ReportError(context, "TAG must be <k> or <K>, not '" + tag + "'");
  const auto body = ArgumentText((*rest)[3], "body", &error);
  if (!body) return ReportError(context, error);
  if (body->empty()) return ReportError(context, "the body must not be empty");
  // Each 16-byte block of cipher text takes eight code units.
  const std::size_t storedUnits = 3 + (body->size() * 2 + 15) / 16 * 8;
  if (storedUnits > model::kMaxStoredContentChars)
    return ReportError(context, "the body is too long: encrypted it takes " + std::to_string(storedUnits) +
                                    " UTF-16 units with the tag; at most " +
                                    std::to_string(model::kMaxStoredContentChars));

  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  if (!model::NoteExists(db, *note)) return ReportError(context, "there is no note " + std::to_string(*note));
  ContentUnlock unlock(db);
  if (!unlock.Unlock(password, true, &error)) return ReportError(context, error);
  const std::u16string content = unlock.ForStore(std::u16string(tag.begin(), tag.end()) + *body);

  StderrMessages notifier(context.err);
  model::ItemSyncHooks sync;
  model::AppMutex appMutex;
  model::ItemOperations ops(db, notifier, sync, appMutex);
  const std::uint32_t id = ops.CreateItem(*note, *title, content, true);
  if (id == 0) return notifier.Shown() ? kExitError : ReportError(context, "the item could not be stored");
  context.out << id << '\n';
  return kExitOk;
}

int RunItemReveal(CommandContext& context, CommandArgs args) {
  std::string error, password;
  const auto rest = ArgsWithPassword(args, "item-reveal", &password, &error);
  if (!rest) return ReportError(context, error);
  if (rest->size() != 2) return ReportError(context, "usage: vellumo-db item-reveal NOTE ITEM --password PW");
  const auto note = ParseU32((*rest)[0], "NOTE", &error);
  if (!note) return ReportError(context, error);
  const auto item = ParseU32((*rest)[1], "ITEM", &error);
  if (!item) return ReportError(context, error);
  const auto key = PasswordKeyOf(password, &error);
  if (!key) return ReportError(context, error);

  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  if (!model::NoteExists(db, *note)) return ReportError(context, "there is no note " + std::to_string(*note));
  if (!model::ItemExists(db, *note, *item))
    return ReportError(context, "note " + std::to_string(*note) + " has no item " + std::to_string(*item));
  ContentUnlock unlock(db);
  if (!unlock.Unlock(*key, false, &error)) return ReportError(context, error);
  const auto title = ReadValue(db, model::ItemFieldKey(*note, model::item_field::kTitle, *item));
  const auto content = ReadValue(db, model::ItemFieldKey(*note, model::item_field::kContent, *item));
  context.out << EscapedForLine(Utf16FromBytes(title)) << '\t'
              << EscapedForLine(unlock.ForShow(Utf16FromBytes(content))) << '\n';
  return kExitOk;
}

constexpr CommandSpec kProtectCommands[] = {
    {"password-check", "PW", "Tells whether PW is the local password: exit\n"
     "code 0 when it unlocks, 1 when it does not.", 1, 1, DatabaseAccess::ReadWrite, &RunPasswordCheck},
    {"password-set", "OLD NEW", "Changes the local password from OLD to NEW;\n"
     "encrypted contents stay as they are.", 2, 2, DatabaseAccess::ReadWrite, &RunPasswordSet},
    {"recovery-string", "PW", "Prints the recovery string: the content key as 64\n"
     "lowercase hexadecimal digits.", 1, 1, DatabaseAccess::ReadWrite, &RunRecoveryString},
    {"recover", "STRING", "Installs the content key a recovery string gives\n"
     "and sets the empty password.  A wrong string\n"
     "leaves encrypted contents unreadable until the\n"
     "right one is recovered.", 1, 1, DatabaseAccess::ReadWrite, &RunRecover},
    {"item-create-secret", "NOTE TITLE TAG BODY --password PW",
     "Creates an item whose content is TAG (<k> or <K>)\n"
     "and BODY, the body stored encrypted; prints its id.", 4, 6, DatabaseAccess::ReadWrite, &RunItemCreateSecret},
    {"item-reveal", "NOTE ITEM --password PW", "Prints the title and content of an item with an\n"
     "encrypted body decrypted, tab-separated, escaped\n"
     "as by 'items'.", 2, 4, DatabaseAccess::ReadOnly, &RunItemReveal},
};

}  // namespace

std::span<const CommandSpec> ProtectCommands() { return kProtectCommands; }

}  // namespace vellumo::dbtool
