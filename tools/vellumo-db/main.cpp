// Entry point: turns the command line into UTF-8 strings and hands over.
#include <iostream>
#include <string>
#include <vector>

#include "db_tool.h"

#ifdef _WIN32
#include <exception>
#include <filesystem>

// wmain gets the UTF-16 command line; the tool works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::u8string text = std::filesystem::path(argv[i]).u8string();
      args.emplace_back(text.begin(), text.end());
    }
  } catch (const std::exception&) {  // an unpaired surrogate has no UTF-8 form
    std::cerr << "vellumo-db: the command line is not valid Unicode\n";
    return vellumo::dbtool::kExitError;
  }
  return vellumo::dbtool::RunDbTool(args, std::cin, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return vellumo::dbtool::RunDbTool(args, std::cin, std::cout, std::cerr);
}
#endif
