#include "protect_support.h"

#include "store/record_keys.h"

#include <array>

#include "model/items.h"
#include "store/ku.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

std::string TooLongMessage(std::u16string_view plainContent) {
  return "the content is too long: stored encrypted it takes " +
         std::to_string(protect::StoredContentUnits(plainContent)) + " UTF-16 units with the tag; at most " +
         std::to_string(model::kMaxStoredContentChars);
}

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

std::optional<protect::PasswordKey> PasswordKeyOf(std::string_view passwordUtf8, std::string* error) {
  const auto password = ArgumentText(passwordUtf8, "password", error);
  if (!password) return std::nullopt;
  return protect::DerivePasswordKey(*password);
}

bool ContentUnlock::Unlock(const protect::PasswordKey& key, bool createRecord, std::string* error) {
  const auto creation = createRecord ? protect::RecordCreation::kCreate : protect::RecordCreation::kLeaveAbsent;
  switch (protection_.UnlockWithPassword(key, creation)) {
    case protect::UnlockOutcome::kUnlocked:
      return true;
    case protect::UnlockOutcome::kWrongPassword: {
      const auto& recordKey = record_keys::kPasswordKey;
      std::vector<std::uint8_t> record;
      const bool hasRecord = db_.GetValue(recordKey, &record) == 0 && !record.empty();
      *error = hasRecord ? "wrong password"
                         : "wrong password (the database has no password record, so its password is the empty one)";
      return false;
    }
    case protect::UnlockOutcome::kNoRecord:
      *error = "the database has no password record yet, so nothing in it is encrypted";
      return false;
    case protect::UnlockOutcome::kDamagedRecord: {
      const auto& recordKey = record_keys::kPasswordKey;
      std::vector<std::uint8_t> record;
      const int rc = db_.GetValue(recordKey, &record);
      *error = rc == 0 ? "the password record is damaged: " + std::to_string(record.size()) + " bytes instead of " +
                             std::to_string(protect::kPasswordRecordBytes)
                       : "the password record cannot be read (store error " + std::to_string(rc) + ")";
      return false;
    }
    case protect::UnlockOutcome::kStoreFailed:
      *error = "cannot store a new password record";
      return false;
  }
  *error = "cannot unlock";
  return false;
}

bool ContentUnlock::Unlock(std::string_view passwordUtf8, bool createRecord, std::string* error) {
  const auto key = PasswordKeyOf(passwordUtf8, error);
  return key && Unlock(*key, createRecord, error);
}

std::optional<std::u16string> ContentUnlock::ForStore(std::u16string_view plainContent, std::string* error) const {
  std::u16string stored;
  switch (protect::StoredSecretContent(plainContent, protection_, stored)) {
    case protect::StoreContentError::kOk:
      return stored;
    case protect::StoreContentError::kTooLong:
      *error = TooLongMessage(plainContent);
      return std::nullopt;
    case protect::StoreContentError::kLocked:
      break;
  }
  *error = "the content key is locked";
  return std::nullopt;
}

std::u16string ContentUnlock::ForShow(std::u16string_view storedContent) const {
  return protect::PlainSecretContent(storedContent, protection_);
}

std::optional<std::u16string> StoredContentWithPassword(Ku& db, std::u16string_view plainContent,
                                                        const std::optional<std::string>& password,
                                                        std::string* error) {
  if (!protect::IsSecretContent(plainContent)) return std::u16string(plainContent);
  if (!password) {
    *error = "a <k> or <K> content is stored encrypted: give --password PW";
    return std::nullopt;
  }
  if (protect::StoredContentUnits(plainContent) > model::kMaxStoredContentChars) {
    *error = TooLongMessage(plainContent);
    return std::nullopt;
  }
  ContentUnlock unlock(db);
  if (!unlock.Unlock(*password, true, error)) return std::nullopt;
  return unlock.ForStore(plainContent, error);
}

}  // namespace vellumo::dbtool
