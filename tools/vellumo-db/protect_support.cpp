#include "protect_support.h"

#include <array>

#include "store/ku.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

constexpr std::size_t kTagUnits = 3;

}  // namespace

std::optional<std::vector<std::string>> TakePasswordOption(CommandArgs args, std::optional<std::string>* password,
                                                           std::string* error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--password") {
      rest.push_back(args[i]);
      continue;
    }
    if (password->has_value()) {
      *error = "--password is given twice";
      return std::nullopt;
    }
    if (i + 1 == args.size()) {
      *error = "--password needs a password (\"\" for the empty one)";
      return std::nullopt;
    }
    *password = args[++i];
  }
  return rest;
}

bool IsProtectedContent(std::u16string_view content) {
  return content.size() > kTagUnits && (content.starts_with(u"<k>") || content.starts_with(u"<K>"));
}

std::optional<protect::PasswordKey> PasswordKeyOf(std::string_view passwordUtf8, std::string* error) {
  const auto password = ArgumentText(passwordUtf8, "password", error);
  if (!password) return std::nullopt;
  return protect::DerivePasswordKey(*password);
}

bool ContentUnlock::Unlock(const protect::PasswordKey& key, bool createRecord, std::string* error) {
  const std::array<std::uint8_t, 1> recordKey{protect::kPasswordRecordKey};
  std::vector<std::uint8_t> record;
  const int rc = db_.GetValue(recordKey, &record);
  if (rc == 0 && !record.empty() && record.size() != protect::kPasswordRecordBytes) {
    *error = "the password record is damaged: " + std::to_string(record.size()) + " bytes instead of " +
             std::to_string(protect::kPasswordRecordBytes);
    return false;
  }
  if (record.empty()) {
    // The program starts on such a database with the empty password, so
    // that is the only one that can be right.
    if (key != protect::DerivePasswordKey(u"")) {
      *error = "wrong password (the database has no password record, so its password is the empty one)";
      return false;
    }
    if (!createRecord) {
      *error = "the database has no password record yet, so nothing in it is encrypted";
      return false;
    }
  }
  if (!protection_.UnlockContent(&key)) {
    *error = record.empty() ? "cannot store a new password record" : "wrong password";
    return false;
  }
  return true;
}

bool ContentUnlock::Unlock(std::string_view passwordUtf8, bool createRecord, std::string* error) {
  const auto key = PasswordKeyOf(passwordUtf8, error);
  return key && Unlock(*key, createRecord, error);
}

std::u16string ContentUnlock::ForStore(std::u16string_view plainContent) const {
  if (!IsProtectedContent(plainContent)) return std::u16string(plainContent);
  return std::u16string(plainContent.substr(0, kTagUnits)) + protection_.EncryptBody(plainContent.substr(kTagUnits));
}

std::u16string ContentUnlock::ForShow(std::u16string_view storedContent) const {
  if (!IsProtectedContent(storedContent)) return std::u16string(storedContent);
  return std::u16string(storedContent.substr(0, kTagUnits)) + protection_.DecryptBody(storedContent.substr(kTagUnits));
}

}  // namespace vellumo::dbtool
