// The job file: what it writes it reads back alike, a bad field is refused with a message that
// names it, and a file whose content is not the approved one is refused by name.
#include "runner/job_file.h"
#include "runner/sha256.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{

const std::string kShaA(64, 'a');

JobFile FullJob()
{
    JobFile job;
    job.model = "RT47X";
    job.baudRate = 38400;
    job.bootCode = job.mainCode = job.languagePack = true;
    job.imagePath = "C:\\fw\\main image.rel";
    job.imageSha256 = kShaA;
    job.lpPath = "/srv/fw/lang.rel";
    job.journalPath = "line3.jsonl";
    job.ports = {"COM3", "COM23"};
    job.yes = job.station = job.gangMode = true;
    job.count = 5;
    job.timeoutSeconds = 2.5;
    return job;
}

TEST(JobFile, WhatItWritesReadsBackAlike)
{
    ScratchFolder scratch;
    const std::string path = scratch.Path() + "/saved.json";
    for (const JobFile& written : {FullJob(), JobFile()})
    {
        JobFile read;
        std::string error;
        ASSERT_TRUE(ParseJob(JobText(written), read, error)) << error << JobText(written);
        EXPECT_EQ(written, read) << JobText(written);
        // Saved over the last one: the file holds this job alone.
        ASSERT_TRUE(WriteJobFile(path, written, error)) << error;
        ASSERT_TRUE(ReadJobFile(path, read, error)) << error;
        EXPECT_EQ(written, read);
    }
    std::string error;
    const std::string nowhere = scratch.Path() + "/no folder/saved.json";
    EXPECT_FALSE(WriteJobFile(nowhere, FullJob(), error));
    EXPECT_EQ(nowhere + ": the job file cannot be written", error);
}

TEST(JobFile, SectionsComeFromTheFilesNamedUnlessTheJobChoosesThem)
{
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJob(R"({"image": "a.rel", "lp": "b.rel"})", job, error)) << error;
    EXPECT_TRUE(job.mainCode && job.languagePack && !job.bootCode);
    ASSERT_TRUE(ParseJob(R"({"image": "a.rel", "lp": "b.rel", "sections": ["lp"]})", job, error));
    EXPECT_TRUE(!job.mainCode && job.languagePack);
    EXPECT_EQ(30.0, job.timeoutSeconds);
    EXPECT_EQ(115200u, job.baudRate);
}

TEST(JobFile, ABadFieldIsRefusedByName)
{
    struct Bad
    {
        const char* text;
        const char* says;
    };
    for (const Bad& bad : {
             Bad{"[1, 2]", "a JSON object is expected"},
             Bad{"{\"model\": ", "a JSON object is expected"},
             Bad{R"({"model": 47})", "\"model\" must be a text"},
             Bad{R"({"model": ""})", "\"model\" must be a text"},
             Bad{R"({"baud": 9600})", "\"baud\" must be one of"},
             Bad{R"({"baud": "115200"})", "\"baud\" must be one of"},
             Bad{R"({"sections": ["main", "flash"], "image": "a"})",
                 "\"sections\" holds \"flash\""},
             Bad{R"({"sections": "main"})", "\"sections\" must be a list"},
             Bad{R"({"sections": ["boot"], "image": "a"})", "\"sections\" holds boot without"},
             Bad{R"({"sections": ["main"]})", "\"image\" is missing"},
             Bad{R"({"sections": ["lp"], "image": "a"})", "\"lp\" is missing"},
             Bad{R"({"image_sha256": "12ab"})", "\"image_sha256\" must be a SHA-256"},
             Bad{R"({"lp_sha256": 5})", "\"lp_sha256\" must be a text"},
             Bad{R"({"ports": ["COM3", "COM3"]})", "\"ports\" names \"COM3\" twice"},
             Bad{R"({"ports": "COM3"})", "\"ports\" must be a list"},
             Bad{R"({"yes": "true"})", "\"yes\" must be true or false"},
             Bad{R"({"station": 1})", "\"station\" must be true or false"},
             Bad{R"({"count": 0, "station": true})", "\"count\" must be a whole number"},
             Bad{R"({"count": -2, "station": true})", "\"count\" must be a whole number"},
             Bad{R"({"count": 3})", "\"count\" needs \"station\": true"},
             Bad{R"({"timeout": -1})", "\"timeout\" must be a number"},
             // Past the port loop's clock, which would overflow its deadline.
             Bad{R"({"timeout": 1e300})", "\"timeout\" must be at most 1000000000"},
             Bad{R"({"timeout": 3e10})", "\"timeout\" must be at most 1000000000"},
             // The file opened would be "a.abs", past the check of a release file's name.
             Bad{R"({"image": "a.abs\u0000.rel"})", "\"image\" must not hold a NUL"},
             Bad{R"({"ports": ["COM3\u0000x"]})", "\"ports\" must not hold a NUL"},
             Bad{R"({"port": ["COM3"]})", "\"port\" is not a field of a job"},
         })
    {
        JobFile job;
        std::string error;
        EXPECT_FALSE(ParseJob(bad.text, job, error)) << bad.text;
        EXPECT_NE(std::string::npos, error.find(bad.says)) << bad.text << ": " << error;
    }
}

TEST(JobFile, OnlyTheApprovedContentPassesAndTheRefusalNamesTheFile)
{
    ScratchFolder scratch;
    const std::string path = scratch.Path() + "/main.rel";
    std::ofstream(path) << "REL firmware";
    std::string sha;
    std::string error;
    ASSERT_TRUE(Sha256OfFile(path, sha, error)) << error;

    EXPECT_TRUE(IsApprovedFile(path, sha, "image_sha256", error)) << error;
    EXPECT_TRUE(IsApprovedFile(path, "", "image_sha256", error));
    EXPECT_FALSE(IsApprovedFile(path, kShaA, "image_sha256", error));
    EXPECT_NE(std::string::npos, error.find(path + " is not the approved file")) << error;
    EXPECT_NE(std::string::npos, error.find("image_sha256 is " + kShaA)) << error;
    EXPECT_FALSE(IsApprovedFile(scratch.Path() + "/gone.rel", kShaA, "lp_sha256", error));

    JobFile job;
    EXPECT_FALSE(ReadJobFile(scratch.Path() + "/none.json", job, error));
    EXPECT_EQ(0u, error.find(scratch.Path() + "/none.json: ")) << error;
}

} // namespace
