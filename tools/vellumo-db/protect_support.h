#pragma once
// The local password as the tool's commands use it: unlocking the content key
// under the program's own rule, and turning "<k>"/"<K>" contents between
// their plain and stored forms.  The item commands take --password through
// this.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db_tool_internal.h"
#include "protect/content_key.h"
#include "protect/secret_content.h"

namespace vellumo::dbtool {

// Removes "--password PW" from args wherever it stands and returns the rest
// in order.  nullopt with *error when the option has no value or is given
// twice; *password stays unset when the option is absent.
std::optional<std::vector<std::string>> TakePasswordOption(CommandArgs args, std::optional<std::string>* password,
                                                           std::string* error);

// The password's key; nullopt with *error when the UTF-8 text cannot be read.
std::optional<protect::PasswordKey> PasswordKeyOf(std::string_view passwordUtf8, std::string* error);

class ContentUnlock {
 public:
  explicit ContentUnlock(Ku& db) : db_(db), protection_(db) {}

  // Unlocks with the password.  A database without a password record has the
  // empty password; with createRecord the record is then written, as the
  // program would at its start, otherwise nothing is written and the unlock
  // fails, there being nothing encrypted to show.  A wrong password or a
  // damaged record is false with *error, and nothing stored changes.
  bool Unlock(const protect::PasswordKey& key, bool createRecord, std::string* error);
  bool Unlock(std::string_view passwordUtf8, bool createRecord, std::string* error);

  // The stored form of a content (protect::StoredSecretContent); nullopt
  // with *error when it is refused.  Needs the key unlocked.
  std::optional<std::u16string> ForStore(std::u16string_view plainContent, std::string* error) const;
  // The plain form of a stored content (protect::PlainSecretContent).
  std::u16string ForShow(std::u16string_view storedContent) const;

  protect::ContentProtection& Protection() { return protection_; }

 private:
  Ku& db_;
  protect::ContentProtection protection_;
};

// The stored form of a content given in plain text: a secret content is
// encrypted under the content key the password unlocks, after its stored
// length was found to fit, so that a refused content writes nothing, not
// even a new password record.  A secret content without a password is
// refused rather than stored in the clear.
std::optional<std::u16string> StoredContentWithPassword(Ku& db, std::u16string_view plainContent,
                                                        const std::optional<std::string>& password,
                                                        std::string* error);

}  // namespace vellumo::dbtool
