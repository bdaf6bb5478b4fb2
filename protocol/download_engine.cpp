#include "protocol/download_engine.h"

#include "protocol/model_check.h"
#include "protocol/partial_answer.h"
#include "protocol/verdict_texts.h"
#include "serial/receive_buffer.h"

#include <cstring>

namespace
{

constexpr unsigned kSettlePauseMs = 200; // lets the rest of a response arrive
constexpr unsigned kProtocolChangePauseMs = 1000;
constexpr unsigned kWriteFailedPauseMs = 1000;

constexpr unsigned kSignalAnswerMinBytes = 2;
constexpr unsigned kSignallingChunkLimit = 53;
constexpr unsigned kEraseRetryLimit = 3;
constexpr unsigned kInvalidEraseResponseLimit = 3;
constexpr unsigned kTransferFailureLimit = 3;
constexpr unsigned kChecksumAnswerMinBytes = 4;
constexpr unsigned kStrayAnswerBytes = 2; // a late ">i" ahead of ">p"
constexpr int kGangWaitTicks = 60;

// Two-byte responses of the handset.
struct ResponseCode
{
    char lead;
    char letter;
};
constexpr ResponseCode kSignalAnswer = {'>', 'i'};
constexpr ResponseCode kParameterAnswer = {'>', 'p'};
constexpr ResponseCode kEraseDone = {'>', 'e'};
constexpr ResponseCode kEraseFailed = {'>', 'E'};
constexpr ResponseCode kOverrideDone = {'>', 'o'};
constexpr ResponseCode kBlockWritten = {'>', 'w'};
constexpr ResponseCode kBlockFailed = {'>', 'W'};
constexpr ResponseCode kChecksumGood = {'>', 'c'};
constexpr ResponseCode kChecksumBad = {'>', 'C'};

bool Starts(const std::uint8_t* bytes, std::size_t count, ResponseCode code)
{
    return StartsWith(bytes, count, code.lead, code.letter);
}

// The parameter answer's length: the record, with a late ">i" ahead of it when there is one.
unsigned ParameterAnswerBytes(const std::uint8_t* bufferStart)
{
    const bool strayFirst = Starts(bufferStart, 2, kSignalAnswer) &&
                            Starts(bufferStart + kStrayAnswerBytes, 2, kParameterAnswer);
    return static_cast<unsigned>(kParameterRecordSize) + (strayFirst ? kStrayAnswerBytes : 0);
}

// The count bytes that end at the end of received data. Once the reader's index has wrapped
// since the chunk was stored (end < count) those bytes are not in one piece before the end;
// the chunk itself is then the newest stretch that lies whole in the buffer.
const std::uint8_t* LatestStretch(const ReceivedBytes& received)
{
    if (received.endIndex >= received.count)
    {
        return received.bufferStart + (received.endIndex - received.count);
    }
    return received.chunk;
}

} // namespace

void CDownloadEngine::Begin(const DownloadSetup& setup)
{
    m_setup = setup;
    m_state = DownloadState::Signalling;
    m_retryCount = 0;
    m_rxTotal = 0;
    m_blockIndex = 0;
    m_modelAccepted = false;
    m_gangPromptShown = false;
    m_gangCountdown = kGangWaitTicks;
    m_gangWaiting = false;
    // The stop routine ended timer 4 with the last download.
    m_partialCount = 0;
    ClearChecksums();
    ++m_downloadId;
    NewChannelEpoch();
    m_active = true;
}

void CDownloadEngine::ClearChecksums()
{
    m_mainCrc = 0;
    m_lpCrc = 0;
    m_checksumRequest.ClearCrcs();
}

bool CDownloadEngine::Running() const
{
    return m_active && m_host.DownloadRunning();
}

bool CDownloadEngine::Alive() const
{
    return Running() && m_downloadId == m_handledDownload;
}

void CDownloadEngine::NewChannelEpoch()
{
    // Deferred notifications point into the old channel's buffer: drop them.
    ++m_channelEpoch;
    m_deferredHead = 0;
    m_deferredCount = 0;
    DropPartialAnswer();
}

void CDownloadEngine::OnSerialData(const ReceivedBytes& received)
{
    // The reader posts empty reads many times a second: they bring nothing, so they cost nothing.
    if (received.count == 0)
    {
        return;
    }
    // A notification posted just before the download ended.
    if (!Running())
    {
        return;
    }
    if (m_depth > 0)
    {
        // A message box of the current handling is open: acting now would act on this
        // download twice. The notification waits for the handling to return.
        Defer(received);
        return;
    }
    {
        HandlingScope scope(m_depth);
        Handle(received);
    }
    ReplayDeferred();
}

void CDownloadEngine::OnTimerTick(unsigned timerId)
{
    switch (timerId)
    {
    case kSignalTimer:
        // Not checked: the next tick writes it again.
        m_host.WriteSignal(kSignalCommand, kCommandSize);
        break;
    case kElapsedTimer:
        m_host.ShowElapsedTime();
        break;
    case kGangTimer:
        OnGangTick();
        m_host.ShowElapsedTime();
        break;
    case kAnswerTimer:
        OnAnswerWaitOver();
        break;
    default:
        break;
    }
}

void CDownloadEngine::OnGangTick()
{
    // A tick inside a handling is dropped: the timer fires again. A tick after the first block
    // was already queued when the timer stopped.
    if (!Running() || m_depth > 0 || !m_gangWaiting)
    {
        return;
    }
    {
        HandlingScope scope(m_depth);
        m_handledDownload = m_downloadId;
        GangTick();
    }
    ReplayDeferred();
}

void CDownloadEngine::Defer(const ReceivedBytes& received)
{
    if (m_deferredCount == kDeferredCapacity)
    {
        // Only a flood fills the queue; its oldest chunks are the likeliest to have been
        // overwritten by the reader meanwhile.
        m_deferredHead = (m_deferredHead + 1) % kDeferredCapacity;
        --m_deferredCount;
    }
    const std::size_t tail = (m_deferredHead + m_deferredCount) % kDeferredCapacity;
    m_deferred[tail] = DeferredNotification{received, m_channelEpoch, m_state};
    ++m_deferredCount;
}

void CDownloadEngine::ReplayDeferred()
{
    while (m_depth == 0 && m_deferredCount > 0)
    {
        const DeferredNotification next = m_deferred[m_deferredHead];
        m_deferredHead = (m_deferredHead + 1) % kDeferredCapacity;
        --m_deferredCount;
        // A chunk that arrived while a question was open belongs to the state that asked it: in
        // the state the answer led to (an erase just sent, an override begun) it would count as
        // that state's answer.
        if (next.channelEpoch != m_channelEpoch || next.state != m_state || !Running())
        {
            continue;
        }
        HandlingScope scope(m_depth);
        Handle(next.received);
    }
}

void CDownloadEngine::Handle(const ReceivedBytes& received)
{
    m_handledDownload = m_downloadId;

    // The running total follows the reader's index, which returns to 0 at the same bound.
    m_rxTotal = serial::NextWriteIndex(m_rxTotal, static_cast<std::uint32_t>(received.count));

    if (GatherPartialAnswer(received))
    {
        return;
    }
    if (m_partialCount > 0)
    {
        JudgeGathered(received);
        return;
    }
    Judge(Answer{received.chunk, received.count, LatestStretch(received)}, received);
}

// Adds the read to an answer that came only in part so far, or starts one with it. True while
// the bytes are still only the start of an answer: the rest is waited for, without the settle
// pause, until timer 4 ends the wait.
bool CDownloadEngine::GatherPartialAnswer(const ReceivedBytes& received)
{
    const bool extended = IsExtendedModel(m_setup.modelName);
    if (m_partialCount == 0 && !IsPartialAnswer(m_state, extended, received.chunk, received.count))
    {
        return false;
    }
    // The wait runs from the answer's first byte, however many reads bring the rest.
    const bool first = (m_partialCount == 0);
    // Only the first bytes are ever judged; what lies past them is left as a whole read's tail.
    const std::size_t room = kPartialCapacity - m_partialCount;
    const std::size_t taken = received.count < room ? received.count : room;
    std::memcpy(m_partial + m_partialCount, received.chunk, taken);
    m_partialCount += taken;
    if (!IsPartialAnswer(m_state, extended, m_partial, m_partialCount))
    {
        return false;
    }
    if (first)
    {
        m_host.StartTimer(kAnswerTimer, kAnswerWaitMs);
    }
    return true;
}

void CDownloadEngine::OnAnswerWaitOver()
{
    // Inside a handling the timer fires again; with nothing gathered it has no more to do.
    if (!Running() || m_depth > 0)
    {
        return;
    }
    if (m_partialCount == 0)
    {
        return;
    }
    {
        HandlingScope scope(m_depth);
        m_handledDownload = m_downloadId;
        // Nothing more came: what did is judged as it stands, as a read of its own.
        const ReceivedBytes gathered{m_partial, m_partial, m_partialCount,
                                     static_cast<std::uint32_t>(m_partialCount)};
        JudgeGathered(gathered);
    }
    ReplayDeferred();
}

// The gathered answer is judged as one chunk; bytes that followed it in the same reads (a
// second answer to one command) are dropped with it, as those after an answer in one read are.
void CDownloadEngine::JudgeGathered(const ReceivedBytes& received)
{
    std::uint8_t answer[kPartialCapacity];
    const std::size_t count = m_partialCount;
    std::memcpy(answer, m_partial, count);
    Judge(Answer{answer, count, answer}, received);
}

// Timer 4 runs exactly while bytes are gathered: a read that starts an answer starts it, and
// every read that completes the answer judges it and ends it here.
void CDownloadEngine::DropPartialAnswer()
{
    if (m_partialCount > 0)
    {
        m_partialCount = 0;
        m_host.StopTimer(kAnswerTimer);
    }
}

void CDownloadEngine::Judge(const Answer& answer, const ReceivedBytes& received)
{
    DropPartialAnswer();
    if (SettlePauseWanted(received))
    {
        m_host.Pause(kSettlePauseMs);
    }

    switch (m_state)
    {
    case DownloadState::Signalling:
        OnSignalling(answer);
        break;
    case DownloadState::ParameterExchange:
        OnParameterExchange(received);
        break;
    case DownloadState::LpOverride:
        OnLpOverride(answer);
        break;
    case DownloadState::MainErase:
    case DownloadState::LpErase:
        OnErase(answer);
        break;
    case DownloadState::MainTransfer:
    case DownloadState::LpTransfer:
        OnTransfer(answer);
        break;
    case DownloadState::ChecksumWait:
        OnChecksumWait(answer);
        break;
    default:
        m_host.ShowMessage("Unrecognised state!");
        break;
    }
}

// Outside the block transfer an answer gets a pause for the rest of it to arrive before it is
// judged. A parameter record still short of its length is not judged at all, so the pieces an
// adapter makes of it cost nothing.
bool CDownloadEngine::SettlePauseWanted(const ReceivedBytes& received) const
{
    switch (m_state)
    {
    case DownloadState::MainTransfer:
    case DownloadState::LpTransfer:
        return false;
    case DownloadState::ParameterExchange:
        return m_modelAccepted || m_rxTotal >= ParameterAnswerBytes(received.bufferStart);
    default:
        return true;
    }
}

void CDownloadEngine::OnSignalling(const Answer& answer)
{
    if (m_rxTotal < kSignalAnswerMinBytes)
    {
        return;
    }
    if (!Starts(answer.bytes, answer.count, kSignalAnswer))
    {
        m_host.PurgePort();
        m_rxTotal = 0;
        ++m_retryCount;
        if (m_retryCount >= kSignallingChunkLimit)
        {
            Abort();
        }
        return;
    }

    if (m_setup.gangMode)
    {
        if (m_gangPromptShown)
        {
            return;
        }
        m_gangPromptShown = true;
        const bool allSignalling = m_host.AskOkCancel("Press OK when all units read Signalling...");
        if (!Alive())
        {
            return;
        }
        if (!allSignalling)
        {
            Abort();
            return;
        }
    }

    m_host.StopTimer(kSignalTimer);
    m_host.Pause(kProtocolChangePauseMs);
    m_host.PurgePort();
    m_host.ProtocolChanged();
    m_host.AddReportLine("Changing protocol...");
    std::uint8_t change[kProtocolChangeSize];
    BuildProtocolChange(change, m_setup.baudIndex, m_setup.bootCode, m_setup.mainCode,
                        m_setup.languagePack);
    m_host.WritePort(change, sizeof change);
    m_host.ReopenChannel(BaudRateAt(m_setup.baudIndex));
    NewChannelEpoch();
    if (!Alive())
    {
        return;
    }
    m_retryCount = 0;
    m_rxTotal = 0;
    m_state = DownloadState::ParameterExchange;
}

void CDownloadEngine::OnParameterExchange(const ReceivedBytes& received)
{
    // The channel was opened fresh at the protocol change, so the answer starts the buffer.
    const std::uint8_t* start = received.bufferStart;
    const std::uint32_t endIndex = received.endIndex;
    const unsigned needed = ParameterAnswerBytes(start);
    const bool strayFirst = needed > kParameterRecordSize;
    if (strayFirst || Starts(start, 2, kParameterAnswer))
    {
        m_paramResponseSeen = true;
    }

    // The record is the 66 bytes before the end of received data; an end nearer the buffer's
    // start than that (the reader wrapped) cannot hold it yet.
    if (m_rxTotal >= needed && endIndex >= kParameterRecordSize && !m_modelAccepted &&
        !m_paramResponseBusy && m_paramResponseSeen)
    {
        ProcessParameterRecord(start + (endIndex - kParameterRecordSize));
        if (!Alive() || m_state != DownloadState::ParameterExchange)
        {
            return;
        }
    }
    if (m_modelAccepted)
    {
        EraseStep();
    }
}

void CDownloadEngine::ProcessParameterRecord(const std::uint8_t* recordBytes)
{
    m_paramResponseBusy = true;
    m_paramResponseSeen = false;
    m_host.PurgePort();
    const ParameterRecord record = ParseParameterRecord(recordBytes);
    m_host.HandsetIdentified(record);
    m_host.AddReportLine("Protocol Response received...");
    if (m_setup.diagnostics)
    {
        AddLines(ParameterDumpLines(record));
    }

    if (!IsCompatibleHandset(m_setup.modelName, record.mobile_id))
    {
        m_host.AddReportLine("Mobile Protocol not compatible.");
        m_paramResponseBusy = false;
        Abort();
        return;
    }

    if (m_setup.mainCode && !AcceptImageModel(record))
    {
        return;
    }
    if (m_setup.languagePack)
    {
        AcceptLanguagePackModel(record);
    }
}

// Whether the download goes on after the image's model check (a mismatch asks the operator).
bool CDownloadEngine::AcceptImageModel(const ParameterRecord& record)
{
    const ImageModelCheck image = CheckImageModel(record, m_setup.imageModel);
    if (image.match)
    {
        m_host.AddReportLine("Image File Model Number Matches...");
        m_modelAccepted = true;
        return true;
    }
    AddLines(image.lines);
    const bool goOn = m_host.AskYesNo("Model number mismatch - Continue?");
    if (!Alive())
    {
        // Whatever ended the download meanwhile, the next one must find the flag clear.
        m_paramResponseBusy = false;
        return false;
    }
    if (!goOn)
    {
        m_host.PurgePort();
        m_paramResponseBusy = false;
        Abort();
        return false;
    }
    m_modelAccepted = true;
    return true;
}

void CDownloadEngine::AcceptLanguagePackModel(const ParameterRecord& record)
{
    const LpModelCheck lp = CheckLanguagePackModel(m_setup.lpModel, record.mobile_id);
    switch (lp.verdict)
    {
    case LpModelVerdict::Match:
        m_host.AddReportLine("Language Pack Model Number Matches...");
        m_modelAccepted = true;
        break;
    case LpModelVerdict::ConfirmRt47IntoRt47X:
    {
        const bool sure = m_host.AskYesNo("Downloading RT47 LP into a RT47X - Are you sure?");
        m_paramResponseBusy = false;
        if (!Alive())
        {
            return;
        }
        if (!sure)
        {
            Abort();
            return;
        }
        EnterLpOverride();
        return;
    }
    case LpModelVerdict::Refused:
        AddLines(lp.lines);
        m_host.PurgePort();
        m_paramResponseBusy = false;
        Abort();
        return;
    }
}

void CDownloadEngine::EraseStep()
{
    m_paramResponseBusy = false;
    m_host.PurgePort();
    m_host.RestartStopwatch();
    m_host.StartTimer(kElapsedTimer, kSecondMs);
    WaitForErase();
}

void CDownloadEngine::WaitForErase()
{
    m_rxTotal = 0;
    m_state = m_setup.mainCode ? DownloadState::MainErase : DownloadState::LpErase;
    m_host.AddReportLine("Waiting for erase response...");
    m_host.PurgePort();
    SendEraseCommand();
}

void CDownloadEngine::SendEraseCommand()
{
    // Legacy handsets take the upper-case form unless boot code is written.
    const bool modern = IsExtendedModel(m_setup.modelName) || m_setup.bootCode;
    m_host.WritePort(modern ? kEraseCommand : kLegacyEraseCommand, kCommandSize);
}

void CDownloadEngine::EnterLpOverride()
{
    m_modelAccepted = false;
    m_state = DownloadState::LpOverride;
    m_host.PurgePort();
    m_host.WritePort(kEraseCommand, kCommandSize);
    m_host.RestartStopwatch();
    m_host.StartTimer(kElapsedTimer, kSecondMs);
    m_host.AddReportLine("Erasing existing LP...");
}

void CDownloadEngine::OnLpOverride(const Answer& answer)
{
    if (Starts(answer.bytes, answer.count, kEraseDone))
    {
        m_host.PurgePort();
        m_host.WritePort(kOverrideCommand, kCommandSize);
        m_host.AddReportLine("Overriding RT47X cfg...");
    }
    else if (Starts(answer.bytes, answer.count, kOverrideDone))
    {
        m_host.PurgePort();
        m_host.AddReportLine("Override succesfully completed...");
        WaitForErase();
    }
    else
    {
        m_host.AddReportLine("Error occurred while overriding cfg...");
        Abort();
    }
}

void CDownloadEngine::OnErase(const Answer& answer)
{
    const Section section =
        (m_state == DownloadState::MainErase) ? Section::MainCode : Section::LanguagePack;

    if (Starts(answer.bytes, answer.count, kEraseDone))
    {
        if (m_setup.gangMode)
        {
            // Every unit of the gang answers; each answer restarts the wait's timer.
            m_host.StartTimer(kGangTimer, kSecondMs);
            m_host.PurgePort();
            m_gangWaiting = true;
            return;
        }
        // Purge first: a purge after the block would abort it or drop its answer.
        m_host.PurgePort();
        StartSection(section);
        return;
    }

    if (Starts(answer.latest, answer.count, kEraseFailed))
    {
        m_host.AddReportLine("Erase Failed!");
        if (m_retryCount >= kEraseRetryLimit)
        {
            Abort();
            return;
        }
        ++m_retryCount;
        m_host.AddReportLine("Retrying...");
        // No purge after the erase command: it would abort it or drop its answer. Both erase
        // states ask again, or the handset would never answer.
        m_host.PurgePort();
        SendEraseCommand();
        return;
    }

    ++m_retryCount;
    if (m_retryCount >= kInvalidEraseResponseLimit)
    {
        m_host.AddReportLine("Invalid Response!");
        Abort();
        return;
    }
    m_host.PurgePort();
}

void CDownloadEngine::GangTick()
{
    m_blockIndex = 0;
    m_retryCount = 0;
    m_state = m_setup.mainCode ? DownloadState::MainTransfer : DownloadState::LpTransfer;
    const bool firstBlockDue = (m_gangCountdown == 0);
    --m_gangCountdown;
    if (firstBlockDue)
    {
        m_host.StopTimer(kGangTimer);
        m_gangWaiting = false;
        StartSection(TransferSection());
        if (!Alive())
        {
            return;
        }
    }
    m_host.ShowElapsedTime();
}

Section CDownloadEngine::TransferSection() const
{
    return (m_state == DownloadState::MainTransfer) ? Section::MainCode : Section::LanguagePack;
}

void CDownloadEngine::OnTransfer(const Answer& answer)
{
    if (m_gangWaiting)
    {
        // The gang's first block goes out with the last tick of the wait; an answer now (a late
        // ">e" of a slower unit) must not start the transfer early.
        return;
    }
    if (Starts(answer.bytes, answer.count, kBlockWritten))
    {
        ++m_blockIndex;
        m_retryCount = 0;
        SendFromCurrentBlock();
        return;
    }
    if (Starts(answer.bytes, answer.count, kBlockFailed))
    {
        m_host.AddReportLine("Write Failed!");
        m_host.Pause(kWriteFailedPauseMs);
    }
    ++m_retryCount;
    if (m_retryCount >= kTransferFailureLimit)
    {
        Abort();
        return;
    }
    SendFromCurrentBlock();
}

void CDownloadEngine::StartSection(Section section)
{
    m_state =
        (section == Section::MainCode) ? DownloadState::MainTransfer : DownloadState::LpTransfer;
    m_blockIndex = 0;
    m_retryCount = 0;
    SendFromCurrentBlock();
}

void CDownloadEngine::SendFromCurrentBlock()
{
    // Blank blocks are stepped over without an exchange with the handset; a section that has
    // nothing left to send is complete at once.
    const Section section = TransferSection();
    const std::uint32_t blockCount =
        (section == Section::MainCode) ? m_setup.mainBlockCount : m_setup.lpBlockCount;
    while (m_blockIndex < blockCount)
    {
        const bool sent = m_host.SendBlock(section, m_blockIndex);
        if (!Alive())
        {
            return;
        }
        if (sent)
        {
            return;
        }
        ++m_blockIndex;
    }
    CompleteSection(section);
}

void CDownloadEngine::CompleteSection(Section section)
{
    const std::uint16_t crc = m_host.SectionCrc(section);
    if (section == Section::MainCode)
    {
        m_mainCrc = crc;
    }
    else
    {
        m_lpCrc = crc;
    }
    m_checksumRequest.SetCrc(section, crc);

    if (section == Section::MainCode && m_setup.languagePack)
    {
        StartSection(Section::LanguagePack);
        return;
    }
    m_state = DownloadState::ChecksumWait;
    m_host.LastBlockAnswered();
    m_host.AddReportLine("Waiting for checksum response...");
    m_host.WritePort(m_checksumRequest.bytes, kChecksumRequestSize);
}

void CDownloadEngine::OnChecksumWait(const Answer& answer)
{
    if (m_rxTotal < kChecksumAnswerMinBytes)
    {
        return;
    }
    const std::size_t count = answer.count;
    const std::uint8_t* latest = answer.latest;
    if (Starts(latest, count, kChecksumGood))
    {
        m_host.Concluded(DownloadVerdict::Passed);
        m_host.AddReportLine(kSuccessText);
    }
    else if (Starts(latest, count, kChecksumBad))
    {
        m_host.Concluded(DownloadVerdict::Failed);
        m_host.AddReportLine(kFailedText);
    }
    else
    {
        m_host.AddReportLine("Invalid CheckSum Response...");
        Abort();
        return;
    }

    if (m_setup.diagnostics)
    {
        // Only the bytes of this stretch are the handset's figures.
        std::uint8_t figures[kLongestJudgedAnswer] = {};
        std::memcpy(figures, latest, count < sizeof figures ? count : sizeof figures);
        AddLines(ChecksumLines(m_mainCrc, m_lpCrc, figures, IsExtendedModel(m_setup.modelName),
                               m_setup.mainCode, m_setup.languagePack));
    }
    EndWithVerdict();
}

void CDownloadEngine::EndWithVerdict()
{
    ClearChecksums();
    m_active = false;
    m_gangWaiting = false;
    m_deferredCount = 0;
    m_host.StartStopDownload();
}

void CDownloadEngine::Abort()
{
    // Also the guard against a second abort of the same download, which would show a second box.
    if (!Running())
    {
        ClearChecksums();
        return;
    }
    m_active = false;
    m_gangWaiting = false;
    m_deferredCount = 0;

    m_host.PurgePort();
    m_host.Concluded(DownloadVerdict::Aborted);
    m_host.AddReportLine(kAbortedText);
    ClearChecksums();
    m_host.ClearStartRequest();
    // Stop first: the box runs a nested message loop, and the stopped download (timers killed,
    // channel closed) cannot act while it is open.
    m_host.StartStopDownload();
    m_host.ShowMessage(kAbortedText);
}

void CDownloadEngine::AddLines(const ReportLines& lines)
{
    for (std::size_t i = 0; i < lines.count; ++i)
    {
        m_host.AddReportLine(lines.text[i]);
    }
}
