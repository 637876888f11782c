// Controls that play a numbered series of images by swapping their background on timer 2100.
//
// Layout attributes (names in any case): sequencebkimage (printf-style frame path with one
// integer conversion, e.g. "res\anim\%.3d.png"), sequencecount, sequencespan (ms per frame),
// sequenceloop, sequenceround, autostart (each false only for the exact text "false").
#pragma once

#include <ui_framework/controls.h>

#include <cstdint>
#include <string>

constexpr unsigned kSequenceTimerId = 2100;

// The animation state both controls share.
class FrameSequence {
public:
    FrameSequence(bool round, int period) : round_(round), period_(period) {}

    // True when the attribute was one of the sequence's.
    bool SetAttribute(std::wstring_view name, std::wstring_view value);
    // Starts the timer when autostart is set (the frame index keeps its value).
    void Init(skin::Control& control);
    // Frame index 0, then the timer.
    void Start(skin::Control& control);
    // One frame: wraps or turns at the ends, sets the frame as background, moves the index.
    void Step(skin::Control& control);

    std::wstring imageFormat;
    bool autostart = false;
    bool loop = true;
    bool forward = true;
    std::uint32_t frameIndex = 0;
    std::int32_t frameCount = 0;

    bool round() const { return round_; }
    void set_round(bool round) { round_ = round; }
    std::int32_t period() const { return period_; }
    void set_period(std::int32_t period) { period_ = period; }

private:
    bool round_;
    std::int32_t period_;
};

class CSequenceLabelUI : public skin::LabelControl {
public:
    CSequenceLabelUI() : sequence_(false, 30) {}
    ~CSequenceLabelUI() override;

    std::wstring_view GetClass() const override { return L"SequenceLabel"; }
    skin::Control* GetInterface(std::wstring_view className) override;
    void DoInit() override;
    void DoEvent(skin::ControlEvent& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void SetImageFormat(std::wstring format) { sequence_.imageFormat = std::move(format); }
    const std::wstring& GetImageFormat() const { return sequence_.imageFormat; }
    void SetFrameCount(std::int32_t count) { sequence_.frameCount = count; }
    std::int32_t GetFrameCount() const { return sequence_.frameCount; }
    void SetPeriod(std::int32_t period) { sequence_.set_period(period); }
    std::int32_t GetPeriod() const { return sequence_.period(); }
    void Start() { sequence_.Start(*this); }

    const FrameSequence& Sequence() const { return sequence_; }

private:
    FrameSequence sequence_;
};

class CSequenceButtonUI : public skin::ButtonControl {
public:
    CSequenceButtonUI() : sequence_(true, 60) {}
    ~CSequenceButtonUI() override;

    std::wstring_view GetClass() const override { return L"SequenceButton"; }
    skin::Control* GetInterface(std::wstring_view className) override;
    void DoInit() override;
    void DoEvent(skin::ControlEvent& event) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    void SetImageFormat(std::wstring format) { sequence_.imageFormat = std::move(format); }
    const std::wstring& GetImageFormat() const { return sequence_.imageFormat; }
    void SetFrameCount(std::int32_t count) { sequence_.frameCount = count; }
    std::int32_t GetFrameCount() const { return sequence_.frameCount; }
    void SetPeriod(std::int32_t period) { sequence_.set_period(period); }
    std::int32_t GetPeriod() const { return sequence_.period(); }
    void Start() { sequence_.Start(*this); }

    const FrameSequence& Sequence() const { return sequence_; }

private:
    FrameSequence sequence_;
};
