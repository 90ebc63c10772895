#pragma once
#include <string_view>

namespace vellumo::model {

// How the model's user messages reach a person (message boxes in the
// program, standard error in the tool, a recorder in tests); the model
// itself calls no window function.
class ModelNotifier {
 public:
  virtual ~ModelNotifier() = default;
  virtual void ShowMessage(std::u16string_view text, std::u16string_view caption) = 0;
};

}  // namespace vellumo::model
