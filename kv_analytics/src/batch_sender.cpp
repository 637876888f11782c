#include "kv_analytics/batch_sender.h"

#include "kv_analytics/batch_encoding.h"
#include "kv_analytics/diagnostics.h"
#include "kv_analytics/http_connection.h"
#include "kv_analytics/send_status.h"
#include "utils/log.h"

namespace kv_analytics {

bool BatchSender::Send(const std::string& batch, const std::map<std::string, std::string>& extraHeaders) {
    std::string body;
    if (!EncodeBatch(batch, body)) return false;

    bool ok = false;
    {
        HttpConnection connection;
        connection.SetTimeoutSeconds(kTimeoutSeconds);
        for (const auto& [name, value] : extraHeaders) connection.SetHeader(name, value);
        const HttpResponse& response = connection.Post(serverUrl_, body);
        ok = response.status == 200;
        if (!ok) {
            ::Utils::OutputDebugText(L"[analytics] KvAnalytics SDK send failed\n");
            WriteMessage(MessageStream::Error, "KvAnalytics SDK send failed: " + response.body);
        }
    }
    StoreLastSendOk(ok);
    return ok;
}

}  // namespace kv_analytics
