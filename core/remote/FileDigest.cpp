#include "core/remote/FileDigest.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <unistd.h>
#include <vector>

namespace mzb {

std::optional<std::string> FileDigest(const std::string& path, DigestKind kind,
                                      const std::function<bool()>& keepGoing) {
    struct Descriptor {
        int fd;
        ~Descriptor() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    } const file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), kind == DigestKind::Md5 ? EVP_md5() : EVP_sha1(),
                                  nullptr) != 1) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer.data(), buffer.size());
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        EVP_DigestUpdate(ctx.get(), buffer.data(), std::size_t(n));
        if (keepGoing && !keepGoing()) {
            return std::nullopt;
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1) {
        return std::nullopt;
    }
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

} // namespace mzb
