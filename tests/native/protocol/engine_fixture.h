// A download engine on a fake host, with the steps that bring a download to a given point.
#pragma once

#include "fake_engine_host.h"
#include "protocol/crc_x25.h"

#include <gtest/gtest.h>

#include <string>

class EngineFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.image.blockCount = 3;
        host.languagePack.blockCount = 2;
    }

    void TearDown() override
    {
        for (const std::string& violation : host.violations)
        {
            ADD_FAILURE() << violation;
        }
    }

    // Starts a download; the block counts are taken from the fake files.
    void Start(DownloadSetup setup)
    {
        setup.mainBlockCount = host.image.blockCount;
        setup.lpBlockCount = host.languagePack.blockCount;
        host.Start(setup);
    }

    // Starts a download with the Gang Mode box ticked.
    void StartInGangMode(DownloadSetup setup)
    {
        setup.gangMode = true;
        Start(setup);
    }

    // DownloadState::Signalling answered, the record received: the engine waits for the erase.
    void ReachErase(const char* mobileId = "RT47X", const char* productId = "RT47-0001")
    {
        host.Receive(">i");
        host.Receive(ParameterAnswer(mobileId, productId));
    }

    static Bytes Frame(const FakeSectionFile& file, std::uint32_t n, Section section)
    {
        Bytes frame(4);
        FillBlockHeader(frame.data(), n, section);
        const Bytes data = file.Block(n);
        frame.insert(frame.end(), data.begin(), data.end());
        return frame;
    }

    // CRC over all blocks of a file, blank ones included.
    static std::uint16_t FileCrc(const FakeSectionFile& file)
    {
        std::uint16_t crc = kCrcX25Initial;
        for (std::uint32_t n = 0; n < file.blockCount; ++n)
        {
            const Bytes data = file.Block(n);
            crc = CrcX25Update(crc, data.data(), data.size());
        }
        return CrcX25Final(crc);
    }

    bool StoppedCleanly() const
    {
        return !host.running && host.timers.empty() && engine.MainCrc() == 0 &&
               engine.LpCrc() == 0 && engine.Request().bytes[2] == 0 &&
               engine.Request().bytes[3] == 0 && engine.Request().bytes[4] == 0 &&
               engine.Request().bytes[5] == 0;
    }

    FakeEngineHost host;
    CDownloadEngine& engine = host.engine;
};
