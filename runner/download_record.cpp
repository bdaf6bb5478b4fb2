#include "runner/download_record.h"

#include "download/stop_texts.h"
#include "protocol/verdict_texts.h"
#include "runner/exit_codes.h"

#include <cstdio>

namespace
{

// A fixed-width field of the handset's record as printable text: up to the first NUL, trailing
// blanks dropped, anything unprintable shown as '?'.
std::string FieldText(const char* field, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size && field[i] != '\0'; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    while (!text.empty() && text.back() == ' ')
    {
        text.pop_back();
    }
    return text;
}

} // namespace

std::string ResultLine(const DownloadResult& result)
{
    char line[256];
    std::snprintf(line, sizeof line, "Result: %s %s %s %.1f s",
                  result.productId.empty() ? "-" : result.productId.c_str(),
                  result.mobileId.empty() ? "-" : result.mobileId.c_str(),
                  ExitCodeVerdict(result.exitCode), result.seconds);
    return line;
}

void CDownloadRecord::Begin()
{
    *this = CDownloadRecord();
    m_start = Clock::now();
    m_end = m_start;
    m_transfer.firstBlock = m_start;
    m_transfer.transferEnd = m_start;
}

void CDownloadRecord::BlockGoingOut()
{
    if (m_transfer.blocksSent == 0)
    {
        m_transfer.firstBlock = Clock::now();
    }
}

void CDownloadRecord::HandsetIdentified(const ParameterRecord& record)
{
    m_productId = FieldText(record.product_id, sizeof record.product_id);
    m_mobileId = FieldText(record.mobile_id, sizeof record.mobile_id);
}

void CDownloadRecord::Concluded(DownloadVerdict verdict, const std::string& lastLine)
{
    m_verdict = verdict;
    if (verdict == DownloadVerdict::Aborted && m_reason.empty())
    {
        m_reason = lastLine.empty() ? std::string(kAbortedText) : lastLine;
    }
}

double BlocksPerSecond(const TransferFigures& transfer, TransferFigures::Clock::time_point until)
{
    const double seconds =
        Seconds((transfer.transferEnd > transfer.firstBlock ? transfer.transferEnd : until) -
                transfer.firstBlock);
    return (transfer.blocksSent > 0 && seconds > 0) ? transfer.blocksSent / seconds : 0.0;
}

DownloadResult CDownloadRecord::Result() const
{
    DownloadResult result;
    result.productId = m_productId;
    result.mobileId = m_mobileId;
    result.seconds = Seconds(m_end - m_start);
    result.blocks = m_transfer.blocksSent;
    result.blocksPerSecond = BlocksPerSecond(m_transfer, m_end);
    if (m_verdict == DownloadVerdict::Passed)
    {
        result.exitCode = kExitSuccess;
    }
    else if (m_verdict == DownloadVerdict::Failed)
    {
        result.exitCode = kExitVerdictFailed;
        result.reason = kFailedText;
        result.failure = FailureClass::ChecksumMismatch;
    }
    else if (m_portFailed)
    {
        result.exitCode = kExitPortError;
        result.reason = m_portError.empty() ? "Failed to open com port" : m_portError;
        result.failure = FailureClass::PortError;
    }
    else if (m_interrupted)
    {
        result.exitCode = kExitInterrupted;
        result.reason = kTerminatedByUserText;
        result.failure = FailureClass::Stopped;
    }
    else
    {
        result.exitCode = kExitAborted;
        result.reason = m_reason.empty() ? kAbortedText : m_reason;
        result.failure = m_failure;
    }
    return result;
}
