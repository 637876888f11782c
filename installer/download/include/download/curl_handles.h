// Owning wrappers for libcurl handles.
#pragma once

#include <curl/curl.h>

#include <memory>

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlSlistPtr = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// Appends `line` to `list`; on failure the list is kept as it was and false is returned.
bool AppendHeaderLine(CurlSlistPtr& list, const char* line);
