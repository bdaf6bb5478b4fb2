// Owner of a C stream: closed when its owner lets go of it.
#pragma once

#include <cstdio>
#include <memory>

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;
