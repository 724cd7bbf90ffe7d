#pragma once

#include <QString>

#include <curl/curl.h>

// The libcurl functions the mail transport calls, from libcurl opened on first use (and
// initialised once for the whole program).
struct CurlApi {
    decltype(&::curl_easy_init) easyInit = nullptr;
    decltype(&::curl_easy_setopt) easySetopt = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_easy_strerror) easyStrerror = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;
    decltype(&::curl_url) url = nullptr;
    decltype(&::curl_url_cleanup) urlCleanup = nullptr;
    decltype(&::curl_url_set) urlSet = nullptr;
    decltype(&::curl_url_strerror) urlStrerror = nullptr;
};

// The functions, or nullptr with the reason in *whyNot when libcurl could not be loaded.
const CurlApi* curlApi(QString* whyNot);
