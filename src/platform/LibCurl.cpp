#include "platform/LibCurl.h"

#include <QtDebug>
#include <dlfcn.h>

namespace airlark {

namespace {

CURLcode refuseOption(CURL*, CURLoption, ...)
{
    return CURLE_FAILED_INIT;
}

CURLcode refuseInfo(CURL*, CURLINFO, ...)
{
    return CURLE_FAILED_INIT;
}

// What a missing library answers: no handles, and libcurl's own codes for "not initialised".
LibCurl unavailable()
{
    LibCurl curl{};
    curl.easyInit = []() -> CURL* { return nullptr; };
    curl.easyCleanup = [](CURL*) {};
    curl.easySetopt = refuseOption;
    curl.easyGetinfo = refuseInfo;
    curl.easyPerform = [](CURL*) { return CURLE_FAILED_INIT; };
    curl.easyStrerror = [](CURLcode) { return "libcurl could not be loaded"; };
    curl.multiInit = []() -> CURLM* { return nullptr; };
    curl.multiCleanup = [](CURLM*) { return CURLM_BAD_HANDLE; };
    curl.multiAddHandle = [](CURLM*, CURL*) { return CURLM_BAD_HANDLE; };
    curl.multiRemoveHandle = [](CURLM*, CURL*) { return CURLM_BAD_HANDLE; };
    curl.multiPerform = [](CURLM*, int* running) {
        *running = 0;
        return CURLM_BAD_HANDLE;
    };
    curl.multiPoll = [](CURLM*, curl_waitfd*, unsigned int, int, int*) { return CURLM_BAD_HANDLE; };
    curl.multiWakeup = [](CURLM*) { return CURLM_BAD_HANDLE; };
    curl.multiTimeout = [](CURLM*, long*) { return CURLM_BAD_HANDLE; };
    curl.multiInfoRead = [](CURLM*, int* left) -> CURLMsg* {
        *left = 0;
        return nullptr;
    };
    curl.multiStrerror = [](CURLMcode) { return "libcurl could not be loaded"; };
    curl.slistAppend = [](curl_slist*, const char*) -> curl_slist* { return nullptr; };
    curl.slistFreeAll = [](curl_slist*) {};
    return curl;
}

template <typename Function> bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    if (!function)
        qWarning().noquote() << "libcurl has no" << name;
    return function != nullptr;
}

LibCurl load()
{
    // Never unloaded: TLS libraries keep thread-local state that outlives a dlclose.
    void* library = ::dlopen(AIRLARK_LIBCURL_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        qWarning().noquote() << "libcurl could not be loaded:" << ::dlerror();
        return unavailable();
    }
    LibCurl curl{};
    decltype(&::curl_global_init) globalInit = nullptr;
    const bool complete = resolve(library, "curl_global_init", globalInit) &&
                          resolve(library, "curl_easy_init", curl.easyInit) &&
                          resolve(library, "curl_easy_cleanup", curl.easyCleanup) &&
                          resolve(library, "curl_easy_setopt", curl.easySetopt) &&
                          resolve(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                          resolve(library, "curl_easy_perform", curl.easyPerform) &&
                          resolve(library, "curl_easy_strerror", curl.easyStrerror) &&
                          resolve(library, "curl_multi_init", curl.multiInit) &&
                          resolve(library, "curl_multi_cleanup", curl.multiCleanup) &&
                          resolve(library, "curl_multi_add_handle", curl.multiAddHandle) &&
                          resolve(library, "curl_multi_remove_handle", curl.multiRemoveHandle) &&
                          resolve(library, "curl_multi_perform", curl.multiPerform) &&
                          resolve(library, "curl_multi_poll", curl.multiPoll) &&
                          resolve(library, "curl_multi_wakeup", curl.multiWakeup) &&
                          resolve(library, "curl_multi_timeout", curl.multiTimeout) &&
                          resolve(library, "curl_multi_info_read", curl.multiInfoRead) &&
                          resolve(library, "curl_multi_strerror", curl.multiStrerror) &&
                          resolve(library, "curl_slist_append", curl.slistAppend) &&
                          resolve(library, "curl_slist_free_all", curl.slistFreeAll);
    if (!complete)
        return unavailable();
    if (const CURLcode code = globalInit(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
        qWarning().noquote() << "libcurl could not be initialised:" << curl.easyStrerror(code);
        return unavailable();
    }
    return curl;
}

} // namespace

const LibCurl& LibCurl::get()
{
    static const LibCurl curl = load();
    return curl;
}

} // namespace airlark
