#pragma once
// A loopback HTTP or HTTPS server for tests: it records every request exactly
// as it came off the wire (header lines in order) and answers from a script.
// It keeps connections alive, so tests can see whether the client reuses them.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace novel::testing {

struct RecordedRequest {
    std::string method;
    std::string target;                     // as on the request line
    std::vector<std::string> header_lines;  // without their CR LF
    std::string body;

    // The first header of this name (any letter case), trimmed; "" when absent.
    [[nodiscard]] std::string header(std::string_view name) const;
    [[nodiscard]] bool has_header(std::string_view name) const;
};

struct ScriptedReply {
    enum class Action {
        kAnswer,
        kNeverAnswer,     // hold the connection without a byte until the server stops
        kResetMidBody,    // send the head and half the body, then reset the connection
        kTrickle,         // send the body in eight pieces, 250 ms apart, then hang up
        kTrickleHead,     // send the header lines 250 ms apart, then the body, then hang up
        kCloseDelimited,  // send the body without a length and mark its end by hanging up
        kTunnel,          // answer a CONNECT and relay bytes to its 127.0.0.1 target
    };
    int status = 200;
    // Lines of one name keep this order; the answer of kAnswer sorts the names.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Action action = Action::kAnswer;
};

using Script = std::function<ScriptedReply(const RecordedRequest&)>;

class RecordingServer {
public:
    enum class Scheme { kHttp, kHttps };

    // Listens on 127.0.0.1 at a port chosen by the system; answers 200 "ok"
    // until a script is set.
    explicit RecordingServer(Scheme scheme = Scheme::kHttp);
    ~RecordingServer();
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    void set_script(Script script);
    [[nodiscard]] int port() const;
    // "http://127.0.0.1:PORT" or "https://..." followed by path.
    [[nodiscard]] std::string url(std::string_view path = "/") const;
    [[nodiscard]] std::vector<RecordedRequest> requests() const;
    [[nodiscard]] int connections_accepted() const;

private:
    class Tap;
    std::unique_ptr<Tap> tap_;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
[[nodiscard]] int unused_port();

}  // namespace novel::testing
