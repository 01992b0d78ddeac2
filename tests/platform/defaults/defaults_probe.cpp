// defaults_probe FILE get KEY            prints the string form of KEY, or "(absent)"
// defaults_probe FILE set-int KEY N      stores the integer N under KEY
// defaults_probe FILE set-string KEY S   stores the string S under KEY
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/defaults/UserDefaults.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  tilvane::defaults::UserDefaults defaults{std::filesystem::path(argv[1])};
  const std::string command = argv[2];
  const std::string key = argv[3];
  if (command == "get" && argc == 4) {
    const auto value = defaults.stringForKey(key);
    std::printf("%s\n", value ? value->c_str() : "(absent)");
    return 0;
  }
  if (command == "set-int" && argc == 5) {
    defaults.setInteger(key, std::strtoll(argv[4], nullptr, 10));
    return defaults.synchronize() ? 0 : 1;
  }
  if (command == "set-string" && argc == 5) {
    defaults.setString(key, argv[4]);
    return defaults.synchronize() ? 0 : 1;
  }
  return 2;
}
