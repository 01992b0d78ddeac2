#pragma once

#include <memory>

#include "support/http/TestCertificateAuthority.h"
#include "support/http/TestHttpServer.h"

namespace tilvane::test {

/// A fixture with a TLS test server: `authority_` signed the certificate `tls_` serves, `stranger_` is an
/// authority it does not know. The authorities are made once per test suite, as each one runs openssl.
template <class Base>
class TlsTestSuite : public Base {
 public:
  static void SetUpTestSuite() {
    authority_ = std::make_unique<TestCertificateAuthority>();
    stranger_ = std::make_unique<TestCertificateAuthority>();
  }
  static void TearDownTestSuite() {
    authority_.reset();
    stranger_.reset();
  }

 protected:
  static inline std::unique_ptr<TestCertificateAuthority> authority_;
  static inline std::unique_ptr<TestCertificateAuthority> stranger_;
  TestHttpServer tls_{authority_->certificateFile(), authority_->keyFile()};
};

}  // namespace tilvane::test
