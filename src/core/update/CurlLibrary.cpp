#include "CurlLibrary.h"

#include <dlfcn.h>

#include <string>

#include "HttpClient.h"

namespace trelvo {

namespace {

template <typename Function>
void resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    if (!function) throw HttpError(std::string("HTTP library lacks ") + name);
}

CurlLibrary load() {
    void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        throw HttpError(std::string("HTTP library cannot be loaded: ") + (why ? why : "libcurl.so.4"));
    }
    // Kept loaded for the rest of the run: handles may live until the end.
    CurlLibrary curl;
    resolve(library, "curl_global_init", curl.global_init);
    resolve(library, "curl_easy_init", curl.easy_init);
    resolve(library, "curl_easy_setopt", curl.easy_setopt);
    resolve(library, "curl_easy_perform", curl.easy_perform);
    resolve(library, "curl_easy_getinfo", curl.easy_getinfo);
    resolve(library, "curl_easy_cleanup", curl.easy_cleanup);
    resolve(library, "curl_easy_strerror", curl.easy_strerror);
    resolve(library, "curl_slist_append", curl.slist_append);
    resolve(library, "curl_slist_free_all", curl.slist_free_all);
    const CURLcode result = curl.global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        throw HttpError(std::string("HTTP library initialisation failed: ") + curl.easy_strerror(result));
    return curl;
}

}  // namespace

const CurlLibrary& CurlLibrary::get() {
    // A failed load throws out of the initialisation, so the next use tries again.
    static const CurlLibrary curl = load();
    return curl;
}

}  // namespace trelvo
