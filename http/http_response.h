#pragma once
// One answer to one request, whatever it was: what reading, downloading and
// requests run side by side all hand on.

#include <cstdint>
#include <string>

#include "http/transport_error.h"

namespace novel {

// The response body's bytes as they came.
using ByteData = std::string;

struct HttpResponse {
    ByteData body;
    std::int32_t status = 0;
    TransportError error = TransportError::none;
    std::string headers;  // the response's header lines, CR LF separated

    [[nodiscard]] bool succeeded() const { return novel::succeeded(error, status); }
};

}  // namespace novel
