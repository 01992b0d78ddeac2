#include "support/http/TestCertificateAuthority.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

extern char** environ;

namespace tilvane::test {
namespace {

/// Runs `argv` in `folder` with its output in openssl.log there; whether it exited with 0.
bool run(const std::filesystem::path& folder, std::vector<std::string> argv) {
  const std::string log = (folder / "openssl.log").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/// "sha256//" + base64(SHA-256(DER of the certificate's public key)); empty when the file cannot be read.
std::string pinOf(const std::filesystem::path& certificate) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(certificate.c_str(), "r"), std::fclose);
  if (!file) return "";
  std::unique_ptr<X509, void (*)(X509*)> cert(PEM_read_X509(file.get(), nullptr, nullptr, nullptr), X509_free);
  if (!cert) return "";
  unsigned char* der = nullptr;
  const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert.get()), &der);
  if (length <= 0) return "";
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<std::size_t>(length), digest);
  OPENSSL_free(der);
  unsigned char base64[4 * ((SHA256_DIGEST_LENGTH + 2) / 3) + 1];
  EVP_EncodeBlock(base64, digest, SHA256_DIGEST_LENGTH);
  return "sha256//" + std::string(reinterpret_cast<const char*>(base64));
}

}  // namespace

TestCertificateAuthority::TestCertificateAuthority() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tilvane-ca-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    error_ = "no temporary folder";
    return;
  }
  folder_ = pattern;
  {
    std::ofstream extensions(folder_ / "server.ext");
    extensions << "basicConstraints=critical,CA:FALSE\n"
                  "keyUsage=critical,digitalSignature,keyEncipherment\n"
                  "extendedKeyUsage=serverAuth\n"
                  "subjectAltName=IP:127.0.0.1\n";
  }
  const std::vector<std::vector<std::string>> steps = {
      {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
       "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Tilvane Test Authority", "-addext",
       "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"},
      {"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
       "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
      {"openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
       "-out", "server.pem", "-days", "2", "-extfile", "server.ext"},
  };
  for (const auto& step : steps) {
    if (!run(folder_, step)) {
      std::ifstream log(folder_ / "openssl.log");
      std::stringstream text;
      text << log.rdbuf();
      error_ = "openssl " + step[1] + " failed: " + text.str();
      return;
    }
  }
  pin_ = pinOf(folder_ / "server.pem");
  if (pin_.empty()) error_ = "the server certificate cannot be read";
}

TestCertificateAuthority::~TestCertificateAuthority() {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

}  // namespace tilvane::test
