// Linked into the crypto test executables: VELLUMO_FORCE_PORTABLE=1 in the
// environment makes the whole run behave as on a processor without AES and
// SHA instructions (ctest runs each of these executables both ways).
#include <cstdlib>
#include <string_view>

#include "protect/engine_choice.h"

namespace {

const bool kForced = [] {
  const char* v = std::getenv(vellumo::protect::kForcePortableVariable);
  const bool forced = v != nullptr && *v != '\0' && std::string_view(v) != "0";
  vellumo::protect::ForcePortableEngines(forced);
  return forced;
}();

}  // namespace
