#include "tests/support/silent_resolver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace novel::testing {
namespace {

int bound_socket(int type) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 16) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool bind_file(const std::string& contents, const std::string& over, std::string* made) {
    char name[] = "/tmp/silent_resolver_XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) return false;
    ::close(fd);
    std::ofstream(name) << contents;
    *made = name;
    return ::mount(name, over.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

}  // namespace

struct SilentResolver::Impl {
    int udp = -1;
    int tcp = -1;
    std::string resolv_file;
    std::string hosts_file;
    bool resolv_mounted = false;
    bool hosts_mounted = false;
};

SilentResolver::SilentResolver(bool hide_site_host) : impl_(std::make_unique<Impl>()) {
    // Bound sockets that nobody reads: questions queue up unanswered and
    // connections wait in the backlog, exactly a name server gone quiet.
    impl_->udp = bound_socket(SOCK_DGRAM);
    impl_->tcp = bound_socket(SOCK_STREAM);
    if (impl_->udp < 0 || impl_->tcp < 0) return;
    impl_->resolv_mounted = bind_file("nameserver 127.0.0.1\noptions timeout:5 attempts:2\n",
                                      "/etc/resolv.conf", &impl_->resolv_file);
    if (hide_site_host) {
        impl_->hosts_mounted = bind_file("127.0.0.1 localhost\n", "/etc/hosts", &impl_->hosts_file);
    }
}

SilentResolver::~SilentResolver() {
    if (impl_->hosts_mounted) ::umount2("/etc/hosts", MNT_DETACH);
    if (impl_->resolv_mounted) ::umount2("/etc/resolv.conf", MNT_DETACH);
    for (const std::string& file : {impl_->resolv_file, impl_->hosts_file}) {
        if (!file.empty()) std::remove(file.c_str());
    }
    if (impl_->udp >= 0) ::close(impl_->udp);
    if (impl_->tcp >= 0) ::close(impl_->tcp);
}

bool SilentResolver::ready() const {
    return impl_->udp >= 0 && impl_->tcp >= 0 && impl_->resolv_mounted &&
           (impl_->hosts_file.empty() || impl_->hosts_mounted);
}

}  // namespace novel::testing
