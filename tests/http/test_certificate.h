#pragma once
// A self-signed certificate for 127.0.0.1, made fresh for each test run.

#include <string>

namespace novel::testing {

struct TestCertificate {
    std::string certificate_pem;
    std::string private_key_pem;
};

// Valid from now for one day, for "127.0.0.1" and "localhost".
[[nodiscard]] TestCertificate make_self_signed_certificate();

}  // namespace novel::testing
