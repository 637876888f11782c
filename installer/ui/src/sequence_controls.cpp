#include "installer_ui/sequence_controls.h"

#include <ui_framework/window.h>

#include <fmt/printf.h>
#include <fmt/xchar.h>

#include <algorithm>
#include <climits>

namespace {

// Only the exact text "false" turns a flag off.
bool FlagValue(std::wstring_view value) { return value != L"false"; }

unsigned TimerPeriod(std::int32_t period) { return static_cast<unsigned>(std::clamp(period, 1, INT_MAX)); }

}  // namespace

bool FrameSequence::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (skin::NameEquals(name, L"sequencebkimage")) imageFormat = value;
    else if (skin::NameEquals(name, L"sequencecount")) frameCount = skin::ParseLeadingInt(value);
    else if (skin::NameEquals(name, L"sequencespan")) period_ = skin::ParseLeadingInt(value);
    else if (skin::NameEquals(name, L"sequenceloop")) loop = FlagValue(value);
    else if (skin::NameEquals(name, L"autostart")) autostart = FlagValue(value);
    else if (skin::NameEquals(name, L"sequenceround")) round_ = FlagValue(value);
    else return false;
    return true;
}

void FrameSequence::Init(skin::Control& control) {
    if (autostart && control.GetWindow()) control.GetWindow()->SetTimer(&control, kSequenceTimerId, TimerPeriod(period_));
}

void FrameSequence::Start(skin::Control& control) {
    frameIndex = 0;
    if (control.GetWindow()) control.GetWindow()->SetTimer(&control, kSequenceTimerId, TimerPeriod(period_));
}

void FrameSequence::Step(skin::Control& control) {
    if (imageFormat.empty()) return;
    auto stop = [&control] {
        if (control.GetWindow()) control.GetWindow()->KillTimer(&control, kSequenceTimerId);
    };
    if (forward && frameIndex > static_cast<std::uint32_t>(frameCount - 1)) {
        if (round_) {
            forward = false;
            frameIndex = static_cast<std::uint32_t>(frameCount - 2);
        } else {
            frameIndex = 0;
            if (!loop) return stop();
        }
    }
    if (!forward && frameIndex == 0) {
        if (round_) forward = true;
        frameIndex = 0;
        if (!loop) return stop();
    }
    std::wstring path;
    try {
        path = fmt::sprintf(std::wstring_view(imageFormat), static_cast<int>(frameIndex));
    } catch (const fmt::format_error&) {
        // A format the frame number does not fit shows nothing.
    }
    if (path.size() > 259) path.resize(259);
    frameIndex = forward ? frameIndex + 1 : frameIndex - 1;
    control.SetBkImage(std::move(path));
    control.Invalidate();
}

CSequenceLabelUI::~CSequenceLabelUI() {
    if (GetWindow()) GetWindow()->KillTimer(this, kSequenceTimerId);
}

skin::Control* CSequenceLabelUI::GetInterface(std::wstring_view className) {
    return skin::NameEquals(className, L"SequenceLabel") ? this : LabelControl::GetInterface(className);
}

void CSequenceLabelUI::DoInit() {
    LabelControl::DoInit();
    sequence_.Init(*this);
}

void CSequenceLabelUI::DoEvent(skin::ControlEvent& event) {
    LabelControl::DoEvent(event);
    if (event.type == skin::EventType::Timer) sequence_.Step(*this);
}

void CSequenceLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!sequence_.SetAttribute(name, value)) LabelControl::SetAttribute(name, value);
}

CSequenceButtonUI::~CSequenceButtonUI() {
    if (GetWindow()) GetWindow()->KillTimer(this, kSequenceTimerId);
}

skin::Control* CSequenceButtonUI::GetInterface(std::wstring_view className) {
    return skin::NameEquals(className, L"SequenceButton") ? this : ButtonControl::GetInterface(className);
}

void CSequenceButtonUI::DoInit() {
    ButtonControl::DoInit();
    sequence_.Init(*this);
}

void CSequenceButtonUI::DoEvent(skin::ControlEvent& event) {
    ButtonControl::DoEvent(event);
    if (event.type == skin::EventType::Timer) sequence_.Step(*this);
}

void CSequenceButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (!sequence_.SetAttribute(name, value)) ButtonControl::SetAttribute(name, value);
}
