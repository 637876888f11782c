// The one interface every package downloader presents to its owner, and the
// status codes through which it reports everything it does.
#pragma once

#include <functional>

// Download status codes. `value` and `text` of each report:
//   DL_CODE_START     1.0, ""       the worker has begun; the first code of every run
//   DL_CODE_PROGRESS  fraction done ""   any number of times, never above 1.0 for libcurl downloaders
//   DL_CODE_SUCCESS   0.0, the downloader's name     the whole package is at the destination; terminal
//   DL_CODE_FAIL      the failing result as a number  terminal
//   DL_CODE_RETRY     the failing result, 0.0 after a checksum mismatch; asks the owner to call Start
//                     again; terminal for the run, at most once per downloader object
//   DL_CODE_MD5       0.0, the checksum notice text   never terminal
enum DownloadStatusCode : int {
    DL_CODE_START = 1001,
    DL_CODE_PROGRESS = 1002,
    DL_CODE_SUCCESS = 1003,
    DL_CODE_FAIL = 1004,
    DL_CODE_RETRY = 1005,
    DL_CODE_MD5 = 1006,
};

// (code, value, text). Invoked on the downloader's own threads, never on the
// thread that called Start; the text is valid for the call only and never null.
using StatusCallback = std::function<void(int code, double value, const wchar_t* text)>;

class CDownloader {
public:
    virtual ~CDownloader() = default;

    // Starts the download, or starts it again after DL_CODE_RETRY, and returns
    // at once. May be called from inside the callback of the run that is ending;
    // the new run then begins once that run's thread has returned.
    virtual void Start() = 0;
};
