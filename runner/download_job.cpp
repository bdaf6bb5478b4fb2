#include "runner/download_job.h"

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
