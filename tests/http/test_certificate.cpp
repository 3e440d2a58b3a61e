#include "tests/http/test_certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace novel::testing {
namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct ExtensionDeleter {
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using CertificatePtr = std::unique_ptr<X509, CertificateDeleter>;
using BioPtr = std::unique_ptr<BIO, BioDeleter>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, ExtensionDeleter>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("making the test certificate: ") + what);
}

std::string bio_text(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

TestCertificate make_self_signed_certificate() {
    // EC keys are made in microseconds, unlike RSA.
    KeyPtr key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key");

    CertificatePtr certificate(X509_new());
    check(certificate != nullptr, "certificate");
    X509* cert = certificate.get();
    check(X509_set_version(cert, 2) == 1, "version");
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24L * 60 * 60);
    check(X509_set_pubkey(cert, key.get()) == 1, "public key");

    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    check(X509_set_issuer_name(cert, name) == 1, "issuer");

    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    ExtensionPtr alt_names(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"));
    check(alt_names != nullptr && X509_add_ext(cert, alt_names.get(), -1) == 1, "names");
    check(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signature");

    BioPtr cert_bio(BIO_new(BIO_s_mem()));
    BioPtr key_bio(BIO_new(BIO_s_mem()));
    check(cert_bio && key_bio, "buffers");
    check(PEM_write_bio_X509(cert_bio.get(), cert) == 1, "certificate PEM");
    check(PEM_write_bio_PrivateKey(key_bio.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                   nullptr) == 1,
          "key PEM");
    return {bio_text(cert_bio.get()), bio_text(key_bio.get())};
}

}  // namespace novel::testing
