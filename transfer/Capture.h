#pragma once
// Capture to file: while it runs, every chunk the terminal receive path reads
// from the port goes into the capture file as it came, and the speed field
// shows the average receive rate. The main window's button toggles it.

#include "common/TickClock.h"
#include "common/UserMessages.h"

#include <cstdint>
#include <optional>
#include <string>

// The capture file. Write may hold bytes in memory; Flush and Close write
// them out. After a failure, BytesSaved still tells how much of the data
// handed in is in the file, and ErrorText says why the rest is not.
class CaptureFile {
public:
    virtual ~CaptureFile() = default;
    // Creates the file, or empties it when it exists.
    virtual bool Open() = 0;
    virtual bool Write(const uint8_t *bytes, uint32_t count) = 0;
    virtual bool Flush() = 0;
    // Writes out what is held and closes; false when that write failed.
    virtual bool Close() = 0;
    virtual uint64_t BytesSaved() const = 0;
    // The file's path as the user knows it.
    virtual std::string Path() const = 0;
    // The system's text for the last failure.
    virtual std::string ErrorText() const = 0;
};

// The main window's capture controls.
class CaptureDisplay {
public:
    virtual ~CaptureDisplay() = default;
    // The text of the "Start Capture" / "Stop Capture" button.
    virtual void SetCaptureCaption(const std::string &caption) = 0;
    // The text of the speed field.
    virtual void SetSpeedText(const std::string &text) = 0;
    // Enables or disables the "Speed:" label together with the speed field.
    virtual void EnableSpeed(bool enabled) = 0;
};

inline constexpr const char *kStartCaptureCaption = "Start Capture";
inline constexpr const char *kStopCaptureCaption = "Stop Capture";
inline constexpr const char *kCaptureOpenError = "files opened error!";
// The rate is shown once more than this many bytes have been captured.
inline constexpr uint64_t kRateShownAfter = 5000;

class Capture {
public:
    Capture(CaptureFile &file, TickClock &clock, CaptureDisplay &display,
            UserMessages &messages);
    // Closes a running capture's file, writing out what it holds.
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    bool IsOn() const { return m_on; }
    uint64_t Count() const { return m_count; }

    // The button: starts capture when it is off, stops it when it is on.
    void ToggleCapture();
    // Stops a running capture; nothing happens when it is off.
    void Stop();

    // A chunk the receive path read, before any filtering for display; does
    // nothing while capture is off. The speed field shows count × 1000 ÷
    // elapsed ms as "%d B/s" once more than 5000 bytes are in; while no
    // millisecond has passed since the first chunk there is no rate yet and
    // the field keeps its text. A failed write stops the capture and tells
    // the user how many bytes are safe in the file.
    void CaptureChunk(const uint8_t *bytes, uint32_t count);

    // Writes out what the file holds in memory. The poll timer calls it after
    // each receive step, so the file on disk is never more than one tick
    // behind the line. A failure stops the capture like a failed write.
    void Flush();

private:
    void Start();
    // Closes the file and resets the controls; reports a failed close.
    void Finish(bool failed);
    void ShowRate();

    CaptureFile &m_file;
    TickClock &m_clock;
    CaptureDisplay &m_display;
    UserMessages &m_messages;
    bool m_on = false;
    // Bytes captured since the start. 64 bits, so that a long capture at a
    // high rate neither wraps nor shows a false rate.
    uint64_t m_count = 0;
    std::optional<uint32_t> m_startTick; // tick of the first chunk
};
