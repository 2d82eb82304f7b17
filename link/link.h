#pragma once
#include "encoding.h"
#include "inquiry.h"
#include "serial_port.h"
#include "timer.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>

namespace tavro {

constexpr std::size_t kRxBufferSize = 4096;
constexpr int kAnswerTimeoutMs = 3000;
constexpr int kRunnerTickMs = 1000;
constexpr int kRunnerFailureLimit = 10;
constexpr int kChannelFrameLength = 142;
constexpr int kChannelWindow = 3 * kChannelFrameLength; // bytes gathered before a frame search

// A complete, CRC-checked response as it lies in the receive buffer.
struct Response {
    const std::uint8_t *bytes = nullptr;
    std::size_t size = 0;
    std::uint8_t byte(std::size_t i) const { return i < size ? bytes[i] : 0; }
    // The data part: everything after slave, function and byte count.
    RegisterData data() const { return size > 3 ? RegisterData(bytes + 3, size - 3) : RegisterData(); }
};

// What the screen does around an exchange. The link keeps the state and the bytes; the window
// reacts to these moments with its controls. Every method has an empty default.
class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void inquirySent() {}         // after SendInquiry put its frame on the line
    virtual void portFailed() {}          // the send guard could not use the port; nothing was sent
    virtual void statisticsChanged() {}   // a counter or the answer time changed
    virtual void status(const QString &) {}
    virtual void answerComplete() {}      // all expected bytes are in, before the CRC check
    virtual void crcFailed() {}
    virtual void crcPassed() {}
    virtual void exceptionAnswer() {}     // before the exception text is shown
    virtual void succeeded() {}           // the common success path after dispatch
    virtual void timedOut() {}
    virtual void flushFailedOnChannelPage() {}
    virtual void runnerGaveUp() {}        // ten failures in a row: both cycles must stop
    virtual void runnerSent(bool /*write*/) {}
    virtual void channelFrame(const std::uint8_t *frame) { (void)frame; }
    virtual void channelCrcFailed() {}
};

// The Modbus RTU master: one request outstanding, its time-out, the statistics, the receive
// handler with the dispatch by request tag, and the request-sequence runner.
class Link : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const Response &)>;

    Link(SerialPort &port, TimerFactory &timers, Clock &clock, MessageSink &messages, QObject *parent = nullptr);

    void setObserver(LinkObserver *observer) { observer_ = observer ? observer : &noObserver_; }
    // The logical number typed on the settings page; the runner's sends address it.
    void setSettingsLogicalNumber(std::function<std::uint16_t()> read) { settingsSlave_ = std::move(read); }
    // The one table from request tag to the feature that decodes its answer.
    void setHandler(std::uint8_t tag, Handler handler) { handlers_[tag] = std::move(handler); }
    bool channelPageActive = false; // FlushPort leaves the page when the port is gone

    // Send operations. Each returns false when the port could not be used (nothing was sent).
    bool SendInquiry(TInquiry inq);
    bool SendInquiryRead03(TInquiry inq);
    bool SendInquiryWrite06(TInquiry inq);
    bool SendInquiryWrite16(TInquiry inq);
    bool SendInquiryWrite16Float(TInquiry inq);
    bool SendInquiryRead20(TInquiry inq);
    // A frame of another device on the line (the external indicator), sent under tag.
    bool SendFrame(std::uint8_t tag, const std::uint8_t *frame, int length, std::uint16_t answerLength);

    void ComPortTriggerAvail(int count);
    void TimerWaitAnswTimer();
    void TimerSetAutoTimer();
    bool FlushPort();
    void ButtonStatClear();
    void InitPresetRecords();
    // The link's part of ending the metrology cycle.
    void StopNetCycle();

    // Link state.
    bool WaitAnsw = false;
    std::uint16_t WaitLen = 0;
    std::uint8_t SentTag = 0;
    qint64 SentTime = 0;
    std::uint16_t CntAllEnquiry = 0;
    std::uint16_t CntNoAnsw = 0;
    std::uint16_t CntErrCRC = 0;
    std::uint16_t MaxAnswMs = 0;
    int LastAnswSec = -1; // the last answer time, -1 before the first one
    int LastAnswMs = 0;
    bool AutoReading = false;
    bool ChanListening = false;

    // Runner state.
    TInquiry *StepInquiry = nullptr;
    std::uint16_t StepRetry = 0;
    bool WritePending = false;
    bool NetActive = false;
    bool CurrActive = false;

    // Request records.
    TInquiry CurInquiry;
    TInquiry InqRatioRead, InqRatioReread, InqSchemeStart, InqSchemeRead, InqCurrStart, InqCurrEnter,
        InqMeasure, InqReg532, InqCurrMethod, InqCalibValue, InqRatioWrite, InqCalibCmd, InqCurrAdjust,
        InqCurrMode, InqCurrLimit;
    TInquiry InqMultiWrite, InqTimeWrite, InqNumDevWrite;

    std::array<std::uint8_t, kRxBufferSize> TxBuf{};
    std::array<std::uint8_t, kRxBufferSize> RxBuf{};
    std::size_t RxCount = 0;
    std::array<std::uint8_t, kChannelFrameLength> ChannelFrame{};

    Timer *TimerWaitAnsw = nullptr;
    Timer *TimerSetAuto = nullptr;
    SerialPort &port() { return port_; }

private:
    bool transmit(std::size_t length, std::uint16_t answerLength);
    void channelBranch(int count);
    void countCycleFailure();
    void ShowAnswTime();
    void portMessage();

    SerialPort &port_;
    Clock &clock_;
    MessageSink &messages_;
    LinkObserver noObserver_;
    LinkObserver *observer_ = &noObserver_;
    std::function<std::uint16_t()> settingsSlave_;
    std::array<Handler, 256> handlers_;
};

} // namespace tavro
