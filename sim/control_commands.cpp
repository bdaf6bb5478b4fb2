// The commands of the control channel; CONTROL.md is their description for clients.
#include "sim/simulator.h"

#include "sim/hex_text.h"
#include "sim/monotonic_clock.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace sim
{
namespace
{

constexpr std::uint64_t kMaxWaitMs = 24ull * 3600 * 1000;
constexpr std::uint64_t kMaxSplitGapMs = 60000;
constexpr std::uint64_t kMaxReopenWaitMs = 60000;
constexpr std::uint64_t kMaxBlockCount = 0x4000; // block numbers have 14 bits

std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t position = 0;
    while (position < line.size())
    {
        const std::size_t start = line.find_first_not_of(' ', position);
        if (start == std::string::npos)
        {
            break;
        }
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        position = end;
    }
    return words;
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
    {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool ParseSectionWord(const std::string& word, Section& section)
{
    if (word == "main")
    {
        section = Section::Main;
        return true;
    }
    if (word == "lp")
    {
        section = Section::LanguagePack;
        return true;
    }
    return false;
}

} // namespace

const Simulator::Command Simulator::kCommands[] = {
    {"RESET", &Simulator::OnReset},
    {"SET", &Simulator::OnSet},
    {"SETSTR", &Simulator::OnSetStr},
    {"SETNUM", &Simulator::OnSetNum},
    {"MODE", &Simulator::OnMode},
    {"FAULT", &Simulator::OnFault},
    {"PACE", &Simulator::OnPace},
    {"ADAPTER", &Simulator::OnAdapter},
    {"SEND", &Simulator::OnSend},
    {"RECEIVED", &Simulator::OnReceived},
    {"TRANSCRIPT", &Simulator::OnTranscript},
    {"ANSWERS", &Simulator::OnAnswers},
    {"WAITFRAME", &Simulator::OnWaitFrame},
    {"WAITBYTES", &Simulator::OnWaitBytes},
    {"FLASH", &Simulator::OnFlash},
    {"DUMP", &Simulator::OnDump},
    {"LINE", &Simulator::OnLine},
    {"UNPLUG", &Simulator::OnUnplug},
    {"PLUG", &Simulator::OnPlug},
    {"STATS", &Simulator::OnStats},
    {"STATUS", &Simulator::OnStatus},
    {"HELP", &Simulator::OnHelp},
};

void Simulator::ServeClient()
{
    std::string line;
    for (;;)
    {
        CheckPendingWait(NowUs());
        if (m_wait.active || !m_control.HasClient() || !m_control.NextLine(line))
        {
            return;
        }
        Execute(line);
    }
}

void Simulator::Execute(const std::string& line)
{
    const Words words = SplitWords(line);
    if (words.empty())
    {
        Respond("ERR empty command");
        return;
    }
    const std::string name = UpperCase(words[0]);
    for (const Command& command : kCommands)
    {
        if (name == command.name)
        {
            (this->*command.handler)(words, line);
            return;
        }
    }
    Respond("ERR unknown command " + words[0]);
}

void Simulator::CheckPendingWait(std::int64_t nowUs)
{
    if (!m_wait.active)
    {
        return;
    }
    const std::uint64_t have =
        m_wait.forBytes
            ? m_received.size()
            : (m_framesByLetter.count(m_wait.letter) ? m_framesByLetter[m_wait.letter] : 0);
    if (have >= m_wait.count)
    {
        m_wait.active = false;
        Respond("OK");
    }
    else if (nowUs >= m_wait.deadlineUs)
    {
        m_wait.active = false;
        Respond("ERR timeout");
    }
}

void Simulator::OnReset(const Words& words, const std::string&)
{
    if (words.size() != 1)
    {
        Respond("ERR usage: RESET");
        return;
    }
    std::string error;
    if (!m_port.IsOpen() && !Plug(error))
    {
        Respond("ERR " + error);
        return;
    }
    m_port.Flush();
    m_handset.Reset(m_config.record);
    m_assembler.Reset();
    SetPace(m_config.pace);
    m_adapter = m_config.adapter;
    m_adapterRandom.seed(m_adapter.seed);
    m_reopenWaitMs = m_config.reopenWaitMs;
    m_held = HeldReply();
    m_incoming.clear();
    m_outgoing.clear();
    m_lineFull = false;
    m_rxLineFreeUs = 0;
    m_txLineFreeUs = 0;
    m_received.clear();
    m_transcript.clear();
    m_answers.clear();
    m_framesByLetter.clear();
    m_frameCount = 0;
    m_garbageBytes = 0;
    m_answerCount = 0;
    m_turnarounds.Clear();
    m_answerDelays.Clear();
    m_acknowledgementOnLine = false;
    m_epochUs = NowUs();
    if (m_transcriptFile.is_open())
    {
        m_transcriptFile << "RESET\n";
        m_transcriptFile.flush();
    }
    Respond("OK");
}

void Simulator::OnSet(const Words& words, const std::string&)
{
    std::vector<std::uint8_t> bytes;
    std::string error = "usage: SET <field> <hex>";
    if (words.size() == 3 && ParseHex(words[2], bytes) &&
        m_handset.Record().SetBytes(words[1], bytes, error))
    {
        Respond("OK");
        return;
    }
    Respond("ERR " + error);
}

void Simulator::OnSetStr(const Words& words, const std::string& line)
{
    // The text runs to the end of the line, blanks included: "SETSTR mobile_id RT47 ".
    const std::size_t nameStart = line.find_first_not_of(' ');
    const std::size_t nameEnd = line.find(' ', nameStart);
    const std::size_t fieldStart =
        nameEnd == std::string::npos ? std::string::npos : line.find_first_not_of(' ', nameEnd);
    const std::size_t fieldEnd =
        fieldStart == std::string::npos ? std::string::npos : line.find(' ', fieldStart);
    if (words.size() < 2 || fieldEnd == std::string::npos)
    {
        Respond("ERR usage: SETSTR <field> <text>");
        return;
    }
    const std::string text = line.substr(fieldEnd + 1);
    std::string error;
    if (!m_handset.Record().SetText(words[1], text, ' ', error))
    {
        Respond("ERR " + error);
        return;
    }
    Respond("OK");
}

void Simulator::OnSetNum(const Words& words, const std::string&)
{
    std::uint64_t value = 0;
    if (words.size() != 3 || !ParseUnsigned(words[2], value))
    {
        Respond("ERR usage: SETNUM <field> <number>");
        return;
    }
    const std::string& field = words[1];
    if (field == "main_blocks" || field == "lp_blocks")
    {
        if (value > kMaxBlockCount)
        {
            Respond("ERR at most " + std::to_string(kMaxBlockCount) + " blocks");
            return;
        }
        m_handset.Flash(field == "main_blocks" ? Section::Main : Section::LanguagePack)
            .SetBlockCount(static_cast<std::uint32_t>(value));
        Respond("OK");
        return;
    }
    if (field == "reopen_wait_ms")
    {
        if (value > kMaxReopenWaitMs)
        {
            Respond("ERR at most " + std::to_string(kMaxReopenWaitMs) + " ms");
            return;
        }
        m_reopenWaitMs = static_cast<std::uint32_t>(value);
        Respond("OK");
        return;
    }
    if (field == "split_gap_ms")
    {
        if (value > kMaxSplitGapMs)
        {
            Respond("ERR at most " + std::to_string(kMaxSplitGapMs) + " ms");
            return;
        }
        m_handset.SetSplitGapMs(static_cast<std::uint32_t>(value));
        Respond("OK");
        return;
    }
    std::string error;
    if (!m_handset.Record().SetNumber(field, value, error))
    {
        Respond("ERR " + error);
        return;
    }
    Respond("OK");
}

void Simulator::OnMode(const Words& words, const std::string&)
{
    if (words.size() == 2 && (words[1] == "handset" || words[1] == "raw"))
    {
        m_handset.SetMode(words[1] == "raw" ? HandsetMode::Raw : HandsetMode::Handset);
        Respond("OK");
        return;
    }
    Respond("ERR usage: MODE handset|raw");
}

void Simulator::OnFault(const Words& words, const std::string&)
{
    std::string error;
    if (!m_handset.Faults().Add(Words(words.begin() + 1, words.end()), error))
    {
        Respond("ERR " + error);
        return;
    }
    Respond("OK");
}

void Simulator::OnPace(const Words& words, const std::string&)
{
    if (words.size() == 2 && (words[1] == "on" || words[1] == "off"))
    {
        SetPace(words[1] == "on");
        Respond("OK");
        return;
    }
    Respond("ERR usage: PACE on|off");
}

void Simulator::OnAdapter(const Words& words, const std::string&)
{
    AdapterProfile profile;
    if (words.size() != 2 || !ParseAdapterProfile(words[1], profile))
    {
        Respond("ERR usage: ADAPTER none|ftdi[:<latency-ms>]|usb-poll|random[:<seed>]");
        return;
    }
    m_adapter = profile;
    m_adapterRandom.seed(profile.seed);
    Respond("OK");
}

void Simulator::OnSend(const Words& words, const std::string&)
{
    std::vector<std::uint8_t> bytes;
    if (words.size() != 2 || !ParseHex(words[1], bytes) || bytes.empty())
    {
        Respond("ERR usage: SEND <hex>");
        return;
    }
    if (!m_port.IsOpen())
    {
        Respond("ERR unplugged");
        return;
    }
    std::int64_t afterUs = NowUs();
    QueueWrite(0, std::move(bytes), false, false, false, afterUs);
    Respond("OK");
}

void Simulator::OnReceived(const Words&, const std::string&)
{
    Respond("OK " + ToHex(m_received));
}

void Simulator::OnTranscript(const Words&, const std::string&)
{
    for (const TimedBytes& entry : m_transcript)
    {
        Respond(std::string(entry.garbage ? "GARBAGE " : "FRAME ") + std::to_string(entry.timeUs) +
                " " + ToHex(entry.bytes));
    }
    Respond("OK " + std::to_string(m_transcript.size()));
}

void Simulator::OnAnswers(const Words&, const std::string&)
{
    for (const TimedBytes& entry : m_answers)
    {
        Respond("ANSWER " + std::to_string(entry.timeUs) + " " + ToHex(entry.bytes));
    }
    Respond("OK " + std::to_string(m_answers.size()));
}

void Simulator::OnWaitFrame(const Words& words, const std::string&)
{
    std::uint64_t count = 0;
    std::uint64_t timeoutMs = 0;
    if (words.size() != 4 || words[1].size() != 1 || !ParseUnsigned(words[2], count) ||
        !ParseUnsigned(words[3], timeoutMs) || timeoutMs > kMaxWaitMs)
    {
        Respond("ERR usage: WAITFRAME <letter> <count> <timeout-ms>");
        return;
    }
    m_wait = PendingWait{true, false, static_cast<std::uint8_t>(words[1][0]), count,
                         NowUs() + static_cast<std::int64_t>(timeoutMs) * 1000};
}

void Simulator::OnWaitBytes(const Words& words, const std::string&)
{
    std::uint64_t count = 0;
    std::uint64_t timeoutMs = 0;
    if (words.size() != 3 || !ParseUnsigned(words[1], count) ||
        !ParseUnsigned(words[2], timeoutMs) || timeoutMs > kMaxWaitMs)
    {
        Respond("ERR usage: WAITBYTES <count> <timeout-ms>");
        return;
    }
    m_wait =
        PendingWait{true, true, 0, count, NowUs() + static_cast<std::int64_t>(timeoutMs) * 1000};
}

void Simulator::OnFlash(const Words& words, const std::string&)
{
    Section section = Section::Main;
    if (words.size() != 2 || !ParseSectionWord(words[1], section))
    {
        Respond("ERR usage: FLASH main|lp");
        return;
    }
    const FlashImage& flash = m_handset.Flash(section);
    const std::uint32_t blocks = flash.ImageBlocks();
    for (const auto& [number, data] : flash.WrittenBlocks())
    {
        if (number < blocks)
        {
            Respond("BLOCK " + std::to_string(number) + " " + ToHex(data.data(), data.size()));
        }
    }
    Respond("OK " + std::to_string(blocks));
}

void Simulator::OnDump(const Words& words, const std::string&)
{
    Section section = Section::Main;
    if (words.size() != 3 || !ParseSectionWord(words[1], section))
    {
        Respond("ERR usage: DUMP main|lp <path>");
        return;
    }
    const std::vector<std::uint8_t> image = m_handset.Flash(section).Image();
    std::ofstream file(words[2], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    if (!file)
    {
        Respond("ERR cannot write " + words[2]);
        return;
    }
    Respond("OK " + std::to_string(image.size()));
}

void Simulator::OnLine(const Words&, const std::string&)
{
    LineSettings line;
    if (!m_port.IsOpen())
    {
        Respond("ERR unplugged");
        return;
    }
    if (!m_port.ReadLineSettings(line))
    {
        Respond("ERR cannot read the line settings");
        return;
    }
    Respond("OK " + FormatLineSettings(line));
}

void Simulator::OnUnplug(const Words&, const std::string&)
{
    Unplug();
    Respond("OK");
}

void Simulator::OnPlug(const Words&, const std::string&)
{
    std::string error;
    if (!m_port.IsOpen() && !Plug(error))
    {
        Respond("ERR " + error);
        return;
    }
    Respond("OK " + m_port.SlavePath());
}

void Simulator::OnStats(const Words&, const std::string&)
{
    std::string text = "OK frames=" + std::to_string(m_frameCount);
    for (const char letter : {'i', 'p', 'e', 'E', 'o', 'w', 'c'})
    {
        const auto found = m_framesByLetter.find(static_cast<std::uint8_t>(letter));
        text += std::string(" frames_") + letter + "=" +
                std::to_string(found == m_framesByLetter.end() ? 0 : found->second);
    }
    text += " garbage_bytes=" + std::to_string(m_garbageBytes);
    text += " received_bytes=" + std::to_string(m_received.size());
    text += " answers=" + std::to_string(m_answerCount);
    text += " turnarounds=" + std::to_string(m_turnarounds.Count());
    text += " turnaround_median_us=" + std::to_string(m_turnarounds.Median());
    text += " turnaround_p99_us=" + std::to_string(m_turnarounds.Percentile(99.0));
    text += " turnaround_max_us=" + std::to_string(m_turnarounds.Maximum());
    text += " answer_delays=" + std::to_string(m_answerDelays.Count());
    text += " answer_delay_mean_us=" + std::to_string(m_answerDelays.Mean());
    text += " answer_delay_median_us=" + std::to_string(m_answerDelays.Median());
    text += " answer_delay_p99_us=" + std::to_string(m_answerDelays.Percentile(99.0));
    text += " answer_delay_max_us=" + std::to_string(m_answerDelays.Maximum());
    Respond(text);
}

void Simulator::OnStatus(const Words&, const std::string&)
{
    const std::uint8_t erase = m_handset.LastEraseLetter();
    std::string text = std::string("OK plugged=") + (m_port.IsOpen() ? "1" : "0");
    text += " pts=" + (m_port.IsOpen() ? m_port.SlavePath() : std::string("-"));
    text += " link=" + (m_config.linkPath.empty() ? std::string("-") : m_config.linkPath);
    text += std::string(" mode=") + (m_handset.Mode() == HandsetMode::Raw ? "raw" : "handset");
    text += std::string(" pace=") + (m_pace ? "on" : "off");
    text += " adapter=" + FormatAdapterProfile(m_adapter);
    text += " rate=" + std::to_string(m_handset.LineRate());
    text += " type=" + std::to_string(m_handset.DownloadTypeCode());
    text += " erase=" + (erase == 0 ? std::string("-") : std::string(1, static_cast<char>(erase)));
    std::string mobileId = m_handset.Record().MobileId();
    std::replace_if(
        mobileId.begin(), mobileId.end(), [](char c) { return c < 0x20 || c > 0x7E; }, '?');
    text += " mobile_id=\"" + mobileId + "\"";
    text += " main_blocks=" + std::to_string(m_handset.Flash(Section::Main).ImageBlocks());
    text += " lp_blocks=" + std::to_string(m_handset.Flash(Section::LanguagePack).ImageBlocks());
    Respond(text);
}

void Simulator::OnHelp(const Words&, const std::string&)
{
    std::string names;
    for (const Command& command : kCommands)
    {
        names += std::string(names.empty() ? "" : " ") + command.name;
    }
    Respond("OK " + names);
}

} // namespace sim
