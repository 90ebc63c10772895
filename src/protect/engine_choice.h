#pragma once
// A process-wide switch that makes every cipher and hash behave as on a
// processor without AES or SHA instructions, so that the portable engines can
// be tested and measured on machines that have them.  The program never sets
// it; test and benchmark start-up code does, from the environment variable
// kForcePortableVariable.
namespace vellumo::protect {

inline constexpr const char* kForcePortableVariable = "VELLUMO_FORCE_PORTABLE";

void ForcePortableEngines(bool force) noexcept;
[[nodiscard]] bool PortableEnginesForced() noexcept;

}  // namespace vellumo::protect
