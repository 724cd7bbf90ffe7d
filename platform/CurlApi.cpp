#include "platform/CurlApi.h"

#include "platform/OnDemandLibrary.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct LoadedCurl {
    OnDemandLibrary library{u"curl"_s, 4};
    CurlApi api;
    QString failure;

    LoadedCurl()
    {
        decltype(&::curl_global_init) globalInit = nullptr;
        library.resolve(globalInit, "curl_global_init");
        library.resolve(api.easyInit, "curl_easy_init");
        library.resolve(api.easySetopt, "curl_easy_setopt");
        library.resolve(api.easyPerform, "curl_easy_perform");
        library.resolve(api.easyCleanup, "curl_easy_cleanup");
        library.resolve(api.easyStrerror, "curl_easy_strerror");
        library.resolve(api.slistAppend, "curl_slist_append");
        library.resolve(api.slistFreeAll, "curl_slist_free_all");
        library.resolve(api.url, "curl_url");
        library.resolve(api.urlCleanup, "curl_url_cleanup");
        library.resolve(api.urlSet, "curl_url_set");
        library.resolve(api.urlStrerror, "curl_url_strerror");
        if (library.error().isEmpty() && globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            failure = u"libcurl could not be initialised"_s;
        else
            failure = library.error();
    }
};

} // namespace

const CurlApi* curlApi(QString* whyNot)
{
    // Built once, by whichever thread asks first; the others wait for it.
    static const LoadedCurl loaded;
    return functionsOrReason(loaded.api, loaded.failure, whyNot);
}
