#pragma once
// A table-backed note model for the engine's decisions, and a readable
// rendering of their actions: frames are parsed back from their wire bytes,
// hashes are shown by the name of the item text they belong to.
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sync/engine_actions.h"
#include "sync/frames.h"
#include "sync/local_items.h"

namespace vellumo::sync::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes U16(std::u16string_view s) {
  Bytes b;
  for (char16_t c : s) {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return b;
}

inline StoredItem Item(std::u16string_view title, std::u16string_view content) {
  return {U16(title), U16(content)};
}

inline ItemHashValue HashOf(const StoredItem& s) { return ItemHash(s.Fields()); }

class TableItems final : public LocalItems {
 public:
  std::map<std::uint32_t, std::vector<LocalItem>> notes;
  std::map<std::uint32_t, std::vector<ItemHashValue>> journals;

  std::vector<LocalItem> Items(std::uint32_t noteId) const override {
    const auto it = notes.find(noteId);
    return it == notes.end() ? std::vector<LocalItem>{} : it->second;
  }
  std::optional<StoredItem> Item(std::uint32_t noteId, std::uint32_t itemId) const override {
    for (const auto& i : Items(noteId))
      if (i.itemId == itemId) return i.stored;
    return std::nullopt;
  }
  std::vector<ItemHashValue> Journal(std::uint32_t noteId) const override {
    const auto it = journals.find(noteId);
    return it == journals.end() ? std::vector<ItemHashValue>{} : it->second;
  }
};

// Names hashes for the rendering; unknown ones show as "?".
class HashNames {
 public:
  void Name(const StoredItem& s, std::string name) { names_[HashOf(s)] = std::move(name); }
  void Name(const ItemHashValue& h, std::string name) { names_[h] = std::move(name); }
  std::string operator()(const ItemHashValue& h) const {
    const auto it = names_.find(h);
    return it == names_.end() ? "?" : it->second;
  }

 private:
  std::map<ItemHashValue, std::string> names_;
};

inline std::string Narrow(std::span<const std::uint8_t> utf16) {
  std::string s;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) s.push_back(static_cast<char>(utf16[i]));
  return s;
}

inline std::string Render(const EngineAction& action, const HashNames& names) {
  std::ostringstream o;
  std::visit(
      [&](const auto& a) {
        using A = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<A, SendFrameAction>) {
          ClientMessage m;
          if (ParseClientFrame(a.frame, m) != FrameError::kOk) {
            o << "send <unparsable>";
            return;
          }
          std::visit(
              [&](const auto& f) {
                using F = std::decay_t<decltype(f)>;
                if constexpr (std::is_same_v<F, Digest>) o << "Digest " << f.noteId;
                if constexpr (std::is_same_v<F, ListItem>) o << "ListItem " << f.noteId << "/" << f.itemId << " " << names(f.hash);
                if constexpr (std::is_same_v<F, ListEnd>) o << "ListEnd " << f.noteId << " " << f.itemCount;
                if constexpr (std::is_same_v<F, Announce>) o << "Announce " << f.noteId << "/" << f.itemId << " " << names(f.hash);
                if constexpr (std::is_same_v<F, Upload>) o << "Upload " << f.noteId << " " << names(f.hash);
                if constexpr (std::is_same_v<F, DeleteHash>) o << "DeleteHash " << f.noteId << " " << names(f.hash);
                if constexpr (std::is_same_v<F, Hello> || std::is_same_v<F, Heartbeat> || std::is_same_v<F, Register>)
                  o << "send other";
              },
              m);
        }
        if constexpr (std::is_same_v<A, CreateLocalItem>)
          o << "create " << a.noteId << " " << Narrow(a.title) << ":" << Narrow(a.content);
        if constexpr (std::is_same_v<A, DeleteLocalItem>) o << "delete " << a.noteId << "/" << a.itemId;
        if constexpr (std::is_same_v<A, NoteChanged>) o << "changed " << a.noteId;
        if constexpr (std::is_same_v<A, JournalAdd>) o << "journal+ " << a.noteId << " " << names(a.hash);
        if constexpr (std::is_same_v<A, JournalErase>) o << "journal- " << a.noteId << " " << names(a.hash);
        if constexpr (std::is_same_v<A, SetEntryStatus>) o << "status " << a.noteId << " " << a.status;
        if constexpr (std::is_same_v<A, ReportSyncError>) o << "error " << a.noteId << " " << a.code;
        if constexpr (std::is_same_v<A, ShowNotice>) o << "notice " << Narrow(a.text);
        if constexpr (std::is_same_v<A, HeartbeatAnswered>) o << "heartbeat answered";
      },
      action);
  return o.str();
}

inline std::vector<std::string> Render(const ActionList& actions, const HashNames& names) {
  std::vector<std::string> out;
  for (const auto& a : actions) out.push_back(Render(a, names));
  return out;
}

}  // namespace vellumo::sync::testing
