// Event kinds, the enum-to-text tables and the records the track operations take.
// Optional fields are shared pointers: an empty pointer leaves the key out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace karvo::tracking {

enum class KvEventKind : std::int32_t {
    Activity = 0, Launch = 1, Login = 2, Click = 3, View = 4, Cashier = 5, Share = 6, Task = 7,
    File = 8, Order = 9, Payment = 10, Uninstall = 11, Update = 12, Crashed = 13, AppOpenNotification = 14,
};
constexpr std::int32_t kEventKindCount = 15;

enum class KvEdition : std::int32_t { China = 0, Overseas = 1 };
enum class KvResult : std::int32_t { Success = 0, Cancelled = 1, Fail = 2, Unknown = 3 };
enum class KvClickType : std::int32_t { Button = 0, Banner = 1, Tutorial = 2, File = 3, Others = 4 };
enum class KvIoType : std::int32_t { Input = 0, Output = 1 };
enum class KvCurrency : std::int32_t { CNY, USD, EUR, HKD, TWD, MOP, SGD, JPY, KRW, INR, GBP };
enum class KvPaidPlatform : std::int32_t {
    Alipay, WeChatPay, PayPal, Tenpay, CIECC, GooglePay, HuaweiPay, AppleIAP, Paddle, ChinaUnionPay,
};
enum class kvIapType : std::int32_t { Consumable = 1, NonConsumable = 2, AutoRenewable = 3, NonRenewable = 4 };
enum class KvUpdateOp : std::int32_t { UpdateCheck, DownloadStart, DownloadEnd, UpgrateStart, UpgrateEnd };
enum class KvUpdateResult : std::int32_t { Success, Cancelled, Timeout, Fail, Latest, Updateable };
enum class KvUserType : std::int32_t {
    Unknown, MobilePhone, Email, Weixin, QQ, DeviceId, Baidu, Huawei, Apple, KarvoUserId, Google, Facebook,
};

// Each returns the text that is sent; a value without text raises KvException.
std::string toString(KvEventKind value);
std::string toString(KvEdition value);
std::string toString(KvResult value);
std::string toString(KvClickType value);
std::string toString(KvIoType value);
std::string toString(KvCurrency value);
std::string toString(KvPaidPlatform value);
std::string toString(kvIapType value);
std::string toString(KvUpdateOp value);
std::string toString(KvUpdateResult value);
std::string userType(KvUserType value);

template <typename T>
using Optional = std::shared_ptr<T>;

template <typename T>
Optional<T> Some(T value) {
    return std::make_shared<T>(value);
}

struct KvEventClick {
    std::string aname;
    std::string name;
    KvClickType clickType = KvClickType::Others;
    std::string title;
    std::string module;
    std::string position;
    Optional<std::int32_t> tabIndex;
    std::string tabName;
    Optional<std::int32_t> bannerIndex;
    std::string bannerName;
};

struct KvEventView {
    std::string aname;
    std::string name;
    std::string title;
    std::string position;
};

struct KvEventCashier {
    std::string kv_cashier_name;
    std::string kv_cashier_title;
    std::string subitem;
};

struct KvEventShare {
    std::string aname;
    std::string channel;
    std::string position;
    std::string sharedName;
    Optional<KvResult> result;
};

struct KvEventTask {
    std::string aname;
    std::string name;
    std::string reason;
    Optional<float> elapsed;
    Optional<KvResult> result;
};

struct KvEventFile {
    std::string aname;
    std::string name;
    Optional<KvIoType> io;
    std::string ext;
    Optional<float> size;
    Optional<std::int32_t> duration;
    Optional<float> fps;
    Optional<float> bps;
    Optional<std::int32_t> width;
    Optional<std::int32_t> height;
    Optional<std::int32_t> depth;
    Optional<KvResult> result;
};

struct KvEventOrder {
    std::string orderId;
    std::string subitem;
    std::string sku;
    std::string kvSuitId;
    Optional<KvCurrency> kvCurrency;
    float originalAmount = 0;
    std::string voucherId;
    float paidAmount = 0;
    std::string cashierName;
    std::string cashierTitle;
    Optional<std::int32_t> campaignCode;
    float curOriginalAmount = 0;
    float curPaidAmount = 0;
};

struct KvEventPayment {
    std::string kvOrderId;
    std::string subitem;
    std::string sku;
    Optional<KvCurrency> currency;
    float originalAmount = 0;
    Optional<std::int32_t> campaignCode;
    std::string voucherId;
    std::string usedVoucherId;
    float paidAmount = 0;
    std::string suitId;
    std::string cashierName;
    std::string cashierTitle;
    Optional<KvPaidPlatform> paidPlatform;
    Optional<KvResult> result;
    Optional<kvIapType> iapType;
    float curOriginalAmount = 0;
    float curPaidAmount = 0;
};

struct KvEventUpdate {
    KvUpdateOp op = KvUpdateOp::UpdateCheck;
    Optional<KvUpdateResult> result;
    Optional<float> elapsed;
};

struct AppOpenNotification {
    std::string msgTitle;
    std::string msgContent;
    std::string linkUrl;
    std::string planID;
    std::string audienceId;
    std::string planStrategyId;
    std::string planType;
    std::string strategyUnitId;
};

struct KvUserInfo {
    std::string userId;
    std::string userName;
    KvUserType userType = KvUserType::Unknown;
    std::string nickname;
    std::string portrait;
    std::string mobilePhone;
    std::string email;
    std::string weixin;
    std::string qq;
    std::string did;
    std::int64_t created = 0;
    std::int64_t lastLogin = 0;
    std::string lastIp;
    std::int32_t vipLevel = 0;
    std::int64_t vipEndDate = 0;
};

}  // namespace karvo::tracking
