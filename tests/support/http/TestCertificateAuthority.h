#pragma once

#include <filesystem>
#include <string>

namespace tilvane::test {

/// A certificate authority made for one test run with the openssl command, and a server certificate it signed
/// for 127.0.0.1 (the address only: a request to "localhost" does not match it). Everything lives in a fresh
/// temporary folder that goes with the object. Valid for two days from now.
class TestCertificateAuthority {
 public:
  TestCertificateAuthority();
  ~TestCertificateAuthority();
  TestCertificateAuthority(const TestCertificateAuthority&) = delete;
  TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

  /// Whether every file was made; else `error()` says what failed.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  /// The authority's certificate (PEM): what a client trusts.
  std::string caFile() const { return (folder_ / "ca.pem").string(); }
  /// The server's certificate (PEM) and its private key.
  std::string certificateFile() const { return (folder_ / "server.pem").string(); }
  std::string keyFile() const { return (folder_ / "server.key").string(); }
  /// The pin of the server's public key, "sha256//" and the base64 of its SHA-256.
  const std::string& publicKeyPin() const { return pin_; }

 private:
  std::filesystem::path folder_;
  std::string error_;
  std::string pin_;
};

}  // namespace tilvane::test
