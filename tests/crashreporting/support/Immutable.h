#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// Makes a file or folder immutable for its own life: nothing can write it, and nothing in a folder can be made,
// removed or renamed, whoever asks (root too, unlike permissions). Not every file system keeps the flag: a test
// skips where set() is false.

namespace crashreporting::test {

class Immutable {
 public:
  explicit Immutable(std::filesystem::path path) : path_(std::move(path)) {
    set_ = std::system(("chattr +i '" + path_.string() + "' 2>/dev/null").c_str()) == 0;
  }
  ~Immutable() { lift(); }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool set() const { return set_; }
  void lift() {
    if (set_) set_ = std::system(("chattr -i '" + path_.string() + "'").c_str()) != 0;
  }

 private:
  std::filesystem::path path_;
  bool set_ = false;
};

}  // namespace crashreporting::test
