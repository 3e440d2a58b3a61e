#include "tests/support/test_certificate.h"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>
#include <string>

namespace novel::testing {
namespace {

struct ExtensionDeleter {
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, ExtensionDeleter>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("making the test certificate: ") + what);
}

}  // namespace

void TestCertificate::CertificateDeleter::operator()(X509* certificate) const {
    X509_free(certificate);
}
void TestCertificate::KeyDeleter::operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }

TestCertificate::TestCertificate(std::string_view common_name, std::string_view alt_names)
    // EC keys are made in microseconds, unlike RSA.
    : certificate_(X509_new()), key_(EVP_EC_gen("P-256")) {
    check(certificate_ != nullptr && key_ != nullptr, "key");
    X509* cert = certificate_.get();
    check(X509_set_version(cert, 2) == 1, "version");
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24L * 60 * 60);
    check(X509_set_pubkey(cert, key_.get()) == 1, "public key");

    const std::string name_text(common_name);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name_text.c_str()), -1, -1,
                               0);
    check(X509_set_issuer_name(cert, name) == 1, "issuer");

    const std::string alt_names_text(alt_names);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    const ExtensionPtr extension(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, alt_names_text.c_str()));
    check(extension != nullptr && X509_add_ext(cert, extension.get(), -1) == 1, "names");
    check(X509_sign(cert, key_.get(), EVP_sha256()) > 0, "signature");
}

}  // namespace novel::testing
