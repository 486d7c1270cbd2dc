#pragma once
// Recorders for the main window's side of a capture: its controls and its
// message boxes.

#include "app/UserMessages.h"
#include "transfer/Capture.h"

#include <functional>
#include <string>
#include <vector>

struct RecordingDisplay : CaptureDisplay {
    std::string caption = kStartCaptureCaption;
    std::string speed = "0";
    bool speedEnabled = false;
    int speedUpdates = 0;

    void SetCaptureCaption(const std::string &text) override { caption = text; }
    void SetSpeedText(const std::string &text) override
    {
        speed = text;
        ++speedUpdates;
    }
    void EnableSpeed(bool enabled) override { speedEnabled = enabled; }
};

struct RecordingMessages : UserMessages {
    std::vector<std::string> texts;
    // Runs while the message box would be up (its loop keeps the port read).
    std::function<void()> whileShown;

    void Show(const std::string &text, const std::string &caption, MessageIcon) override
    {
        texts.push_back(caption.empty() ? text : caption + ": " + text);
        if (whileShown)
            whileShown();
    }
};

struct FakeClock : CaptureClock {
    uint32_t now = 1000;
    uint32_t TickCount() override { return now; }
};
