// A certificate authority and server certificates made at test time (P-256 keys, SHA-256), in a
// temporary folder of their own: no private key is ever part of the sources.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// What a server certificate is made to be.
enum class CertificateKind {
  ckGood,             // localhost and 127.0.0.1, signed by the authority, valid now
  ckWrongName,        // signed by the authority, but for another host
  ckExpired,          // signed by the authority for localhost, valid only in the past
  ckSelfSigned,       // for localhost, signed by its own key
  ckUntrustedIssuer,  // for localhost, signed by an authority nobody trusts
};

struct CertificateFiles {
  std::string Certificate;  // PEM chain file: the certificate
  std::string Key;          // PEM private key
};

class TestCertificates {
 public:
  TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;
  ~TestCertificates();

  // The trusted authority's certificate (a PEM bundle of one).
  const std::string& CAFile() const { return caFile_; }
  // Made on first request, then kept.
  CertificateFiles Server(CertificateKind kind);

 private:
  struct Authority;
  TempDir dir_;
  std::unique_ptr<Authority> trusted_;
  std::unique_ptr<Authority> stranger_;
  std::string caFile_;
  std::vector<std::pair<CertificateKind, CertificateFiles>> made_;
};
