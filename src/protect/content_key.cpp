#include "protect/content_key.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/secure_random.h"
#include "platform/utf16_bytes.h"
#include "protect/caes.h"
#include "protect/stretch_block.h"
#include "protect/wipe_guard.h"
#include "store/ku.h"
#include "store/record_keys.h"

namespace vellumo::protect {
namespace {

constexpr std::size_t kBlockBytes = 16;
constexpr std::size_t kPasswordBlockBytes = 512;
constexpr auto& kRecordKeyBytes = record_keys::kPasswordKey;

// Every key, IV and slot key comes from the system's generator; a failure
// there is reported rather than papered over with weaker bytes.
[[nodiscard]] bool RandomKeyBytes(std::span<std::uint8_t> out) noexcept { return platform::FillSecureRandom(out); }

void Wipe(std::span<std::uint8_t> secret) noexcept { platform::SecureWipe(secret.data(), secret.size()); }

// Key bytes 0-15 and IV bytes 16-31, the layout of every 32-byte key here.
void MakeKey(CAES& aes, std::span<const std::uint8_t, 32> key) { aes.MakeKey(key.first<16>(), key.last<16>()); }

void CbcEncrypt(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  CAES aes;
  MakeKey(aes, key);
  aes.Encrypt(in, out, CAES::Mode::CBC);
}

void CbcDecrypt(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  CAES aes;
  MakeKey(aes, key);
  aes.Decrypt(in, out, CAES::Mode::CBC);
}

std::vector<std::uint8_t> EncryptWith(CAES& aes, std::span<const std::uint8_t> plain) {
  const std::size_t padded = (plain.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
  if (plain.empty() || padded > kMaxContentBytes) return {};
  std::vector<std::uint8_t> out(padded, 0);
  std::copy(plain.begin(), plain.end(), out.begin());
  aes.Encrypt(out, out, CAES::Mode::CBC);
  return out;
}

std::vector<std::uint8_t> DecryptWith(CAES& aes, std::span<const std::uint8_t> cipher) {
  if (cipher.empty() || cipher.size() % kBlockBytes != 0 || cipher.size() > kMaxContentBytes) return {};
  std::vector<std::uint8_t> out(cipher.size());
  aes.Decrypt(cipher, out, CAES::Mode::CBC);
  return out;
}

bool LengthAcceptable(std::size_t cipherBytes) {
  return cipherBytes != 0 && cipherBytes % kBlockBytes == 0 && cipherBytes <= kMaxContentBytes;
}

// Encrypts or decrypts a body with a cipher already keyed, wiping every
// intermediate copy of the plain text.
std::u16string EncryptBodyWith(CAES& aes, std::u16string_view plainBody) {
  std::vector<std::uint8_t> plain = Utf16ToBytes(plainBody);
  WipeGuard wipePlain(plain);
  return Utf16FromBytes(EncryptWith(aes, plain));
}

std::u16string DecryptBodyWith(CAES& aes, std::u16string_view cipherBody) {
  if (!LengthAcceptable(cipherBody.size() * 2)) return {};
  std::vector<std::uint8_t> plain = DecryptWith(aes, Utf16ToBytes(cipherBody));
  WipeGuard wipePlain(plain);
  // The padding zeros end the text.
  std::u16string text = Utf16FromBytes(plain);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

// The verifier: what only the true ContentKey stretches to.
std::array<std::uint8_t, 32> Verifier(const ContentKey& key) {
  std::array<std::uint8_t, 32> verifier = key;
  StretchBlock(verifier);
  return verifier;
}

enum class RecordState { Absent, Present, Unusable };

RecordState ReadRecord(Ku& database, std::array<std::uint8_t, kPasswordRecordBytes>& out) {
  std::vector<std::uint8_t> value;
  Presence presence = Presence::Damaged;
  const int rc = database.GetValue(kRecordKeyBytes, &value, &presence);
  // A new record is only ever written where the store confirms none is.
  if (presence == Presence::Absent) return RecordState::Absent;
  if (rc != 0 || value.size() != out.size()) return RecordState::Unusable;
  std::copy(value.begin(), value.end(), out.begin());
  return RecordState::Present;
}

}  // namespace

bool RandomContentKey(ContentKey& out) noexcept {
  if (RandomKeyBytes(out)) return true;
  Wipe(out);
  return false;
}

PasswordKey DerivePasswordKey(std::u16string_view password) {
  std::string ansi = platform::WideToAnsi(password);
  WipeGuard wipeAnsi(ansi);
  return DerivePasswordKeyFromAnsi(ansi);
}

PasswordKey DerivePasswordKeyFromAnsi(std::string_view ansi) {
  std::array<std::uint8_t, kPasswordBlockBytes> block{};
  WipeGuard wipeBlock(block);
  // A password longer than 511 bytes is cut there, even inside a
  // double-byte character: that is the key existing records were made with.
  std::copy_n(ansi.begin(), std::min(ansi.size(), kPasswordBlockBytes - 1), block.begin());
  StretchBlock(block);
  PasswordKey key;
  std::copy_n(block.begin(), key.size(), key.begin());
  return key;
}

std::vector<std::uint8_t> EncryptContent(std::span<const std::uint8_t> plain, const ContentKey& key) {
  CAES aes;
  MakeKey(aes, key);
  return EncryptWith(aes, plain);
}

std::vector<std::uint8_t> DecryptContent(std::span<const std::uint8_t> cipher, const ContentKey& key) {
  if (!LengthAcceptable(cipher.size())) return {};
  CAES aes;
  MakeKey(aes, key);
  return DecryptWith(aes, cipher);
}

std::u16string EncryptBody(std::u16string_view plainBody, const ContentKey& key) {
  CAES aes;
  MakeKey(aes, key);
  return EncryptBodyWith(aes, plainBody);
}

std::u16string DecryptBody(std::u16string_view cipherBody, const ContentKey& key) {
  CAES aes;
  MakeKey(aes, key);
  return DecryptBodyWith(aes, cipherBody);
}

ContentProtection::ContentProtection(Ku& database) : database_(database) {
  // Refilled before every use; filled here only so it never starts as zeros.
  (void)RandomKeyBytes(slotKey_);
}

ContentProtection::~ContentProtection() {
  LockContent();
  Wipe(slotKey_);
}

bool ContentProtection::UnlockContent(const PasswordKey* key) {
  PasswordKey emptyPasswordKey{};
  WipeGuard wipeEmpty(emptyPasswordKey);
  if (key == nullptr) {
    (void)RandomKeyBytes(slotKey_);
    emptyPasswordKey = DerivePasswordKey(u"");
    key = &emptyPasswordKey;
  }
  std::array<std::uint8_t, kPasswordRecordBytes> record{};
  std::array<std::uint8_t, kPasswordRecordBytes> plain{};
  WipeGuard wipePlain(plain);
  switch (ReadRecord(database_, record)) {
    case RecordState::Absent: {
      ContentKey contentKey{};
      WipeGuard wipeKey(contentKey);
      if (!RandomKeyBytes(contentKey)) return false;
      return WriteNewRecord(contentKey, *key, PutIfMode::PutIfAbsent);
    }
    case RecordState::Unusable:
      LockContent();
      return false;
    case RecordState::Present:
      break;
  }
  CbcDecrypt(*key, record, plain);
  ContentKey contentKey{};
  WipeGuard wipeKey(contentKey);
  std::copy_n(plain.begin(), contentKey.size(), contentKey.begin());
  std::array<std::uint8_t, 32> verifier = Verifier(contentKey);
  WipeGuard wipeVerifier(verifier);
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < verifier.size(); ++i) difference |= static_cast<std::uint8_t>(verifier[i] ^ plain[32 + i]);
  if (difference != 0) {
    // A wrong password also locks a program that was unlocked.
    LockContent();
    return false;
  }
  return ProtectContentKey(contentKey);
}

UnlockOutcome ContentProtection::UnlockWithPassword(const PasswordKey& key, RecordCreation creation) {
  std::array<std::uint8_t, kPasswordRecordBytes> record{};
  switch (ReadRecord(database_, record)) {
    case RecordState::Present:
      return UnlockContent(&key) ? UnlockOutcome::kUnlocked : UnlockOutcome::kWrongPassword;
    case RecordState::Unusable:
      LockContent();
      return UnlockOutcome::kDamagedRecord;
    case RecordState::Absent:
      break;
  }
  PasswordKey emptyPasswordKey = DerivePasswordKey(u"");
  WipeGuard wipeEmpty(emptyPasswordKey);
  if (key != emptyPasswordKey) {
    LockContent();
    return UnlockOutcome::kWrongPassword;
  }
  if (creation == RecordCreation::kLeaveAbsent) return UnlockOutcome::kNoRecord;
  return UnlockContent(&emptyPasswordKey) ? UnlockOutcome::kUnlocked : UnlockOutcome::kStoreFailed;
}

bool ContentProtection::UnlockAtStart() {
  PasswordKey emptyPasswordKey = DerivePasswordKey(u"");
  WipeGuard wipeEmpty(emptyPasswordKey);
  return UnlockWithPassword(emptyPasswordKey, RecordCreation::kCreate) == UnlockOutcome::kUnlocked;
}

bool ContentProtection::WriteNewRecord(ContentKey& key, const PasswordKey& passwordKey, PutIfMode mode) {
  std::array<std::uint8_t, kPasswordRecordBytes> plain{};
  WipeGuard wipePlain(plain);
  std::copy(key.begin(), key.end(), plain.begin());
  std::array<std::uint8_t, 32> verifier = Verifier(key);
  WipeGuard wipeVerifier(verifier);
  std::copy(verifier.begin(), verifier.end(), plain.begin() + 32);
  std::array<std::uint8_t, kPasswordRecordBytes> record{};
  CbcEncrypt(passwordKey, plain, record);
  // The key goes into the slot only once it is stored: bodies encrypted
  // under a key the database does not hold would be lost at the next start.
  if (database_.PutIf(mode, kRecordKeyBytes, record.data(), static_cast<std::uint32_t>(record.size())) != 0) {
    return false;
  }
  return ProtectContentKey(key);
}

bool ContentProtection::RewrapContentKey(const std::array<std::uint8_t, 32>* first, const PasswordKey* second) {
  if (first != nullptr && second != nullptr) {
    std::array<std::uint8_t, kPasswordRecordBytes> record{};
    if (ReadRecord(database_, record) != RecordState::Present) return false;
    std::array<std::uint8_t, kPasswordRecordBytes> plain{};
    WipeGuard wipePlain(plain);
    CbcDecrypt(*first, record, plain);
    CbcEncrypt(*second, plain, record);
    if (database_.Put(kRecordKeyBytes, record.data(), static_cast<std::uint32_t>(record.size())) != 0) return false;
    ContentKey contentKey{};
    WipeGuard wipeKey(contentKey);
    std::copy_n(plain.begin(), contentKey.size(), contentKey.begin());
    return ProtectContentKey(contentKey);
  }
  if (first != nullptr) {
    ContentKey contentKey = *first;
    WipeGuard wipeKey(contentKey);
    PasswordKey emptyPasswordKey = DerivePasswordKey(u"");
    WipeGuard wipeEmpty(emptyPasswordKey);
    return WriteNewRecord(contentKey, emptyPasswordKey, PutIfMode::PutAlways);
  }
  if (second != nullptr) {
    // Clearing a key the store holds no value for is an error there, and a
    // database without a record is exactly where a reset must still work.
    std::array<std::uint8_t, kPasswordRecordBytes> record{};
    if (ReadRecord(database_, record) != RecordState::Absent &&
        database_.Put(kRecordKeyBytes, nullptr, 0) != 0) {
      return false;
    }
    return UnlockContent(second);
  }
  return false;
}

bool ContentProtection::ProtectContentKey(ContentKey& key) {
  if (!RandomKeyBytes(slotKey_)) {
    Wipe(key);
    LockContent();
    return false;
  }
  if (!slot_) slot_ = std::make_unique<std::array<std::uint8_t, 32>>();
  CbcEncrypt(slotKey_, key, *slot_);
  Wipe(key);
  return true;
}

bool ContentProtection::RevealContentKey(ContentKey& out) const {
  if (!slot_) {
    Wipe(out);
    return false;
  }
  CbcDecrypt(slotKey_, *slot_, out);
  return true;
}

void ContentProtection::LockContent() noexcept {
  if (!slot_) return;
  Wipe(*slot_);
  slot_.reset();
}

// The slot versions reveal the key only for the key set-up and wipe it
// before any data is processed.
namespace {

bool KeyFromSlot(const ContentProtection& protection, CAES& aes) {
  ContentKey key{};
  WipeGuard wipeKey(key);
  if (!protection.RevealContentKey(key)) return false;
  MakeKey(aes, key);
  return true;
}

}  // namespace

std::vector<std::uint8_t> ContentProtection::EncryptContent(std::span<const std::uint8_t> plain) const {
  CAES aes;
  return KeyFromSlot(*this, aes) ? EncryptWith(aes, plain) : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> ContentProtection::DecryptContent(std::span<const std::uint8_t> cipher) const {
  CAES aes;
  return KeyFromSlot(*this, aes) ? DecryptWith(aes, cipher) : std::vector<std::uint8_t>{};
}

std::u16string ContentProtection::EncryptBody(std::u16string_view plainBody) const {
  CAES aes;
  return KeyFromSlot(*this, aes) ? EncryptBodyWith(aes, plainBody) : std::u16string{};
}

std::u16string ContentProtection::DecryptBody(std::u16string_view cipherBody) const {
  CAES aes;
  return KeyFromSlot(*this, aes) ? DecryptBodyWith(aes, cipherBody) : std::u16string{};
}

}  // namespace vellumo::protect
