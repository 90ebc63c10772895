// The local password and the content key it guards, as the password dialog
// handles them.  Items with encrypted bodies are made and shown by the item
// commands with --password.
#include <ostream>

#include "db_tool_internal.h"
#include "protect/content_key.h"
#include "protect/reencrypt.h"
#include "protect/recovery_string.h"
#include "protect/wipe_guard.h"
#include "protect_support.h"

namespace vellumo::dbtool {

namespace {

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
  protect::WipeGuard wipeKey(contentKey);
  if (!unlock.Protection().RevealContentKey(contentKey)) return ReportError(context, "the content key is locked");
  context.out << protect::FormatRecoveryString(contentKey) << '\n';
  return kExitOk;
}

// Only what the recovery box turns into a key byte for byte is accepted: the
// dialog decodes any text of 64 bytes, and a mistyped digit there would
// silently install a wrong key.
bool DecodeRecoveryString(std::string_view text, protect::ContentKey& key, std::string* error) {
  if (text.size() != protect::kRecoveryDigits) {
    *error = "the recovery string must be " + std::to_string(protect::kRecoveryDigits) +
             " lowercase hexadecimal digits, not " + std::to_string(text.size()) + " bytes; nothing was changed";
    return false;
  }
  if (!protect::AreRecoveryDigits(text)) {
    const std::size_t at = text.find_first_not_of("0123456789abcdef");
    *error = "the recovery string has '" + std::string(1, text[at]) + "' at position " + std::to_string(at + 1) +
             "; only the digits 0-9 and a-f are allowed; nothing was changed";
    return false;
  }
  protect::DecodeRecoveryDigits(text, key);
  return true;
}

// "clear": a forced reset.  A new random content key under the empty
// password; what was encrypted before stays unreadable until its recovery
// string is recovered.  No password is asked: it is for a forgotten one.
int RunRecoverClear(CommandContext& context) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  protect::ContentProtection protection(*context.db);
  const protect::PasswordKey emptyPasswordKey = protect::DerivePasswordKey(u"");
  if (!protection.RewrapContentKey(nullptr, &emptyPasswordKey))
    return ReportError(context, "cannot store a new password record");
  context.out << "the password is now empty; contents encrypted before need their old recovery string\n";
  return kExitOk;
}

// "new" and "new" followed by a recovery string: every encrypted body is
// re-encrypted to another content key, which is then kept under the empty
// password.  The current password must unlock first.
int RunRecoverNew(CommandContext& context, std::string_view keyText, const std::string& password) {
  std::string error;
  protect::ContentKey newKey{};
  protect::WipeGuard wipeNewKey(newKey);
  if (!keyText.empty() && !DecodeRecoveryString(keyText, newKey, &error))
    return ReportError(context, "after 'new': " + error);
  const auto passwordKey = PasswordKeyOf(password, &error);
  if (!passwordKey) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  ContentUnlock unlock(*context.db);
  if (!unlock.Unlock(*passwordKey, true, &error)) return ReportError(context, error + "; nothing was changed");
  if (keyText.empty() && !protect::RandomContentKey(newKey))
    return ReportError(context, "the system's random generator failed; nothing was changed");
  const std::string newRecovery = protect::FormatRecoveryString(newKey);
  const protect::ReplaceKeyResult result = protect::ReplaceContentKey(*context.db, unlock.Protection(), newKey);
  if (!result.replaced) {
    // The bodies already moved to the new key: without it they are lost.
    return ReportError(context, "cannot store the password record after re-encrypting " +
                                    std::to_string(result.rewritten) +
                                    " bodies; recover with this recovery string: " + newRecovery);
  }
  context.out << "re-encrypted " << result.rewritten << " bodies; the password is now empty\n"
              << "recovery string: " << newRecovery << '\n';
  return kExitOk;
}

int RunRecover(CommandContext& context, CommandArgs allArgs) {
  std::string error;
  std::optional<std::string> password;
  const auto args = TakePasswordOption(allArgs, &password, &error);
  if (!args) return ReportError(context, error);
  if (args->size() != 1) return ReportError(context, "usage: vellumo-db recover clear|new[STRING]|STRING [--password PW]");
  const std::string& text = (*args)[0];

  const protect::RecoveryRequest request = protect::ClassifyRecoveryText(text);
  switch (request) {
    case protect::RecoveryRequest::kNewWrongLength:
      return ReportError(context, "'new' followed by a recovery string is " +
                                      std::to_string(protect::kRecoveryNewWord.size() + protect::kRecoveryDigits) +
                                      " bytes, not " + std::to_string(text.size()) + "; nothing was changed");
    case protect::RecoveryRequest::kNewRandom:
    case protect::RecoveryRequest::kNewGiven:
      if (!password) return ReportError(context, "recover new needs --password PW (\"\" for the empty password)");
      return RunRecoverNew(context, protect::RecoveryDigitsOf(text), *password);
    default:
      break;
  }
  if (password)
    return ReportError(context, "only 'recover new' takes --password: the other recoveries leave the empty password");
  if (request == protect::RecoveryRequest::kClear) return RunRecoverClear(context);

  protect::ContentKey contentKey{};
  protect::WipeGuard wipeKey(contentKey);
  if (!DecodeRecoveryString(text, contentKey, &error)) return ReportError(context, error);
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  protect::ContentProtection protection(*context.db);
  if (!protection.RewrapContentKey(&contentKey, nullptr))
    return ReportError(context, "cannot store the password record; nothing was changed");
  context.out << "the password is now empty\n";
  return kExitOk;
}

constexpr CommandSpec kProtectCommands[] = {
    {"password-check", "PW", "Tells whether PW is the local password: exit\n"
     "code 0 when it unlocks, 1 when it does not.", 1, 1, DatabaseAccess::ReadWrite, &RunPasswordCheck},
    {"password-set", "OLD NEW", "Changes the local password from OLD to NEW;\n"
     "encrypted contents stay as they are.", 2, 2, DatabaseAccess::ReadWrite, &RunPasswordSet},
    {"recovery-string", "PW", "Prints the recovery string: the content key as 64\n"
     "lowercase hexadecimal digits.", 1, 1, DatabaseAccess::ReadWrite, &RunRecoveryString},
    {"recover", "clear|new[STRING]|STRING [--password PW]",
     "Recovers the local password:\n"
     "STRING, a recovery string, installs the content\n"
     "key it gives; a wrong string leaves encrypted\n"
     "contents unreadable until the right one is\n"
     "recovered.  'clear' makes a new random content\n"
     "key, so contents encrypted before are unreadable.\n"
     "'new' (with --password, the current password)\n"
     "re-encrypts every encrypted content to a new\n"
     "random key, or to the one STRING gives when it\n"
     "follows 'new' directly, and prints its recovery\n"
     "string.  Each leaves the empty password.",
     1, 3, DatabaseAccess::ReadWrite, &RunRecover},
};

}  // namespace

std::span<const CommandSpec> ProtectCommands() { return kProtectCommands; }

}  // namespace vellumo::dbtool
