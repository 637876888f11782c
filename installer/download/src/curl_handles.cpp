#include "download/curl_handles.h"

bool AppendHeaderLine(CurlSlistPtr& list, const char* line) {
    curl_slist* extended = curl_slist_append(list.get(), line);
    if (extended == nullptr) return false;
    // The first append creates the list; later ones return the same head.
    list.release();
    list.reset(extended);
    return true;
}
