#include "tracker/events.h"

#include <array>
#include <string_view>

#include "tracker/kv_exception.h"

namespace karvo::tracking {
namespace {

constexpr const char* kUnit = "KvTrackerImpl";

// The table's text for `value`, or a KvException "<prefix><value>]!".
template <std::size_t N>
std::string TextOf(const std::array<const char*, N>& texts, std::int32_t value, std::int32_t first,
                   const char* function, std::string_view prefix) {
    if (value >= first && value - first < static_cast<std::int32_t>(N)) return texts[value - first];
    KV_THROW(kUnit, function, std::string(prefix) + std::to_string(value) + "]!");
}

template <typename Enum>
std::int32_t Raw(Enum value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::string toString(KvEventKind value) {
    static constexpr std::array texts{"Activity", "PaLaunchPal", "Login",   "Click",     "View",
                                      "Cashier",  "Share",       "Task",    "File",      "Order",
                                      "Payment",  "Uninstall",   "Update",  "Crashed",   "AppOpenNotification"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown Event [");
}

std::string toString(KvEdition value) {
    static constexpr std::array texts{"china", "overseas"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown edition [");
}

std::string toString(KvResult value) {
    static constexpr std::array texts{"Success", "Cancelled", "Fail", "Unknown"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown task result [");
}

std::string toString(KvClickType value) {
    static constexpr std::array texts{"Button", "Banner", "Tutorial", "File", "Others"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown ClickType [");
}

std::string toString(KvIoType value) {
    if (value == KvIoType::Input) return "Input";
    if (value == KvIoType::Output) return "Output";
    KV_THROW(kUnit, "toString", "the io type is invalid");
}

std::string toString(KvCurrency value) {
    static constexpr std::array texts{"CNY", "USD", "EUR", "HKD", "TWD", "MOP", "SGD", "JPY", "KRW", "INR", "GBP"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown currency [");
}

std::string toString(KvPaidPlatform value) {
    static constexpr std::array texts{"Alipay",    "WeChatPay", "PayPal",   "Tenpay", "CIECC",
                                      "GooglePay", "HuaweiPay", "AppleIAP", "Paddle", "ChinaUnionPay"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown paid platform [");
}

std::string toString(kvIapType value) {
    static constexpr std::array texts{"Consumable", "NonConsumable", "AutoRenewable", "NonRenewable"};
    return TextOf(texts, Raw(value), 1, "toString", "Unknown kvIapType [");
}

std::string toString(KvUpdateOp value) {
    static constexpr std::array texts{"UpdateCheck", "DownloadStart", "DownloadEnd", "UpgrateStart", "UpgrateEnd"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown KvUpdateOp [");
}

std::string toString(KvUpdateResult value) {
    static constexpr std::array texts{"Success", "Cancelled", "Timeout", "Fail", "Latest", "Updateable"};
    return TextOf(texts, Raw(value), 0, "toString", "Unknown KvUpdateResult [");
}

std::string userType(KvUserType value) {
    static constexpr std::array texts{"unknown", "mobilephone", "email",       "weixin", "qq",     "deviceid",
                                      "baidu",   "huawei",      "apple",       "karvouserid", "google", "facebook"};
    return TextOf(texts, Raw(value), 0, "userType", "Unknown user type [");
}

}  // namespace karvo::tracking
