#pragma once
// Content protection: one random ContentKey encrypts every "<k>"/"<K>" item
// body of a database; the password only guards the stored copy of that key.
//
// PasswordRecord, the value of the one-byte key 6 (64 bytes):
//   OFFSET SIZE
//        0   32  ContentKey: AES-128 key (0-15), CBC IV (16-31)
//       32   32  verifier: StretchBlock of a copy of the ContentKey
//   all 64 bytes AES-128-CBC encrypted under the PasswordKey.
// Nothing else derived from the password is stored.  Without a password the
// record is encrypted under the key of the empty password.
//
// Item body: the UTF-16LE text after the three-unit tag, zero-padded to whole
// 16-byte blocks, AES-128-CBC encrypted under the ContentKey with its fixed
// IV (every body restarts the chain there), the ciphertext bytes stored two
// to a code unit, little-endian.
//
// While unlocked the ContentKey is held only encrypted under a SlotKey that
// is fresh random bytes every time a key is put in the slot, so a memory dump
// shows no key that works by itself.  All state lives on the interface
// thread; nothing here takes a lock.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellumo {
class Ku;
enum class PutIfMode : int;
}

namespace vellumo::protect {

using ContentKey = std::array<std::uint8_t, 32>;
using PasswordKey = std::array<std::uint8_t, 32>;

inline constexpr std::size_t kPasswordRecordBytes = 64;
// Longest body DecryptContent accepts, in bytes.
inline constexpr std::size_t kMaxContentBytes = 0x20000;

// A new ContentKey from the system's generator; false, with the key zeroed,
// when the generator failed.
[[nodiscard]] bool RandomContentKey(ContentKey& out) noexcept;

// The password as the ANSI code page spells it, at most 511 bytes of it,
// zero-filled to 512 bytes and stretched; the key is the first 32 bytes.  No
// password and the empty password give the same key.
[[nodiscard]] PasswordKey DerivePasswordKey(std::u16string_view password);
// The same from ANSI bytes already read; only the first 511 count.
[[nodiscard]] PasswordKey DerivePasswordKeyFromAnsi(std::string_view ansiPassword);

// Plain body bytes zero-padded to whole blocks and encrypted; empty when the
// input is empty or the padded length would exceed kMaxContentBytes, since
// such a body could never be decrypted again.
[[nodiscard]] std::vector<std::uint8_t> EncryptContent(std::span<const std::uint8_t> plain, const ContentKey& key);

// Empty, and nothing decrypted, unless the length is a non-zero multiple of
// 16 no larger than kMaxContentBytes.  The padding stays; callers stop at the
// first zero code unit.
[[nodiscard]] std::vector<std::uint8_t> DecryptContent(std::span<const std::uint8_t> cipher, const ContentKey& key);

// The same on UTF-16 bodies (what follows the tag): encrypting one code unit
// gives eight; decrypting stops at the first zero code unit and gives an
// empty text for a body EncryptContent could not have produced.
[[nodiscard]] std::u16string EncryptBody(std::u16string_view plainBody, const ContentKey& key);
[[nodiscard]] std::u16string DecryptBody(std::u16string_view cipherBody, const ContentKey& key);

// What an unlock with a password came to.
enum class UnlockOutcome : int {
  kUnlocked = 0,
  kWrongPassword = 1,  // locked, whatever it was before
  kNoRecord = 2,       // no PasswordRecord and none was to be made: nothing is encrypted yet
  kDamagedRecord = 3,  // the record is not 64 bytes; locked, and the record is kept
  kStoreFailed = 4,    // a new record or the slot could not be made
};

// Whether an unlock may create the PasswordRecord of a database that has none.
enum class RecordCreation { kCreate, kLeaveAbsent };

class ContentProtection {
 public:
  // The database holds the PasswordRecord; it must outlive this object.
  explicit ContentProtection(Ku& database);
  ~ContentProtection();
  ContentProtection(const ContentProtection&) = delete;
  ContentProtection& operator=(const ContentProtection&) = delete;

  // With no key (start-up) the empty password is tried.  A database without
  // a PasswordRecord gets a new random ContentKey stored under that key.  A
  // wrong key, or a record that is not 64 bytes, locks and returns false;
  // such a record is never overwritten here.
  [[nodiscard]] bool UnlockContent(const PasswordKey* key = nullptr);

  // Every unlock with a password follows one rule: a database without a
  // PasswordRecord has the empty password, so only the empty password opens
  // it, and with kCreate a new ContentKey is made and stored under it.  Any
  // other password is wrong there: stored under it, a record would lock the
  // next start of the program.
  [[nodiscard]] UnlockOutcome UnlockWithPassword(const PasswordKey& key, RecordCreation creation);
  // The program's start: the empty password, with the record made where
  // none is.  A database with a password starts locked.
  [[nodiscard]] bool UnlockAtStart();

  // Three uses, by which argument is absent:
  //   (old PasswordKey, new PasswordKey)  change password; the caller has
  //       checked the old one, nothing is verified here
  //   (ContentKey, nullptr)               recovery: any key is accepted and
  //       stored under the empty password
  //   (nullptr, PasswordKey)              forced reset: the record, if any and
  //       whatever its state, is deleted and a new random ContentKey created
  //       under the given key
  // Returns false, leaving the record as it was, when it cannot be read or
  // written or random bytes are unavailable.
  [[nodiscard]] bool RewrapContentKey(const std::array<std::uint8_t, 32>* first, const PasswordKey* second);

  // Puts the key in the slot (unlocking) and wipes the caller's copy.
  [[nodiscard]] bool ProtectContentKey(ContentKey& key);
  // False, with the output zeroed, while locked.
  [[nodiscard]] bool RevealContentKey(ContentKey& out) const;
  void LockContent() noexcept;
  [[nodiscard]] bool IsUnlocked() const noexcept { return slot_ != nullptr; }

  // With the key in the slot; empty while locked.
  [[nodiscard]] std::vector<std::uint8_t> EncryptContent(std::span<const std::uint8_t> plain) const;
  [[nodiscard]] std::vector<std::uint8_t> DecryptContent(std::span<const std::uint8_t> cipher) const;
  [[nodiscard]] std::u16string EncryptBody(std::u16string_view plainBody) const;
  [[nodiscard]] std::u16string DecryptBody(std::u16string_view cipherBody) const;

 private:
  // A fresh record at start-up is written only where none exists, so that a
  // record the store cannot read is never replaced by a new key.
  [[nodiscard]] bool WriteNewRecord(ContentKey& key, const PasswordKey& passwordKey, PutIfMode mode);

  Ku& database_;
  std::array<std::uint8_t, 32> slotKey_{};
  std::unique_ptr<std::array<std::uint8_t, 32>> slot_;
};

}  // namespace vellumo::protect
