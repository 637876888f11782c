#include <cstdio>
#include <cstdlib>

#include "kv_analytics/sdk.h"
#include "send_step.h"
#include "tracker/kv_exception.h"
#include "tracker/tracker.h"
#include "tracker/user_profile.h"
#include "utils/paths.h"

namespace karvo::tracking {
namespace {

using kv_analytics::PropertiesNode;
using kv_analytics::Sdk;

constexpr const char* kUnit = "KvTrackerImpl";
constexpr const char* kInstallSource = "android_id=123##imei=1234##mac=123";
// Send threads normally finish within milliseconds; a dead collector costs one transfer time-out.
constexpr int kSendThreadsWaitMs = 30000;

struct LocaleTexts {
    std::string locale;
    std::string language;
    std::string country;
};

// "ll_CC" from the locale text, else language and territory of the user's message locale.
LocaleTexts ComputeLocale(const std::string& stored) {
    std::string text = stored;
    if (text.find('_') == std::string::npos) {
        text.clear();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (value && *value) {
                text = value;
                break;
            }
        }
        text = text.substr(0, text.find_first_of(".@"));
        const auto separator = text.find('_');
        if (separator == std::string::npos || separator == 0 || separator + 1 == text.size()) return {};
    }
    const auto separator = text.find('_');
    return {text, text.substr(0, separator), text.substr(separator + 1)};
}

void SetIfNotEmpty(PropertiesNode& properties, const std::string& key, const std::string& value) {
    if (!value.empty()) properties.SetString(key, value);
}

template <typename T>
void SetNumberIfPresent(PropertiesNode& properties, const std::string& key, const Optional<T>& value) {
    if (value) properties.SetNumber(key, *value);
}

void SetDoubleIfPresent(PropertiesNode& properties, const std::string& key, const Optional<float>& value) {
    if (value) properties.SetNumber(key, static_cast<double>(*value));
}

// "kv_*_result" of tasks and files: Success, Cancelled or Fail; Unknown is left out.
void SetKnownResult(PropertiesNode& properties, const std::string& key, const Optional<KvResult>& result) {
    if (result && *result != KvResult::Unknown) properties.SetString(key, toString(*result));
}

std::string AmountText(float amount) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(amount));
    return text;
}

void MergeSuperProperties(const PropertiesNode& properties) {
    if (auto sdk = Sdk::Instance()) sdk->m_superProperties.MergeFrom(properties);
}

}  // namespace

KvTrackerImpl::KvTrackerImpl(const KvTrackerParams& params)
    : serverUrl_(params.serverUrl),
      appName_(params.appName),
      appVersion_(params.appVersion),
      appStore_(params.appStore),
      dlAppId_(params.dlAppId),
      dlAppVersion_(params.dlAppVersion),
      edition_(params.edition),
      state_(std::make_shared<TrackerState>()),
      screenWidth_(params.screenWidth),
      screenHeight_(params.screenHeight),
      executableFolder_(params.executableFolder),
      send_(std::make_shared<SendContext>(state_)) {
    state_->logPath = params.logPath;
}

KvTrackerImpl::~KvTrackerImpl() {
    SaveBase(*state_);
    state_->backgroundStop = true;  // no background flusher runs while liteMode is set
    WaitForSendThreads(*send_, kSendThreadsWaitMs);
    const bool queued = [] {
        const auto sdk = Sdk::Instance();
        return sdk && sdk->queue().Size() > 0;
    }();
    if (state_->pendingCount.load() > 0 || queued) {
        for (int attempt = 0; attempt < 3 && Sdk::Instance(); ++attempt) {
            if (Sdk::Flush()) {
                state_->pendingCount.store(0);
                break;
            }
        }
    }
    if (Sdk::Instance()) Sdk::Destroy();
    if (logger_) logger_->close();
}

void KvTrackerImpl::init() {
    if (appName_.empty()) KV_THROW(kUnit, "init", "appName is empty");
    if (appVersion_.empty()) KV_THROW(kUnit, "init", "appVersion is empty");
    if (appStore_.empty()) KV_THROW(kUnit, "init", "appStore is empty");
    TrackerState& state = *state_;
    state.pendingCount.store(0);
    ResolveTrackerFiles(state, appName_,
                        executableFolder_.empty() ? Utils::ExecutableFolder() : std::filesystem::path(executableFolder_));
    if (serverUrl_.empty()) serverUrl_ = kDefaultServerUrl;
    LoadIdentity(state);
    if (state.url != serverUrl_ || state.distinctId.empty()) {
        state.userId.clear();
        state.isLogined = false;
        if (state.primaryDistinctId.empty()) {
            state.distinctId = GenerateDistinctId();
            state.primaryDistinctId = state.distinctId;
        } else {
            state.distinctId = state.primaryDistinctId;
        }
        state.url = serverUrl_;
        SaveBase(state);
    }
    if (state.userId.empty()) state.isLogined = false;
    if (state.logPath.empty()) state.logPath = state.dataDir + appName_ + "_KVSLog.txt";
    logger_ = std::make_unique<NativeTrackLogger>();
    logger_->open(state.logPath);
    const bool started = state.isLogined ? Sdk::Init(state.dataDir, serverUrl_, state.userId, true)
                                         : Sdk::Init(state.dataDir, serverUrl_, state.distinctId, false);
    if (!started) KV_THROW(kUnit, "init", "kv_analytics::Sdk::Init is failed");

    PropertiesNode properties;
    properties.SetString("kv_app_id", appName_);
    properties.SetString("$app_version", appVersion_);
    properties.SetString("$app_id", appName_);
    properties.SetString("kv_app_store", appStore_);
    properties.SetString("kv_edition", toString(edition_));
    SetIfNotEmpty(properties, "kv_dlapp_id", dlAppId_);
    SetIfNotEmpty(properties, "kv_dlapp_version", dlAppVersion_);
    properties.SetString("kv_app_platform", OsNameText());
    properties.SetString("kv_track_type", "Client");
    properties.SetString("kv_sdk_version", "3.3.8");
    properties.SetString("kv_sdk", "WindowsCPP");
    properties.SetString("$os", OsNameText());
    properties.SetString("$os_version", OsVersionText());
    const LocaleTexts locale = ComputeLocale(state.locale);
    properties.SetString("kv_l10n_locale", locale.locale);
    properties.SetString("kv_l10n_language", locale.language);
    properties.SetString("kv_l10n_country", locale.country);
    properties.SetNumber("$screen_height", screenHeight_);
    properties.SetNumber("$screen_width", screenWidth_);
    SetIfNotEmpty(properties, "kv_user_id", state.userId);
    MergeSuperProperties(properties);
    SaveUninstallInfo(state, appStore_, appName_, appVersion_);
}

std::int32_t KvTrackerImpl::pendingCount() const { return state_->pendingCount.load(); }

void KvTrackerImpl::SendDispatch(bool flushNow) { karvo::tracking::SendDispatch(send_, flushNow); }

void KvTrackerImpl::AddPending(std::int32_t count) { state_->pendingCount.fetch_add(count); }

void KvTrackerImpl::Track(const std::string& eventName, PropertiesNode& properties, KvEventKind kind,
                          const KvContextProperties& context) {
    context.applyTo(static_cast<std::int32_t>(kind), properties);
    Sdk::Track(eventName, properties);
}

void KvTrackerImpl::MergeLocaleProperties() {
    const LocaleTexts locale = ComputeLocale(state_->locale);
    PropertiesNode properties;
    properties.SetString("kv_l10n_locale", locale.locale);
    properties.SetString("kv_l10n_language", locale.language);
    properties.SetString("kv_l10n_country", locale.country);
    MergeSuperProperties(properties);
}

void KvTrackerImpl::trackActivity(const KvContextProperties& context) {
    PropertiesNode properties;
    context.applyTo(static_cast<std::int32_t>(KvEventKind::Activity), properties);
    SetIfNotEmpty(properties, "kv_app_store", appStore_);
    SetIfNotEmpty(properties, "kv_app_id", appName_);
    SetIfNotEmpty(properties, "$app_id", appName_);
    SetIfNotEmpty(properties, "$app_version", appVersion_);
    properties.SetString("$ios_install_source", kInstallSource);
    SetIfNotEmpty(properties, "$user_agent", UserAgentText());
    properties.SetBool("$is_first_time", true);
    properties.SetString("$os", OsNameText());
    properties.SetString("$os_version", OsVersionText());
    Sdk::TrackWithInstallSource("KvEventActivity", properties);

    const auto now = kv_analytics::CurrentTimeMillis();
    ProfileUserPropertyDateTime("$first_visit_time", now);
    ProfileUserPropertyDateTime("kv_first_visit_date", now);
    ProfileUserPropertyDateTime("kv_last_visit_date", now);
    ProfileUserPropertyString("kv_os", OsNameText());
    ProfileUserPropertyString("kv_os_version", OsVersionText());
    ProfileUserPropertyString("kv_app_store", appStore_);
    ProfileUserPropertyString("kv_app_platform", OsNameText());
    ProfileUserPropertyString("kv_last_app_id", appName_);
    ProfileUserPropertyString("kv_last_app_version", appVersion_);
    ProfileUserPropertyString("$ios_install_source", kInstallSource);
    AddPending(9);
    SendDispatch(true);
}

void KvTrackerImpl::trackLaunch(const KvContextProperties& context) {
    PropertiesNode properties;
    Track("KvEventLaunch", properties, KvEventKind::Launch, context);
    if (!state_->userId.empty()) {
        const auto now = kv_analytics::CurrentTimeMillis();
        ProfileUserPropertyDateTime("$first_visit_time", now);
        ProfileUserPropertyDateTime("kv_first_visit_date", now);
        ProfileUserPropertyDateTime("kv_last_visit_date", now);
        AddPending(4);
    }
    SendDispatch(true);
}

void KvTrackerImpl::trackLogin(const KvUserInfo& user, bool success, const std::string& reason,
                               const KvContextProperties& context) {
    PropertiesNode properties;
    if (!user.userId.empty()) {
        properties.SetString("kv_user_id", user.userId);
        properties.SetString("kv_login_id", user.userId);
    }
    properties.SetString("kv_type", userType(user.userType));
    properties.SetString("kv_result", success ? "Success" : "Fail");
    SetIfNotEmpty(properties, "kv_reason", reason);
    if (!user.userId.empty()) {
        properties.SetBool("$is_first_time", true);
        Track("KvEventLogin", properties, KvEventKind::Login, context);
        TrackerState& state = *state_;
        state.userVipLevel = user.vipLevel;
        if (!state.isLogined || state.userId.empty()) {
            Sdk::TrackSignup(user.userId);
            state.isLogined = true;
            state.userId = user.userId;
            state.distinctId = user.userId;
            if (auto sdk = Sdk::Instance()) {
                sdk->m_distinctId = state.distinctId;
                sdk->m_isLoginId = true;
                PropertiesNode userProperty;
                userProperty.SetString("kv_user_id", user.userId);
                sdk->m_superProperties.MergeFrom(userProperty);
            }
        }
        SaveBase(state);
        std::lock_guard lock(state.profileMutex);
        state.profileUser = user;
        state.profileTime = kv_analytics::CurrentTimeMillis();
    } else {
        Track("KvEventLogin", properties, KvEventKind::Login, context);
    }
    SendDispatch(true);
}

void KvTrackerImpl::trackClick(const KvEventClick& event, const KvContextProperties& context) {
    if (event.name.empty()) KV_THROW(kUnit, "trackClick", "kvEventClick.name is empty");
    PropertiesNode properties;
    SetIfNotEmpty(properties, "kv_aname", event.aname);
    properties.SetString("kv_name", event.name);
    properties.SetString("kv_click_type", toString(event.clickType));
    SetIfNotEmpty(properties, "kv_title", event.title);
    SetIfNotEmpty(properties, "kv_module", event.module);
    SetIfNotEmpty(properties, "kv_position", event.position);
    SetNumberIfPresent(properties, "kv_tab_index", event.tabIndex);
    SetIfNotEmpty(properties, "kv_tab_name", event.tabName);
    SetNumberIfPresent(properties, "kv_banner_index", event.bannerIndex);
    SetIfNotEmpty(properties, "kv_banner_name", event.bannerName);
    properties.SetBool("$is_first_time", true);
    Track("KvEventClick", properties, KvEventKind::Click, context);
    AddPending(1);
    SendDispatch(false);
}

void KvTrackerImpl::trackView(const KvEventView& event, const KvContextProperties& context) {
    if (event.name.empty()) KV_THROW(kUnit, "trackView", "kvEventView.name is empty");
    PropertiesNode properties;
    SetIfNotEmpty(properties, "kv_aname", event.aname);
    properties.SetString("kv_name", event.name);
    SetIfNotEmpty(properties, "kv_title", event.title);
    SetIfNotEmpty(properties, "kv_position", event.position);
    properties.SetBool("$is_first_time", true);
    Track("KvEventView", properties, KvEventKind::View, context);
    AddPending(1);
    SendDispatch(false);
}

void KvTrackerImpl::trackCashier(const KvEventCashier& event, const KvContextProperties& context) {
    if (event.kv_cashier_name.empty()) KV_THROW(kUnit, "trackCashier", "kvEventCashier.kv_cashier_name is empty");
    PropertiesNode properties;
    properties.SetString("kv_cashier_name", event.kv_cashier_name);
    SetIfNotEmpty(properties, "kv_cashier_title", event.kv_cashier_title);
    SetIfNotEmpty(properties, "kv_subitem", event.subitem);
    properties.SetBool("$is_first_time", true);
    Track("KvEventCashier", properties, KvEventKind::Cashier, context);
    AddPending(1);
    SendDispatch(false);
}

void KvTrackerImpl::trackShare(const KvEventShare& event, const KvContextProperties& context) {
    PropertiesNode properties;
    SetIfNotEmpty(properties, "kv_aname", event.aname);
    SetIfNotEmpty(properties, "kv_channel", event.channel);
    SetIfNotEmpty(properties, "kv_position", event.position);
    SetIfNotEmpty(properties, "kv_shared_name", event.sharedName);
    if (event.result) properties.SetString("kv_result", toString(*event.result));
    properties.SetBool("$is_first_time", true);
    Track("KvEventShare", properties, KvEventKind::Share, context);
    AddPending(1);
    SendDispatch(false);
}

void KvTrackerImpl::trackTask(const KvEventTask& event, const KvContextProperties& context) {
    if (event.name.empty()) KV_THROW(kUnit, "trackTask", "kvEventTask.name is empty");
    PropertiesNode properties;
    SetIfNotEmpty(properties, "kv_aname", event.aname);
    properties.SetString("kv_task_name", event.name);
    SetIfNotEmpty(properties, "kv_reason", event.reason);
    SetDoubleIfPresent(properties, "kv_task_elapsed", event.elapsed);
    SetKnownResult(properties, "kv_task_result", event.result);
    properties.SetBool("$is_first_time", true);
    Track("KvEventTask", properties, KvEventKind::Task, context);
    SendDispatch(false);
}

void KvTrackerImpl::trackFile(const KvEventFile& event, const KvContextProperties& context) {
    if (event.aname.empty()) KV_THROW(kUnit, "trackFile", "kvEventFile.aname is empty");
    PropertiesNode properties;
    properties.SetString("kv_aname", event.aname);
    SetIfNotEmpty(properties, "kv_name", event.name);
    if (event.io) properties.SetString("kv_io", toString(*event.io));
    SetIfNotEmpty(properties, "kv_ext", event.ext);
    if (event.size && *event.size > 0) properties.SetNumber("kv_size", static_cast<double>(*event.size));
    SetNumberIfPresent(properties, "kv_duration", event.duration);
    SetDoubleIfPresent(properties, "kv_fps", event.fps);
    SetDoubleIfPresent(properties, "kv_bps", event.bps);
    SetNumberIfPresent(properties, "kv_width", event.width);
    SetNumberIfPresent(properties, "kv_height", event.height);
    SetNumberIfPresent(properties, "kv_depth", event.depth);
    SetKnownResult(properties, "kv_result", event.result);
    properties.SetBool("$is_first_time", true);
    Track("KvEventFile", properties, KvEventKind::File, context);
    AddPending(1);
    SendDispatch(false);
}

void KvTrackerImpl::trackOrder(const KvEventOrder& event, const KvContextProperties& context) {
    if (event.kvSuitId.empty()) KV_THROW(kUnit, "trackOrder", "kvEventOrder.kvSuitId is empty");
    if (!event.kvCurrency) KV_THROW(kUnit, "trackOrder", "kvEventOrder.kvCurrency is nullptr");
    if (!(event.originalAmount > 0)) KV_THROW(kUnit, "trackOrder", "kvEventOrder.originalAmount is less than zero");
    if (!(event.paidAmount > 0)) KV_THROW(kUnit, "trackOrder", "kvEventOrder.originalAmount is less than zero");
    PropertiesNode properties;
    SetIfNotEmpty(properties, "kv_order_id", event.orderId);
    SetIfNotEmpty(properties, "kv_subitem", event.subitem);
    SetIfNotEmpty(properties, "kv_sku", event.sku);
    properties.SetString("kv_suit_id", event.kvSuitId);
    properties.SetString("kv_currency", toString(*event.kvCurrency));
    properties.SetNumber("kv_original_amount", static_cast<double>(event.originalAmount));
    SetIfNotEmpty(properties, "kv_voucher_id", event.voucherId);
    properties.SetNumber("kv_paid_amount", static_cast<double>(event.paidAmount));
    SetIfNotEmpty(properties, "kv_cashier_name", event.cashierName);
    SetIfNotEmpty(properties, "kv_cashier_title", event.cashierTitle);
    SetNumberIfPresent(properties, "kv_campaign_code", event.campaignCode);
    if (event.curOriginalAmount > 0)
        properties.SetNumber("kv_cur_original_amount", static_cast<double>(event.curOriginalAmount));
    if (event.curPaidAmount > 0) properties.SetNumber("kv_cur_paid_amount", static_cast<double>(event.curPaidAmount));
    properties.SetBool("$is_first_time", true);
    Track("KvEventOrder", properties, KvEventKind::Order, context);
    AddPending(1);
    SendDispatch(false);
}

void KvTrackerImpl::trackPayment(const KvEventPayment& event, const KvContextProperties& context) {
    const char* function = "trackPayment";
    if (event.kvOrderId.empty()) KV_THROW(kUnit, function, "kvEventPayment.kvOrderId is empty");
    if (event.paidAmount < 0) KV_THROW(kUnit, function, "paidAmount = " + AmountText(event.paidAmount) + " is invalid");
    if (event.originalAmount < 0)
        KV_THROW(kUnit, function, "originalAmount = " + AmountText(event.originalAmount) + " is invalid");
    if (!event.result || (*event.result != KvResult::Success && *event.result != KvResult::Fail))
        KV_THROW(kUnit, function, "kvEventPayment.result is invalid");
    if (!event.currency) KV_THROW(kUnit, function, "kvEventPayment.currency is nullptr");
    if (!event.paidPlatform) KV_THROW(kUnit, function, "kvEventPayment.paidPlatform is nullptr");
    PropertiesNode properties;
    properties.SetString("kv_order_id", event.kvOrderId);
    SetIfNotEmpty(properties, "kv_subitem", event.subitem);
    SetIfNotEmpty(properties, "kv_sku", event.sku);
    properties.SetString("kv_currency", toString(*event.currency));
    properties.SetNumber("kv_original_amount", static_cast<double>(event.originalAmount));
    SetNumberIfPresent(properties, "kv_campaign_code", event.campaignCode);
    SetIfNotEmpty(properties, "kv_voucher_id", event.voucherId);
    SetIfNotEmpty(properties, "kv_used_voucher_id", event.usedVoucherId);
    properties.SetNumber("kv_paid_amount", static_cast<double>(event.paidAmount));
    SetIfNotEmpty(properties, "kv_suit_id", event.suitId);
    SetIfNotEmpty(properties, "kv_cashier_name", event.cashierName);
    SetIfNotEmpty(properties, "kv_cashier_title", event.cashierTitle);
    properties.SetString("kv_paid_platform", toString(*event.paidPlatform));
    properties.SetString("kv_result", toString(*event.result));
    if (event.iapType) properties.SetString("kv_iap_type", toString(*event.iapType));
    if (event.curOriginalAmount > 0)
        properties.SetNumber("kv_cur_original_amount", static_cast<double>(event.curOriginalAmount));
    if (event.curPaidAmount > 0) properties.SetNumber("kv_cur_paid_amount", static_cast<double>(event.curPaidAmount));
    properties.SetBool("$is_first_time", true);
    Track("KvEventPayment", properties, KvEventKind::Payment, context);

    const auto now = kv_analytics::CurrentTimeMillis();
    ProfileUserPropertyNumber("kv_paid_count", 1);
    ProfileUserPropertyNumber(static_cast<double>(event.paidAmount));
    ProfileUserPropertyDateTime("kv_first_paid_date", now);
    ProfileUserPropertyDateTime("kv_last_paid_date", now);
    AddPending(4);
    if (*event.result == KvResult::Success) {
        state_->userVipLevel = 1;
        SaveBase(*state_);
    }
    SendDispatch(true);
}

void KvTrackerImpl::trackUninstall(const std::string& reason, const KvContextProperties& context) {
    PropertiesNode properties;
    SetIfNotEmpty(properties, "kv_uninstall_reason", reason);
    Track("KvEventUninstall", properties, KvEventKind::Uninstall, context);
    SendDispatch(true);
}

void KvTrackerImpl::trackCrash(const std::string& reason) {
    PropertiesNode properties;
    SetIfNotEmpty(properties, "app_crashed_reason", reason);
    Sdk::Track("AppCrashed", properties);
    SendDispatch(true);
}

void KvTrackerImpl::trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) {
    const char* function = "trackUpdate";
    const auto op = static_cast<std::int32_t>(event.op);
    if (op > 4) KV_THROW(kUnit, function, "Unknown KvUpdateOp [" + std::to_string(op) + "]!");
    const bool ending = event.op == KvUpdateOp::DownloadEnd || event.op == KvUpdateOp::UpgrateEnd;
    if (ending && !event.result) KV_THROW(kUnit, function, "Unknown updateResultInfo info");
    if (ending && !event.elapsed) KV_THROW(kUnit, function, "invalid elapsed info");
    PropertiesNode properties;
    properties.SetString("kv_update_op", toString(event.op));
    if (event.op == KvUpdateOp::UpdateCheck)
        properties.SetString("kv_update_result", event.result ? toString(*event.result) : std::string());
    if (ending) {
        properties.SetString("kv_update_result", toString(*event.result));
        if (event.op == KvUpdateOp::UpgrateEnd) properties.SetBool("$is_first_time", true);
        properties.SetNumber("kv_elapsed", static_cast<double>(*event.elapsed));
    }
    Track("KvEventUpdate", properties, KvEventKind::Update, context);
    SendDispatch(true);
}

void KvTrackerImpl::trackAppOpenNotification(const AppOpenNotification* notification,
                                             const KvContextProperties& context) {
    const char* function = "trackAppOpenNotification";
    if (!notification) KV_THROW(kUnit, function, "&appOpenNotification is nullptr");
    if (notification->planID.empty()) KV_THROW(kUnit, function, "planID is emptry");
    if (notification->planType.empty()) KV_THROW(kUnit, function, "planType is emptry");
    if (notification->msgTitle.empty()) KV_THROW(kUnit, function, "msgTitle is emptry");
    PropertiesNode properties;
    properties.SetString("$sf_msg_title", notification->msgTitle);
    SetIfNotEmpty(properties, "$sf_msg_content", notification->msgContent);
    SetIfNotEmpty(properties, "$sf_link_url", notification->linkUrl);
    properties.SetString("$sf_plan_id", notification->planID);
    SetIfNotEmpty(properties, "$sf_audience_id", notification->audienceId);
    SetIfNotEmpty(properties, "$sf_plan_strategy_id", notification->planStrategyId);
    properties.SetString("$sf_plan_type", notification->planType);
    SetIfNotEmpty(properties, "$sf_strategy_unit_id", notification->strategyUnitId);
    properties.SetBool("$is_first_time", true);
    Track("AppOpenNotification", properties, KvEventKind::AppOpenNotification, context);
    SendDispatch(false);
}

void KvTrackerImpl::setLocale(const std::string& locale) {
    state_->locale = locale;
    MergeLocaleProperties();
}

std::string KvTrackerImpl::getPrimaryDistinctId() { return state_->primaryDistinctId; }

}  // namespace karvo::tracking
