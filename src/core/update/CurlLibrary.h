#pragma once

#include <curl/curl.h>

namespace trelvo {

// The functions of libcurl the HTTP client uses, loaded on first use rather
// than linked: only the update check needs them, and linking libcurl and the
// libraries it pulls in would add several milliseconds to every start of the
// program and of the command-line tool.
struct CurlLibrary {
    CURLcode (*global_init)(long flags) = nullptr;
    CURL* (*easy_init)() = nullptr;
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easy_perform)(CURL* handle) = nullptr;
    CURLcode (*easy_getinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    void (*easy_cleanup)(CURL* handle) = nullptr;
    const char* (*easy_strerror)(CURLcode code) = nullptr;
    curl_slist* (*slist_append)(curl_slist* list, const char* text) = nullptr;
    void (*slist_free_all)(curl_slist* list) = nullptr;

    // The library, loaded and initialised once; throws HttpError when it
    // cannot be loaded or initialised.
    static const CurlLibrary& get();
};

}  // namespace trelvo
