#pragma once

#include <mutex>
#include <vector>

// libcurl multi handles kept between transfers. Each handle holds the
// connections its transfers left open, so the next transfer to the same
// server starts on a warm TLS connection instead of a new handshake: a batch
// of small files spends most of its transfer time on handshakes otherwise.
// A handle serves one transfer at a time; any thread may take and return one.
class CurlConnectionPool final {
public:
    static CurlConnectionPool &instance();

    CurlConnectionPool(const CurlConnectionPool &) = delete;
    CurlConnectionPool &operator=(const CurlConnectionPool &) = delete;

    // A multi handle of the caller's own until it is given back.
    void *take();
    // Keeps the handle and its open connections for the next transfer, or
    // closes it when enough handles are already waiting.
    void giveBack(void *multi);

private:
    CurlConnectionPool() = default;
    ~CurlConnectionPool();

    std::mutex mMutex;
    std::vector<void *> mIdle;
};
