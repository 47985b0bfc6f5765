#include "frameworks/CurlConnectionPool.h"

#include <curl/curl.h>

namespace {

// A run starts its uploads side by side and later its downloads the same way;
// this many of the downloads find an upload's connection still open.
constexpr std::size_t kMaxIdleHandles = 16;

} // namespace

CurlConnectionPool &CurlConnectionPool::instance()
{
    static CurlConnectionPool pool;
    return pool;
}

CurlConnectionPool::~CurlConnectionPool()
{
    for (void *multi : mIdle)
        curl_multi_cleanup(static_cast<CURLM *>(multi));
}

void *CurlConnectionPool::take()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mIdle.empty()) {
            void *multi = mIdle.back(); // the most recently used: its connections are the warmest
            mIdle.pop_back();
            return multi;
        }
    }
    return curl_multi_init();
}

void CurlConnectionPool::giveBack(void *multi)
{
    if (!multi)
        return;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mIdle.size() < kMaxIdleHandles) {
            mIdle.push_back(multi);
            return;
        }
    }
    curl_multi_cleanup(static_cast<CURLM *>(multi));
}
