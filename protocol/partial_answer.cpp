#include "protocol/partial_answer.h"

namespace
{
constexpr std::uint8_t kAnswerLead = '>';
constexpr std::size_t kCodeBytes = 2;
} // namespace

std::size_t ChecksumFigureBytes(bool extendedModel)
{
    return extendedModel ? 4 : 2;
}

bool IsPartialAnswer(DownloadState state, bool extendedModel, const std::uint8_t* bytes,
                     std::size_t count)
{
    // The state first: in the parameter exchange the bytes may belong to the channel closed at
    // the protocol change, and are never looked at.
    switch (state)
    {
    case DownloadState::Signalling:
    case DownloadState::LpOverride:
    case DownloadState::MainErase:
    case DownloadState::LpErase:
    case DownloadState::MainTransfer:
    case DownloadState::LpTransfer:
        return count == 1 && bytes[0] == kAnswerLead;
    case DownloadState::ChecksumWait:
        if (count == 0 || bytes[0] != kAnswerLead)
        {
            return false;
        }
        return count < kCodeBytes || ((bytes[1] == 'c' || bytes[1] == 'C') &&
                                      count < kCodeBytes + ChecksumFigureBytes(extendedModel));
    default:
        return false;
    }
}
