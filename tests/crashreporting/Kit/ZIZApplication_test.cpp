#include "crashreporting/Kit/ZIZApplication.h"

#include <gtest/gtest.h>

#include <fstream>

#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

class FixedHost : public HostFacts {
 public:
  explicit FixedHost(OSVersion version) : version_(version) {}
  OSVersion osVersion() const override { return version_; }
  std::optional<std::string> sysctlString(std::string_view name) const override {
    if (name == "hw.model") return "TestBook1,1";
    return std::nullopt;
  }

 private:
  OSVersion version_;
};

class ZIZApplicationTest : public test::LibraryTest {
 protected:
  void useInfo(Dictionary info, std::optional<std::filesystem::path> path = {}) {
    MainBundle::set(BundleInfo{std::move(info), std::move(path)});
  }
};

TEST_F(ZIZApplicationTest, BundleFactsComeFromTheInformationDictionary) {
  useInfo({{"CFBundleIdentifier", Value("org/example/a b")},
           {"CFBundleVersion", Value("42")},
           {"CFBundleShortVersionString", Value("1.2")},
           {"CFBundleName", Value("Host")}});
  EXPECT_EQ(ZIZApplicationGetBundleIdentifier(), "org_example_a b");
  EXPECT_EQ(ZIZApplicationGetBuildVersion(), "42");
  EXPECT_EQ(ZIZApplicationGetDisplayVersion(), "1.2");
  EXPECT_EQ(ZIZApplicationGetName(), "Host");
  useInfo({{"CFBundleDisplayName", Value("Shown")}, {"CFBundleName", Value("Host")}});
  EXPECT_EQ(ZIZApplicationGetName(), "Shown");
  useInfo({{"CFBundleVersion", Value("42")}});
  EXPECT_EQ(ZIZApplicationGetName(), "42");
  MainBundle::clear();
  EXPECT_EQ(ZIZApplicationGetBundleIdentifier(), std::nullopt);
}

TEST_F(ZIZApplicationTest, InstallSourceFollowsTheReceiptOnlyWhereTheOsVersionTableKnowsTheVersion) {
  const auto bundle = tempDir() / "Host.app";
  std::filesystem::create_directories(bundle / "Contents" / "_MASReceipt");
  std::ofstream(bundle / "Contents" / "_MASReceipt" / "receipt") << "r";
  useInfo({{"VuveradaradSignedForDistribution", Value(true)}}, bundle);
  {
    const HostFacts::Scoped host(std::make_unique<FixedHost>(OSVersion{10, 13, 2}));
    EXPECT_EQ(ZIZHostGetOSVersionNumber(), 101300);
    EXPECT_EQ(ZIZHostGetOSDisplayVersion(), "10.13.2");
    EXPECT_TRUE(ZIZApplicationHasAppStoreReceipt());
    EXPECT_EQ(ZIZApplicationGetInstallSource(), 4);
    EXPECT_EQ(ZIZHostGetModel(), "TestBook1,1");
    EXPECT_EQ(ZIZHostGetOSBuildVersion(), std::nullopt);
  }
  {
    const HostFacts::Scoped host(std::make_unique<FixedHost>(OSVersion{10, 14, 0}));
    EXPECT_EQ(ZIZHostGetOSVersionNumber(), 0);
    EXPECT_FALSE(ZIZApplicationHasAppStoreReceipt());
    EXPECT_EQ(ZIZApplicationGetInstallSource(), 3);
    useInfo({});
    EXPECT_EQ(ZIZApplicationGetInstallSource(), 1);
  }
  const HostFacts::Scoped host(std::make_unique<FixedHost>(OSVersion{10, 6, 0}));
  EXPECT_EQ(ZIZHostGetOSVersionNumber(), 1060);
}

TEST_F(ZIZApplicationTest, DeviceIdentifiersAreCollectedUnlessTheConfigurationSaysOtherwise) {
  useInfo({});
  EXPECT_TRUE(ZIZShouldCollectDeviceIdentifiers());
  useInfo({{"VuveradaradCollectDeviceIdentifiers", Value(false)}});
  EXPECT_FALSE(ZIZShouldCollectDeviceIdentifiers());
  useInfo({{"VuveradaradCollectDeviceIdentifiers", Value(false)},
           {"Zizozu", Value(Dictionary{{"ReportIdentifiers", Value("YES")}})}});
  EXPECT_TRUE(ZIZShouldCollectDeviceIdentifiers());
}

TEST_F(ZIZApplicationTest, TheRealMachineAnswers) {
  const OSVersion v = ZIZHostGetOSVersion();
  EXPECT_GT(v.major, 0);
  EXPECT_TRUE(ZIZHostGetOSBuildVersion().has_value());
  EXPECT_TRUE(ZIZHostGetModel().has_value());
  EXPECT_EQ(ZIZHostGetSysctlString("kernel.ostype"), "Linux");
  EXPECT_EQ(ZIZHostGetSysctlString("../etc/passwd"), std::nullopt);
  EXPECT_NE(ZIZCreateUUIDString(), ZIZCreateUUIDString());
}

}  // namespace
}  // namespace crashreporting
