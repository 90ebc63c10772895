#pragma once
// NoteWindowList: every note window from creation until it is reaped.
// Changed only on the interface thread and only under AppMutex, because the
// item operations of other threads take that mutex too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace vellumo::notes {

class KIzMTk;

class NoteWindowList {
 public:
  NoteWindowList();
  ~NoteWindowList();
  NoteWindowList(const NoteWindowList&) = delete;
  NoteWindowList& operator=(const NoteWindowList&) = delete;

  std::vector<std::unique_ptr<KIzMTk>>& Windows() { return windows_; }
  const std::vector<std::unique_ptr<KIzMTk>>& Windows() const { return windows_; }
  // True the first time a note is asked about in this run: its stored items
  // are checked and repaired once, when it is first opened.
  bool FirstOpening(std::uint32_t note) { return repaired_.insert(note).second; }

 private:
  std::vector<std::unique_ptr<KIzMTk>> windows_;  // unordered: removal moves the last entry into the gap
  std::unordered_set<std::uint32_t> repaired_;
};

}  // namespace vellumo::notes
