#pragma once

#include <curl/curl.h>
#include <memory>

namespace airlark {

// libcurl's functions as Airlark calls them. The library is loaded (dlopen, kept out of the global
// symbol scope) and initialised on the first transfer rather than with the program: it brings two
// dozen libraries of its own (two TLS stacks, Kerberos, LDAP, SSH, IDN) that made the window take
// a third longer to appear, and every symbol the program looked up afterwards had to pass them too.
//
// When the library cannot be loaded (a broken installation) every handle it would make is null and
// every call fails with libcurl's own "failed to initialise" codes, so a transfer reports a failure
// instead of the program stopping; the reason is logged once.
struct LibCurl
{
    // The first call loads the library and blocks for some milliseconds: transfer threads make it.
    static const LibCurl& get();

    decltype(&::curl_easy_init) easyInit;
    decltype(&::curl_easy_cleanup) easyCleanup;
    decltype(&::curl_easy_setopt) easySetopt;
    decltype(&::curl_easy_getinfo) easyGetinfo;
    decltype(&::curl_easy_perform) easyPerform;
    decltype(&::curl_easy_strerror) easyStrerror;
    decltype(&::curl_multi_init) multiInit;
    decltype(&::curl_multi_cleanup) multiCleanup;
    decltype(&::curl_multi_add_handle) multiAddHandle;
    decltype(&::curl_multi_remove_handle) multiRemoveHandle;
    decltype(&::curl_multi_perform) multiPerform;
    decltype(&::curl_multi_poll) multiPoll;
    decltype(&::curl_multi_wakeup) multiWakeup;
    decltype(&::curl_multi_timeout) multiTimeout;
    decltype(&::curl_multi_info_read) multiInfoRead;
    decltype(&::curl_multi_strerror) multiStrerror;
    decltype(&::curl_slist_append) slistAppend;
    decltype(&::curl_slist_free_all) slistFreeAll;
};

struct CurlEasyDeleter
{
    void operator()(CURL* handle) const { LibCurl::get().easyCleanup(handle); }
};
struct CurlSlistDeleter
{
    void operator()(curl_slist* list) const { LibCurl::get().slistFreeAll(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

} // namespace airlark
