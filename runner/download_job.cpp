#include "runner/download_job.h"

#include "protocol/frames.h"

#include <cstdio>
#include <cstring>

bool LoadReleaseFiles(DownloadJob& job, const std::string& imagePath, const std::string& lpPath,
                      std::string& error)
{
    DownloadSetup& setup = job.setup;
    setup.mainCode = !imagePath.empty();
    setup.languagePack = !lpPath.empty();
    if (setup.mainCode)
    {
        job.image = CReleaseImage::Load(imagePath, Section::MainCode, error);
        if (job.image == nullptr)
        {
            return false;
        }
        setup.mainBlockCount = job.image->BlockCount();
        std::memcpy(setup.imageModel, job.image->ImageModel(), sizeof setup.imageModel);
    }
    if (setup.languagePack)
    {
        job.lp = CReleaseImage::Load(lpPath, Section::LanguagePack, error);
        if (job.lp == nullptr)
        {
            return false;
        }
        setup.lpBlockCount = job.lp->BlockCount();
        std::memcpy(setup.lpModel, job.lp->LpModel(), sizeof setup.lpModel);
    }
    return true;
}

bool LoadJob(const JobFile& file, DownloadJob& job, std::string& error)
{
    job = DownloadJob();
    DownloadSetup& setup = job.setup;
    setup.bootCode = file.bootCode;
    setup.gangMode = file.gangMode;
    for (int index = 0; index < kBaudRateCount; ++index)
    {
        if (BaudRateAt(index) == file.baudRate)
        {
            setup.baudIndex = index;
        }
    }
    std::snprintf(setup.modelName, sizeof setup.modelName, "%s", file.model.c_str());
    const std::string image = file.mainCode ? file.imagePath : std::string();
    const std::string lp = file.languagePack ? file.lpPath : std::string();
    if (!LoadReleaseFiles(job, image, lp, error) ||
        !IsApprovedFile(image, file.imageSha256, "image_sha256", error) ||
        !IsApprovedFile(lp, file.lpSha256, "lp_sha256", error))
    {
        return false;
    }
    job.yes = file.yes;
    job.station = file.station;
    job.count = file.count;
    job.timeoutSeconds = file.timeoutSeconds;
    return true;
}
