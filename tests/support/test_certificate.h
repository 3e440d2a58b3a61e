#pragma once
// A fresh key and a one-day self-signed certificate, made at test time for
// the loopback HTTPS servers of the tests and benchmarks.

#include <openssl/types.h>

#include <memory>
#include <string_view>

namespace novel::testing {

class TestCertificate {
public:
    // alt_names in the subjectAltName form, e.g. "DNS:localhost,IP:127.0.0.1".
    TestCertificate(std::string_view common_name, std::string_view alt_names);

    // Owned by this object; servers take them as they are.
    [[nodiscard]] X509* certificate() const { return certificate_.get(); }
    [[nodiscard]] EVP_PKEY* key() const { return key_.get(); }

private:
    struct CertificateDeleter {
        void operator()(X509* certificate) const;
    };
    struct KeyDeleter {
        void operator()(EVP_PKEY* key) const;
    };
    std::unique_ptr<X509, CertificateDeleter> certificate_;
    std::unique_ptr<EVP_PKEY, KeyDeleter> key_;
};

}  // namespace novel::testing
