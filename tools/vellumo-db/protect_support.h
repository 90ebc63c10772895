#pragma once
// The local password as the tool's commands use it: unlocking the content key
// the way the program does, and turning "<k>"/"<K>" contents between their
// plain and stored forms.  The item commands take --password through this.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db_tool_internal.h"
#include "protect/content_key.h"

namespace vellumo::dbtool {

// Removes "--password PW" from args wherever it stands and returns the rest
// in order.  nullopt with *error when the option has no value or is given
// twice; *password stays unset when the option is absent.
std::optional<std::vector<std::string>> TakePasswordOption(CommandArgs args, std::optional<std::string>* password,
                                                           std::string* error);

// A content with a body after a "<k>" or "<K>" tag: the body is stored
// encrypted.  A bare tag has nothing to encrypt.
bool IsProtectedContent(std::u16string_view content);

// The password's key; nullopt with *error when the UTF-8 text cannot be read.
std::optional<protect::PasswordKey> PasswordKeyOf(std::string_view passwordUtf8, std::string* error);

class ContentUnlock {
 public:
  explicit ContentUnlock(Ku& db) : db_(db), protection_(db) {}

  // Unlocks with the password.  A database without a password record stands
  // for the empty password, as at the program's start; with createRecord the
  // record is then written, as the program would, otherwise only the empty
  // password is accepted and nothing is written.  A wrong password or a
  // damaged record is false with *error, and nothing stored changes.
  bool Unlock(const protect::PasswordKey& key, bool createRecord, std::string* error);
  bool Unlock(std::string_view passwordUtf8, bool createRecord, std::string* error);

  // The stored form of a content: a protected content's body encrypted, any
  // other content as it is.  Needs the key unlocked.
  std::u16string ForStore(std::u16string_view plainContent) const;
  // The plain form of a stored content; a body that is not whole cipher
  // blocks shows as empty, a body under another key as garbage.
  std::u16string ForShow(std::u16string_view storedContent) const;

  protect::ContentProtection& Protection() { return protection_; }

 private:
  Ku& db_;
  protect::ContentProtection protection_;
};

}  // namespace vellumo::dbtool
