#include <gtest/gtest.h>

#include <functional>

#include "tracker/kv_exception.h"
#include "tracker/tracker.h"

namespace {

using namespace karvo::tracking;

// The message (and function) of the KvException `call` raises; "" when it raises none.
std::string FailureOf(const std::function<void()>& call, std::string* function = nullptr) {
    try {
        call();
    } catch (const KvException& error) {
        if (function) *function = error.functionName;
        EXPECT_STREQ(error.what(), error.message.c_str());
        return error.message;
    }
    return "";
}

TEST(EnumTextTest, EveryValueHasItsText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {toString(KvEventKind::Launch), "PaLaunchPal"},   {toString(KvEventKind::AppOpenNotification), "AppOpenNotification"},
        {toString(KvEventKind::Crashed), "Crashed"},      {toString(KvEdition::China), "china"},
        {toString(KvEdition::Overseas), "overseas"},      {toString(KvResult::Cancelled), "Cancelled"},
        {toString(KvResult::Unknown), "Unknown"},         {toString(KvClickType::Button), "Button"},
        {toString(KvClickType::Others), "Others"},        {toString(KvIoType::Output), "Output"},
        {toString(KvCurrency::CNY), "CNY"},               {toString(KvCurrency::GBP), "GBP"},
        {toString(KvPaidPlatform::Alipay), "Alipay"},     {toString(KvPaidPlatform::ChinaUnionPay), "ChinaUnionPay"},
        {toString(kvIapType::Consumable), "Consumable"},  {toString(kvIapType::NonRenewable), "NonRenewable"},
        {toString(KvUpdateOp::UpgrateEnd), "UpgrateEnd"}, {toString(KvUpdateResult::Updateable), "Updateable"},
        {userType(KvUserType::KarvoUserId), "karvouserid"}, {userType(KvUserType::Facebook), "facebook"},
    };
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(EnumTextTest, ValuesWithoutTextRaise) {
    struct Case {
        std::function<void()> call;
        std::string message;
        std::string function;
    };
    const std::vector<Case> cases = {
        {[] { toString(static_cast<KvEventKind>(15)); }, "Unknown Event [15]!", "toString"},
        {[] { toString(static_cast<KvEdition>(2)); }, "Unknown edition [2]!", "toString"},
        {[] { toString(static_cast<KvResult>(4)); }, "Unknown task result [4]!", "toString"},
        {[] { toString(static_cast<KvClickType>(-1)); }, "Unknown ClickType [-1]!", "toString"},
        {[] { toString(static_cast<KvIoType>(2)); }, "the io type is invalid", "toString"},
        {[] { toString(static_cast<KvCurrency>(11)); }, "Unknown currency [11]!", "toString"},
        {[] { toString(static_cast<KvPaidPlatform>(10)); }, "Unknown paid platform [10]!", "toString"},
        {[] { toString(static_cast<kvIapType>(0)); }, "Unknown kvIapType [0]!", "toString"},
        {[] { toString(static_cast<KvUpdateOp>(5)); }, "Unknown KvUpdateOp [5]!", "toString"},
        {[] { toString(static_cast<KvUpdateResult>(6)); }, "Unknown KvUpdateResult [6]!", "toString"},
        {[] { userType(static_cast<KvUserType>(12)); }, "Unknown user type [12]!", "userType"},
    };
    for (const auto& test : cases) {
        std::string function;
        EXPECT_EQ(FailureOf(test.call, &function), test.message);
        EXPECT_EQ(function, test.function) << test.message;
    }
}

// Validation happens before anything reaches the SDK, so a tracker that never
// started shows every refusal.
TEST(ValidationTest, RequiredFieldsAreRefusedWithTheirMessages) {
    KvTrackerParams params;
    KvTrackerImpl tracker(params);
    const KvContextProperties context;

    KvEventOrder order;
    order.kvSuitId = "suit";
    order.kvCurrency = Some(KvCurrency::USD);
    order.originalAmount = 5;
    KvEventPayment payment;
    payment.kvOrderId = "order";
    payment.currency = Some(KvCurrency::CNY);
    payment.paidPlatform = Some(KvPaidPlatform::PayPal);
    payment.result = Some(KvResult::Success);
    AppOpenNotification notification;
    notification.planID = "p";
    notification.planType = "t";

    struct Case {
        std::string function;
        std::function<void()> call;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"trackClick", [&] { tracker.trackClick({}, context); }, "kvEventClick.name is empty"},
        {"trackView", [&] { tracker.trackView({}, context); }, "kvEventView.name is empty"},
        {"trackCashier", [&] { tracker.trackCashier({}, context); }, "kvEventCashier.kv_cashier_name is empty"},
        {"trackTask", [&] { tracker.trackTask({}, context); }, "kvEventTask.name is empty"},
        {"trackFile", [&] { tracker.trackFile({}, context); }, "kvEventFile.aname is empty"},
        {"trackOrder", [&] { tracker.trackOrder({}, context); }, "kvEventOrder.kvSuitId is empty"},
        {"trackOrder", [&] { auto o = order; o.kvCurrency.reset(); tracker.trackOrder(o, context); },
         "kvEventOrder.kvCurrency is nullptr"},
        {"trackOrder", [&] { auto o = order; o.originalAmount = 0; tracker.trackOrder(o, context); },
         "kvEventOrder.originalAmount is less than zero"},
        {"trackOrder", [&] { tracker.trackOrder(order, context); }, "kvEventOrder.originalAmount is less than zero"},
        {"trackPayment", [&] { tracker.trackPayment({}, context); }, "kvEventPayment.kvOrderId is empty"},
        {"trackPayment", [&] { auto p = payment; p.paidAmount = -1.5f; tracker.trackPayment(p, context); },
         "paidAmount = -1.500000 is invalid"},
        {"trackPayment", [&] { auto p = payment; p.originalAmount = -2; tracker.trackPayment(p, context); },
         "originalAmount = -2.000000 is invalid"},
        {"trackPayment", [&] { auto p = payment; p.result.reset(); tracker.trackPayment(p, context); },
         "kvEventPayment.result is invalid"},
        {"trackPayment", [&] { auto p = payment; p.result = Some(KvResult::Cancelled); tracker.trackPayment(p, context); },
         "kvEventPayment.result is invalid"},
        {"trackPayment", [&] { auto p = payment; p.currency.reset(); tracker.trackPayment(p, context); },
         "kvEventPayment.currency is nullptr"},
        {"trackPayment", [&] { auto p = payment; p.paidPlatform.reset(); tracker.trackPayment(p, context); },
         "kvEventPayment.paidPlatform is nullptr"},
        {"trackUpdate", [&] { tracker.trackUpdate({static_cast<KvUpdateOp>(5), nullptr, nullptr}, context); },
         "Unknown KvUpdateOp [5]!"},
        {"trackUpdate", [&] { tracker.trackUpdate({KvUpdateOp::DownloadEnd, nullptr, Some(1.0f)}, context); },
         "Unknown updateResultInfo info"},
        {"trackUpdate",
         [&] { tracker.trackUpdate({KvUpdateOp::UpgrateEnd, Some(KvUpdateResult::Fail), nullptr}, context); },
         "invalid elapsed info"},
        {"trackAppOpenNotification", [&] { tracker.trackAppOpenNotification(nullptr, context); },
         "&appOpenNotification is nullptr"},
        {"trackAppOpenNotification",
         [&] { auto n = notification; n.planID.clear(); tracker.trackAppOpenNotification(&n, context); },
         "planID is emptry"},
        {"trackAppOpenNotification",
         [&] { auto n = notification; n.planType.clear(); tracker.trackAppOpenNotification(&n, context); },
         "planType is emptry"},
        {"trackAppOpenNotification", [&] { tracker.trackAppOpenNotification(&notification, context); },
         "msgTitle is emptry"},
        {"toString", [&] { KvEventFile f; f.aname = "a"; f.io = Some(static_cast<KvIoType>(2)); tracker.trackFile(f, context); },
         "the io type is invalid"},
    };
    for (const auto& test : cases) {
        std::string function;
        EXPECT_EQ(FailureOf(test.call, &function), test.message);
        EXPECT_EQ(function, test.function) << test.message;
    }
    EXPECT_EQ(tracker.pendingCount(), 0);
}

TEST(ValidationTest, InitRefusesMissingStartParametersInOrder) {
    struct Case {
        KvTrackerParams params;
        std::string message;
    };
    KvTrackerParams noName, noVersion, noStore;
    noVersion.appName = noStore.appName = "app";
    noStore.appVersion = "1";
    const std::vector<Case> cases = {
        {noName, "appName is empty"}, {noVersion, "appVersion is empty"}, {noStore, "appStore is empty"}};
    for (const auto& test : cases) {
        KvTrackerImpl tracker(test.params);
        std::string function;
        EXPECT_EQ(FailureOf([&] { tracker.init(); }, &function), test.message);
        EXPECT_EQ(function, "init");
        EXPECT_TRUE(tracker.state().configPath.empty());
    }
}

TEST(WrapperTest, SwallowsFailuresAndOnlyReportsThemWithALogger) {
    // Without a started implementation there is no logger: the failure is silent.
    KvTrackerWrapper silent(std::make_unique<KvTrackerImpl>(KvTrackerParams{}));
    testing::internal::CaptureStdout();
    silent.trackClick({}, KvContextProperties());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    KvTrackerWrapper empty(nullptr);
    empty.trackCrash("x");
    EXPECT_EQ(empty.getPrimaryDistinctId(), "");
    EXPECT_EQ(empty.getLogger(), nullptr);
}

}  // namespace
