#pragma once
// The program shows the store's and the model's messages in message boxes;
// the tool writes them to standard error, caption first, in their own words.
#include <ostream>
#include <string_view>

#include "model/notifier.h"
#include "store/backup.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

class StderrMessages final : public model::ModelNotifier, public UserMessages {
 public:
  explicit StderrMessages(std::ostream& err) : err_(err) {}
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
    err_ << "vellumo-db: " << Utf16ToUtf8ForDisplay(caption) << ": " << Utf16ToUtf8ForDisplay(text) << '\n';
    shown_ = true;
  }
  void Show(std::u16string_view text, std::u16string_view caption) override { ShowMessage(text, caption); }
  bool Shown() const { return shown_; }

 private:
  std::ostream& err_;
  bool shown_ = false;
};

}  // namespace vellumo::dbtool
