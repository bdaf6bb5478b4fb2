// The download engine on the tests' fake host. The input chooses the setup (sections, model,
// files' models, Gang Mode, rate, block counts, blank blocks), then a run of steps: the
// handset's answers (real ones and raw bytes) cut into reads at points it chooses, timer ticks
// of the running timers, empty reads, the operator's answers to the questions, reads and ticks
// inside the boxes, the operator's Stop and a new start. After every step what must always hold
// is checked: every write is a known frame, byte-exact; blocks go up one by one within their
// section, a block sent again only as itself; a checksum request carries the files' CRCs; the
// state is one of the table's; a download the engine ends, ends once, with a verdict or an abort.
#include "fake_engine_host.h"
#include "fuzz_check.h"
#include "protocol/crc_x25.h"
#include "protocol/model_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

namespace
{
constexpr std::size_t kMaxSteps = 3000;
constexpr unsigned kMaxDownloads = 4;
const char* const kModels[] = {"RT50", "RT80", "RT30", "RT37", "RT37X", "RT47", "RT47X"};
const char* const kMobileIds[] = {"RT47 ", "RT47X", "RT37 ", "RT37X", "RT50 ", "RT80 ", "RT30 "};
const char* const kProductIds[] = {"RT47-0001", "RT37-0001", "RT50-0001", "RX47-0001"};
const char* const kLpModels[] = {"RT47X   ", "RT47    ", "RT37    ", "RT37X   ", "XX      "};

std::uint16_t FileCrc(const FakeSectionFile& file)
{
    std::uint16_t crc = kCrcX25Initial;
    for (std::uint32_t n = 0; n < file.blockCount; ++n)
    {
        const Bytes data = file.Block(n);
        crc = CrcX25Update(crc, data.data(), data.size());
    }
    return CrcX25Final(crc);
}

bool Is(const Bytes& bytes, const std::uint8_t* frame, std::size_t size)
{
    return bytes.size() == size && std::memcmp(bytes.data(), frame, size) == 0;
}

class EngineRun
{
public:
    explicit EngineRun(FuzzedDataProvider& input) : m_input(input)
    {
        m_host.insideBox = [this](const std::string&) { InsideBox(); };
        m_host.insideSendBlock = [this](Section, std::uint32_t) { Nested(); };
    }

    void Run()
    {
        StartDownload();
        for (std::size_t step = 0; step < kMaxSteps && m_input.remaining_bytes() > 0; ++step)
        {
            Step();
            CheckEvents();
        }
        FUZZ_CHECK(m_concluded == 0 || m_ended);
    }

private:
    void StartDownload()
    {
        m_setup = DownloadSetup();
        m_setup.mainCode = m_input.ConsumeBool();
        m_setup.languagePack = m_input.ConsumeBool() || !m_setup.mainCode;
        m_setup.bootCode = m_setup.mainCode && m_input.ConsumeBool();
        m_setup.gangMode = m_input.ConsumeBool();
        m_setup.diagnostics = m_input.ConsumeBool();
        m_setup.baudIndex = m_input.ConsumeIntegralInRange(0, kBaudRateCount - 1);
        std::strcpy(m_setup.modelName, m_input.PickValueInArray(kModels));
        std::memcpy(m_setup.imageModel, m_input.ConsumeBool() ? "R 47" : "R 37", 4);
        std::memcpy(m_setup.lpModel, m_input.PickValueInArray(kLpModels), kLpModelSize);
        m_host.image.blockCount = m_input.ConsumeIntegralInRange(0, 6);
        m_host.languagePack.blockCount = m_input.ConsumeIntegralInRange(0, 4);
        const std::uint8_t blank = m_input.ConsumeIntegral<std::uint8_t>();
        m_host.image.blank.clear();
        m_host.languagePack.blank.clear();
        for (std::uint32_t n = 0; n < 4; ++n)
        {
            if (blank & (1u << n))
            {
                m_host.image.blank.insert(n + 1);
            }
            if (blank & (0x10u << n))
            {
                m_host.languagePack.blank.insert(n);
            }
        }
        m_setup.mainBlockCount = m_host.image.blockCount;
        m_setup.lpBlockCount = m_host.languagePack.blockCount;
        m_mainCrc = m_setup.mainCode ? FileCrc(m_host.image) : 0;
        m_lpCrc = m_setup.languagePack ? FileCrc(m_host.languagePack) : 0;

        m_checked = m_host.events.size();
        m_lastBlock[0] = m_lastBlock[1] = -1;
        m_lpStarted = false;
        m_concluded = 0;
        m_checksumRequested = false;
        m_protocolChanged = false;
        m_ended = false;
        m_pending.clear();
        m_host.Start(m_setup);
    }

    // Inside a question: the operator's answer, and maybe a read or a tick that the box's
    // message loop lets through first.
    void InsideBox()
    {
        m_host.okCancelAnswer = m_input.ConsumeBool();
        m_host.yesNoAnswer = m_input.ConsumeBool();
        Nested();
    }

    void Nested()
    {
        if (m_nested == 0 && m_input.ConsumeIntegral<std::uint8_t>() < 32)
        {
            ++m_nested;
            Step();
            --m_nested;
        }
    }

    // What the handset says next, queued for the reads to bring.
    void QueueAnswer()
    {
        static const char* const kShort[] = {">i", ">e", ">E", ">o", ">w", ">W", ">", "<i"};
        switch (m_input.ConsumeIntegralInRange(0, 4))
        {
        case 0:
        {
            const char* text = m_input.PickValueInArray(kShort);
            m_pending.insert(m_pending.end(), text, text + std::strlen(text));
            break;
        }
        case 1:
        {
            if (m_input.ConsumeBool())
            {
                m_pending.insert(m_pending.end(), {'>', 'i'}); // a late signal answer first
            }
            const Bytes record = ParameterAnswer(m_input.PickValueInArray(kMobileIds),
                                                 m_input.PickValueInArray(kProductIds));
            m_pending.insert(m_pending.end(), record.begin(), record.end());
            break;
        }
        case 2:
        {
            const std::uint8_t answer[] = {'>', m_input.ConsumeBool() ? std::uint8_t('c')
                                                                      : std::uint8_t('C')};
            m_pending.insert(m_pending.end(), answer, answer + 2);
            const Bytes figures = m_input.ConsumeBytes<std::uint8_t>(4);
            m_pending.insert(m_pending.end(), figures.begin(), figures.end());
            break;
        }
        default:
        {
            const Bytes raw =
                m_input.ConsumeBytes<std::uint8_t>(m_input.ConsumeIntegralInRange(1, 80));
            m_pending.insert(m_pending.end(), raw.begin(), raw.end());
            break;
        }
        }
    }

    void Read()
    {
        const std::size_t wanted = std::min<std::size_t>(
            m_pending.size(), m_input.ConsumeIntegralInRange<std::size_t>(1, 300));
        const FakeEngineHost::Notification read =
            m_host.Store(Bytes(m_pending.begin(), m_pending.begin() + wanted));
        m_pending.erase(m_pending.begin(), m_pending.begin() + read.count);
        m_host.Post(read);
    }

    void Step()
    {
        switch (m_input.ConsumeIntegralInRange(0, 7))
        {
        case 0:
        case 1:
            QueueAnswer();
            break;
        case 2:
        case 3:
            if (!m_pending.empty())
            {
                Read();
            }
            break;
        case 4:
        {
            // A tick of a timer the host runs; hosts tick nothing else.
            const unsigned id =
                m_input.ConsumeIntegralInRange<unsigned>(kSignalTimer, kLastDownloadTimer);
            if (m_host.timers.count(id) != 0)
            {
                m_host.engine.OnTimerTick(id);
            }
            break;
        }
        case 5:
            m_host.PostEmpty();
            break;
        case 6:
            if (m_host.running && m_input.ConsumeIntegral<std::uint8_t>() < 8)
            {
                m_operatorStop = m_host.events.size();
                m_host.StartStopDownload(); // the Stop button
            }
            break;
        default:
            if (!m_host.running && m_nested == 0 && m_host.downloads < kMaxDownloads)
            {
                CheckEvents();
                StartDownload();
            }
            break;
        }
        const int state = static_cast<int>(m_host.engine.State());
        FUZZ_CHECK(state == 1 || (state >= 3 && state <= 9));
    }

    void CheckWrite(const Bytes& bytes)
    {
        std::uint8_t change[kProtocolChangeSize];
        BuildProtocolChange(change, m_setup.baudIndex, m_setup.bootCode, m_setup.mainCode,
                            m_setup.languagePack);
        const bool modernErase = IsExtendedModel(m_setup.modelName) || m_setup.bootCode;
        if (bytes.size() == kChecksumRequestSize && bytes[0] == '<' && bytes[1] == 'c')
        {
            const std::uint8_t request[kChecksumRequestSize] = {
                '<',
                'c',
                static_cast<std::uint8_t>(m_mainCrc >> 8),
                static_cast<std::uint8_t>(m_mainCrc & 0xFF),
                static_cast<std::uint8_t>(m_lpCrc >> 8),
                static_cast<std::uint8_t>(m_lpCrc & 0xFF)};
            FUZZ_CHECK(Is(bytes, request, sizeof request));
            FUZZ_CHECK(m_protocolChanged && !m_checksumRequested);
            m_checksumRequested = true;
            return;
        }
        // The signal until the protocol change, which goes out once; then the erase in the
        // form the model takes, the override of a language pack.
        if (Is(bytes, kSignalCommand, kCommandSize))
        {
            FUZZ_CHECK(!m_protocolChanged);
            return;
        }
        if (Is(bytes, change, sizeof change))
        {
            FUZZ_CHECK(!m_protocolChanged);
            m_protocolChanged = true;
            return;
        }
        FUZZ_CHECK(m_protocolChanged);
        FUZZ_CHECK(Is(bytes, modernErase ? kEraseCommand : kLegacyEraseCommand, kCommandSize) ||
                   (m_setup.languagePack && Is(bytes, kOverrideCommand, kCommandSize)));
    }

    void CheckBlock(const HostEvent& event)
    {
        const int section = event.section == Section::MainCode ? 0 : 1;
        FUZZ_CHECK(section == 0 ? m_setup.mainCode : m_setup.languagePack);
        FUZZ_CHECK(m_protocolChanged && !m_checksumRequested);
        if (section == 1)
        {
            m_lpStarted = true;
        }
        else
        {
            FUZZ_CHECK(!m_lpStarted); // the image goes first
        }
        const long n = static_cast<long>(event.value);
        // The same block again (a re-send) or the next; a section begins at its block 0.
        FUZZ_CHECK(n == m_lastBlock[section] || n == m_lastBlock[section] + 1);
        m_lastBlock[section] = n;
        if (event.written)
        {
            const FakeSectionFile& file = section == 0 ? m_host.image : m_host.languagePack;
            Bytes frame(4);
            FillBlockHeader(frame.data(), event.value, event.section);
            const Bytes data = file.Block(event.value);
            frame.insert(frame.end(), data.begin(), data.end());
            FUZZ_CHECK(event.bytes == frame);
        }
    }

    void CheckEvents()
    {
        for (; m_checked < m_host.events.size(); ++m_checked)
        {
            const HostEvent& event = m_host.events[m_checked];
            switch (event.call)
            {
            case HostCall::Write:
                CheckWrite(event.bytes);
                break;
            case HostCall::SendBlock:
                CheckBlock(event);
                break;
            case HostCall::StartStop:
                if (!m_ended && m_checked != m_operatorStop)
                {
                    // The engine ended its download: once, with a verdict or an abort.
                    FUZZ_CHECK(m_concluded == 1);
                }
                m_ended = true;
                break;
            case HostCall::Report:
                if (event.text == "Download completed successfully..." ||
                    event.text.rfind("Download FAILED", 0) == 0)
                {
                    FUZZ_CHECK(m_checksumRequested);
                }
                break;
            default:
                break;
            }
        }
        FUZZ_CHECK(m_host.violations.empty());
        FUZZ_CHECK(m_concluded <= 1);
    }

    // The fake host that also counts the verdicts of the current download.
    class Host : public FakeEngineHost
    {
    public:
        explicit Host(unsigned& concluded) : m_concluded(concluded) {}
        void Concluded(DownloadVerdict verdict) override
        {
            ++m_concluded;
            FakeEngineHost::Concluded(verdict);
        }

    private:
        unsigned& m_concluded;
    };

    FuzzedDataProvider& m_input;
    unsigned m_concluded = 0;
    Host m_host{m_concluded};
    DownloadSetup m_setup;
    std::uint16_t m_mainCrc = 0;
    std::uint16_t m_lpCrc = 0;
    Bytes m_pending; // the handset's bytes the reads have not brought yet
    std::size_t m_checked = 0;
    std::size_t m_operatorStop = SIZE_MAX;
    long m_lastBlock[2] = {-1, -1};
    bool m_lpStarted = false;
    bool m_checksumRequested = false;
    bool m_protocolChanged = false;
    bool m_ended = false;
    int m_nested = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    EngineRun run(input);
    run.Run();
    return 0;
}
