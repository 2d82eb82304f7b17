#include "link.h"

#include "crc16.h"
#include "frames.h"
#include "modbus_errors.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcFrames, "tavro.link.frames", QtWarningMsg)

namespace tavro {
namespace {

QString hex(const std::uint8_t *bytes, std::size_t n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(n)).toHex(' '));
}

const std::uint8_t kChannelHeader[] = {0x55, 0xAA, 0x01, 0x80, 0x8E};

} // namespace

Link::Link(SerialPort &port, TimerFactory &timers, Clock &clock, MessageSink &messages, QObject *parent)
    : QObject(parent), port_(port), clock_(clock), messages_(messages)
{
    setObjectName(QStringLiteral("Link"));
    TimerWaitAnsw = timers.create(this, QStringLiteral("TimerWaitAnsw"), kAnswerTimeoutMs);
    TimerSetAuto = timers.create(this, QStringLiteral("TimerSetAuto"), 500);
    // These are event handlers like any click: an error escaping them is shown and the link goes on.
    auto guarded = [this](auto handler) {
        return [this, handler](auto... args) {
            try {
                (this->*handler)(args...);
            } catch (const std::exception &e) {
                messages_.show(QString::fromUtf8(e.what()));
            }
        };
    };
    connect(TimerWaitAnsw, &Timer::timeout, this, guarded(&Link::TimerWaitAnswTimer));
    connect(TimerSetAuto, &Timer::timeout, this, guarded(&Link::TimerSetAutoTimer));
    connect(&port_, &SerialPort::bytesArrived, this, [this, receive = guarded(&Link::ComPortTriggerAvail)](int count) {
        receive(count);
    });
    InitPresetRecords();
}

void Link::InitPresetRecords()
{
    auto preset = [](TInquiry &r, std::uint16_t reg, std::uint16_t count, std::uint16_t answLen,
                     std::uint8_t tag) {
        r.Reg = reg;
        r.Count = count;
        r.AnswLen = answLen;
        r.Tag = tag;
    };
    preset(InqRatioRead, 2048, 8, 21, 27);
    preset(InqRatioReread, 2048, 8, 21, 28);
    preset(InqSchemeStart, 528, 1, 7, 29);
    preset(InqSchemeRead, 528, 1, 7, 31);
    preset(InqCurrStart, 534, 1, 7, 33);
    InqCurrEnter.Count = 2;
    InqCurrEnter.Tag = 15;
    preset(InqMeasure, 0, 62, 129, 32);
    preset(InqReg532, 532, 1, 7, 34);
    preset(InqCurrMethod, 546, 1, 7, 30);
    InqCalibValue.Reg = 1792;
    InqCalibValue.Count = 2;
    InqCalibValue.Tag = 14;
    InqRatioWrite.Count = 8;
    InqCalibCmd.Count = 2;
    InqCalibCmd.Tag = 40;
    InqCurrAdjust.Count = 2;
    InqCurrAdjust.Tag = 36;
    InqCurrMode.Count = 2;
    InqCurrMode.Tag = 36;
    InqCurrLimit.Reg = 766;
    InqCurrLimit.Count = 2;
    InqCurrLimit.Tag = 35;
}

// ---- sending ----------------------------------------------------------------------------------

void Link::portMessage()
{
    messages_.show(QStringLiteral("Ошибка при чтении номера порта: COM ") + QString::number(port_.portNumber()));
}

bool Link::transmit(std::size_t length, std::uint16_t answerLength)
{
    try {
        port_.clearOutput(); // the send guard: opens the port and drops anything left unsent
        port_.write(TxBuf.data(), int(length));
    } catch (const PortError &) {
        portMessage();
        observer_->portFailed();
        return false;
    }
    qCDebug(lcFrames) << "tx" << hex(TxBuf.data(), length);
    WaitLen = answerLength;
    TimerWaitAnsw->start();
    WaitAnsw = true;
    // Wake for the first five bytes: an exception answer is complete by then.
    port_.setReadThreshold(std::min<int>(WaitLen, kExceptionAnswerLength));
    return true;
}

bool Link::SendInquiry(TInquiry inq)
{
    SentTag = inq.Tag;
    const std::size_t n = BuildRead03(TxBuf.data(), inq, inq.Addr);
    if (!transmit(n, inq.AnswLen))
        return false;
    SentTime = clock_.nowMs();
    observer_->inquirySent();
    ++CntAllEnquiry;
    observer_->statisticsChanged();
    return true;
}

bool Link::SendInquiryRead03(TInquiry inq)
{
    SentTag = inq.Tag;
    const std::size_t n = BuildRead03(TxBuf.data(), inq, settingsSlave_ ? settingsSlave_() : inq.Addr);
    return transmit(n, inq.AnswLen);
}

bool Link::SendInquiryWrite06(TInquiry inq)
{
    SentTag = inq.Tag;
    return transmit(BuildWrite06(TxBuf.data(), inq, inq.Addr), kWriteAnswerLength);
}

bool Link::SendInquiryWrite16(TInquiry inq)
{
    SentTag = inq.Tag;
    const std::size_t n = BuildWrite16(TxBuf.data(), inq, settingsSlave_ ? settingsSlave_() : inq.Addr);
    if (!transmit(n, kWriteAnswerLength))
        return false;
    SentTime = clock_.nowMs();
    return true;
}

bool Link::SendInquiryWrite16Float(TInquiry inq)
{
    SentTag = inq.Tag;
    const std::size_t n = BuildWrite16Float(TxBuf.data(), inq, settingsSlave_ ? settingsSlave_() : inq.Addr);
    return transmit(n, kWriteAnswerLength);
}

bool Link::SendInquiryRead20(TInquiry inq)
{
    SentTag = inq.Tag;
    const std::size_t n = BuildRead20(TxBuf.data(), inq, settingsSlave_ ? settingsSlave_() : inq.Addr);
    return transmit(n, inq.AnswLen);
}

bool Link::SendFrame(std::uint8_t tag, const std::uint8_t *frame, int length, std::uint16_t answerLength)
{
    SentTag = tag;
    const std::size_t n = std::min<std::size_t>(std::max(length, 0), TxBuf.size());
    std::copy(frame, frame + n, TxBuf.begin());
    return transmit(n, answerLength);
}

// ---- ending an exchange -----------------------------------------------------------------------

bool Link::FlushPort()
{
    port_.setReadThreshold(ChanListening ? kChannelWindow : 1);
    try {
        port_.clearInput();
    } catch (const PortError &) {
        portMessage();
        if (channelPageActive)
            observer_->flushFailedOnChannelPage();
        return false;
    }
    try {
        port_.clearOutput();
    } catch (const PortError &) {
    }
    return true;
}

void Link::countCycleFailure()
{
    if (NetActive)
        ++StepRetry;
    if (CurrActive)
        ++StepRetry;
}

void Link::TimerWaitAnswTimer()
{
    TimerWaitAnsw->stop();
    ++CntNoAnsw;
    WaitAnsw = false;
    countCycleFailure();
    WritePending = false;
    observer_->status(QStringLiteral("  Нет ответа от устройства !"));
    observer_->statisticsChanged();
    FlushPort();
    TimerWaitAnsw->setInterval(kAnswerTimeoutMs);
    observer_->timedOut();
}

void Link::ButtonStatClear()
{
    CntNoAnsw = CntErrCRC = CntAllEnquiry = MaxAnswMs = 0;
    observer_->statisticsChanged();
}

void Link::ShowAnswTime()
{
    const qint64 elapsed = std::max<qint64>(0, clock_.nowMs() - SentTime);
    LastAnswMs = int(elapsed % 1000);
    LastAnswSec = int((elapsed / 1000) % 60);
    // Only the millisecond part counts towards the maximum, as the instrument's makers chose.
    if (LastAnswMs > MaxAnswMs)
        MaxAnswMs = std::uint16_t(LastAnswMs);
    observer_->statisticsChanged();
}

void Link::ComPortTriggerAvail(int count)
{
    TimerWaitAnsw->setInterval(kAnswerTimeoutMs);
    if (ChanListening) {
        channelBranch(count);
        return;
    }
    if (WaitAnsw && count > 4) {
        std::uint8_t head[2] = {0, 0};
        if (port_.peek(head, 2) == 2 && head[1] >= 0x80)
            WaitLen = kExceptionAnswerLength;
    }
    if (!WaitAnsw || port_.bytesAvailable() < WaitLen) {
        // The rest comes with a later event, which need not come before the answer's last byte:
        // five bytes for an exception, WaitLen otherwise, five while the function code is unseen.
        if (WaitAnsw) {
            const int have = port_.bytesAvailable();
            std::uint8_t head[2] = {0, 0};
            const bool known = port_.peek(head, 2) == 2;
            const int whole = !known || head[1] >= 0x80 ? kExceptionAnswerLength : WaitLen;
            port_.setReadThreshold(std::max(whole - have, 1));
        }
        return;
    }

    observer_->answerComplete();
    // Never past the buffer: whatever does not fit is dropped by the flush at the end.
    const int wanted = std::clamp(count, 0, int(RxBuf.size()));
    RxCount = 0;
    try {
        // A count older than the bytes now waiting must not pull an earlier answer's tail into this one.
        RxCount = std::size_t(std::clamp(port_.read(RxBuf.data(), wanted), 0, wanted));
    } catch (const PortError &) {
        // Nothing read counts as a failed check: the previous answer must not pass for a new one.
        messages_.show(QStringLiteral(" Ошибка приема информации !"));
    }
    qCDebug(lcFrames) << "rx" << hex(RxBuf.data(), RxCount);

    if (CalcCRC16(RxBuf.data(), RxCount) != 0) {
        // The request stays outstanding: a later answer or the time-out ends it.
        ++CntErrCRC;
        countCycleFailure();
        observer_->crcFailed();
        observer_->statisticsChanged();
        observer_->status(QStringLiteral("  Ошибка контрольной суммы !"));
        FlushPort();
        return;
    }

    WaitAnsw = false;
    TimerWaitAnsw->stop();
    observer_->crcPassed();

    if (RxBuf[1] > 0x80) {
        if (!WritePending)
            StepInquiry = &InqMeasure;
        WritePending = false;
        observer_->exceptionAnswer();
        const QString text = ModbusErrorText(RxBuf[2]);
        if (!text.isEmpty())
            messages_.show(text);
        FlushPort();
        return;
    }

    // A copy: the handler may replace its own entry while it runs.
    if (const Handler handle = handlers_[SentTag])
        handle(Response{RxBuf.data(), RxCount});
    StepRetry = 0;
    ShowAnswTime();
    observer_->status(QStringLiteral("  Операция завершена успешно"));
    observer_->succeeded();
    FlushPort();
}

void Link::channelBranch(int count)
{
    if (port_.bytesAvailable() < kChannelWindow) {
        port_.setReadThreshold(kChannelWindow - port_.bytesAvailable());
        return;
    }
    const int wanted = std::clamp(count, 0, int(RxBuf.size()));
    std::size_t received = 0;
    try {
        received = std::size_t(std::clamp(port_.read(RxBuf.data(), wanted), 0, wanted));
    } catch (const PortError &) {
        messages_.show(QStringLiteral(" Ошибка приема информации !"));
    }
    // Only bytes of this read count, so a window without a whole frame never shows an earlier frame
    // again. The header is looked for in the first window; the frame may run on past it.
    ChannelFrame.fill(0);
    const auto *begin = RxBuf.data();
    const auto *end = begin + received;
    const auto *windowEnd = begin + std::min<std::size_t>(received, kChannelWindow);
    const auto *found = std::search(begin, windowEnd, std::begin(kChannelHeader), std::end(kChannelHeader));
    bool good = false;
    if (found != windowEnd && end - found >= kChannelFrameLength) {
        std::copy_n(found, kChannelFrameLength, ChannelFrame.begin());
        good = CalcCRC16(ChannelFrame.data(), kChannelFrameLength) == 0;
    }
    try {
        port_.clearInput();
    } catch (const PortError &) {
    }
    port_.setReadThreshold(kChannelWindow);
    observer_->channelFrame(good ? ChannelFrame.data() : nullptr);
}

// ---- request-sequence runner ------------------------------------------------------------------

void Link::StopNetCycle()
{
    TimerSetAuto->stop();
    StepRetry = 0;
    NetActive = false;
}

void Link::TimerSetAutoTimer()
{
    TimerSetAuto->setInterval(kRunnerTickMs);
    if (StepRetry >= kRunnerFailureLimit) {
        observer_->runnerGaveUp();
        return;
    }
    if (!StepInquiry)
        return;
    const TInquiry step = *StepInquiry;
    bool write = true;
    switch (step.Tag) {
    case 14:
    case 15:
        SendInquiryWrite16Float(step);
        break;
    case 16:
        SendInquiryWrite16(step);
        break;
    case 35:
    case 36:
        SendInquiryWrite06(step);
        break;
    case 40:
        TimerSetAuto->stop();
        SendInquiryWrite06(step);
        break;
    default:
        SendInquiryRead03(step);
        write = false;
        break;
    }
    observer_->runnerSent(write);
}

} // namespace tavro
