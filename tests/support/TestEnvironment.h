#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/VirtualMainLoop.h"

namespace tilvane::test {

/// A fresh temporary folder, removed with everything in it when the object goes.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// Sets (or unsets, with nullopt) an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

/// Reads a whole file into a string ("" when it cannot be read).
std::string readFile(const std::filesystem::path& path);

/// How often `part` occurs in `text`, overlaps included.
std::size_t occurrences(const std::string& text, const std::string& part);

/// The base fixture of behaviour tests: a fresh world per test. It points the XDG folders at a new temporary
/// folder, installs a virtual main loop, and resets every shared instance before and after the test, so no
/// state leaks from one test into the next.
class WorldTest : public ::testing::Test {
 protected:
  WorldTest();
  ~WorldTest() override;

  dispatch::VirtualMainLoop& loop() { return loop_; }
  const std::filesystem::path& tempDir() const { return temp_.path(); }
  /// Runs what falls due within `seconds` of virtual time.
  void advance(double seconds) { loop_.advance(seconds); }
  void drain() { loop_.drain(); }

 private:
  ScopedTempDir temp_;
  ScopedEnv dataHome_;
  ScopedEnv configHome_;
  ScopedEnv runtimeDir_;
  dispatch::VirtualMainLoop loop_;
  dispatch::MainQueue::Scope scope_;
};

}  // namespace tilvane::test
