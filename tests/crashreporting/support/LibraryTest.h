#pragma once

#include <gtest/gtest.h>

#include "crashreporting/Kit/KitClass.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/platform/SystemUserDefaults.h"
#include "support/TestEnvironment.h"

namespace crashreporting::test {

/// A fresh process as the library sees it: its own XDG folders, no main bundle, no registered kits, fresh
/// single instances, and the system-log lines collected instead of printed.
class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest() { reset(); }
  ~LibraryTest() override { reset(); }

  /// As if the process ended and a new one began over the same files.
  static void reset() {
    ProcessShared::resetAll();
    SystemUserDefaults::setStandard(nullptr);
    MainBundle::clear();
    KitClassRegistry::reset();
  }

  const std::filesystem::path& tempDir() const { return temp_.path(); }
  std::filesystem::path dataHome() const { return temp_.path() / "data"; }
  std::filesystem::path configHome() const { return temp_.path() / "config"; }

  tilvane::test::ScopedTempDir temp_;
  tilvane::test::ScopedEnv dataEnv_{"XDG_DATA_HOME", (temp_.path() / "data").string()};
  tilvane::test::ScopedEnv configEnv_{"XDG_CONFIG_HOME", (temp_.path() / "config").string()};
  tilvane::test::ScopedEnv cacheEnv_{"XDG_CACHE_HOME", (temp_.path() / "cache").string()};
  SystemLog::Capture log_;
};

}  // namespace crashreporting::test
