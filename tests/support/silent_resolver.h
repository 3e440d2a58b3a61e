#pragma once
// Inside the site namespace only: a name server on 127.0.0.1:53 that takes
// every question and never answers, made the system's resolver for as long
// as this object lives, as on a network whose name server has gone quiet.
// With hide_site_host, the site's own name is looked up there too.

#include <memory>

namespace novel::testing {

class SilentResolver {
public:
    explicit SilentResolver(bool hide_site_host = false);
    ~SilentResolver();
    SilentResolver(const SilentResolver&) = delete;
    SilentResolver& operator=(const SilentResolver&) = delete;

    // False when the sockets or the mounts could not be made (not root, not
    // inside the namespace): the test then has nothing to stand on.
    [[nodiscard]] bool ready() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace novel::testing
