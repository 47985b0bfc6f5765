#include "frameworks/CurlConnectionPool.h"

#include <curl/curl.h>

namespace {

// As many as transfers run at once (FileTransfers::kMaxRunning).
constexpr std::size_t kMaxIdleHandles = 6;

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
