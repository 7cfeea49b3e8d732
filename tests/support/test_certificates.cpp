#include "tests/support/test_certificates.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr long kDay = 24L * 60 * 60;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("test certificates: " + what);
}

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (!key) Fail("no key");
  return key;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (!extension) Fail("extension " + value);
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (issuer null: by itself).
X509* MakeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer,
                      EVP_PKEY* issuerKey, long fromSeconds, long toSeconds, bool authority,
                      const std::string& altNames, long serial) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate), fromSeconds);
  X509_gmtime_adj(X509_getm_notAfter(certificate), toSeconds);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer ? issuer : certificate;
  if (authority) {
    AddExtension(certificate, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(certificate, signer, NID_basic_constraints, "CA:FALSE");
    AddExtension(certificate, signer, NID_ext_key_usage, "serverAuth");
    AddExtension(certificate, signer, NID_subject_alt_name, altNames);
  }
  AddExtension(certificate, signer, NID_subject_key_identifier, "hash");
  if (X509_sign(certificate, issuerKey ? issuerKey : key, EVP_sha256()) == 0) Fail("signing");
  return certificate;
}

void WritePem(const std::string& path, X509* certificate, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) Fail("cannot write " + path);
  const bool written =
      certificate ? PEM_write_X509(file, certificate) == 1
                  : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(file);
  if (!written) Fail("cannot write " + path);
}

}  // namespace

struct TestCertificates::Authority {
  EVP_PKEY* Key = nullptr;
  X509* Certificate = nullptr;
  Authority(const std::string& name, long serial) {
    Key = NewKey();
    Certificate = MakeCertificate(Key, name, nullptr, nullptr, -kDay, 30 * kDay, true, "", serial);
  }
  ~Authority() {
    X509_free(Certificate);
    EVP_PKEY_free(Key);
  }
};

TestCertificates::TestCertificates()
    : trusted_(std::make_unique<Authority>("Loopback Test Authority", 1)),
      stranger_(std::make_unique<Authority>("Unknown Test Authority", 2)) {
  caFile_ = dir_.Path() + "/ca.pem";
  WritePem(caFile_, trusted_->Certificate, nullptr);
}

TestCertificates::~TestCertificates() = default;

CertificateFiles TestCertificates::Server(CertificateKind kind) {
  for (const auto& [madeKind, files] : made_)
    if (madeKind == kind) return files;
  const std::string localNames = "DNS:localhost,IP:127.0.0.1";
  Authority* signer = trusted_.get();
  std::string names = localNames;
  long from = -kDay;
  long to = 30 * kDay;
  switch (kind) {
    case CertificateKind::ckGood:
    case CertificateKind::ckSelfSigned:
      break;
    case CertificateKind::ckWrongName:
      names = "DNS:wrong.test";
      break;
    case CertificateKind::ckExpired:
      from = -30 * kDay;
      to = -kDay;
      break;
    case CertificateKind::ckUntrustedIssuer:
      signer = stranger_.get();
      break;
  }
  EVP_PKEY* key = NewKey();
  const bool self = kind == CertificateKind::ckSelfSigned;
  X509* certificate = MakeCertificate(
      key, names == localNames ? "localhost" : "wrong.test", self ? nullptr : signer->Certificate,
      self ? nullptr : signer->Key, from, to, false, names, 100 + static_cast<long>(made_.size()));
  const std::string stem = dir_.Path() + "/server-" + std::to_string(made_.size());
  CertificateFiles files{stem + ".pem", stem + ".key"};
  WritePem(files.Certificate, certificate, nullptr);
  WritePem(files.Key, nullptr, key);
  X509_free(certificate);
  EVP_PKEY_free(key);
  made_.emplace_back(kind, files);
  return files;
}
