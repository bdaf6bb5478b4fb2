// relconv: the kit's converter, called by tervolo.bat.
//   relconv <command file> <source .mot> <release file> [<most blocks>]
// The command file sets the layout (see README); the optional last argument caps the number of
// blocks. The release file is written only when the whole source converted.
#include "kit/release_builder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr int kConverted = 0;
constexpr int kNotConverted = 1;
constexpr int kUsageError = 2;

bool ReadWholeFile(const char* path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

int Fail(const std::string& what)
{
    std::fprintf(stderr, "relconv: %s\n", what.c_str());
    return kNotConverted;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5)
    {
        std::fprintf(stderr, "usage: relconv <command file> <source .mot> <release file> "
                             "[<most blocks>]\n");
        return kUsageError;
    }
    std::string commandText;
    std::string source;
    if (!ReadWholeFile(argv[1], commandText))
    {
        return Fail(std::string("cannot read the command file ") + argv[1]);
    }
    if (!ReadWholeFile(argv[2], source))
    {
        return Fail(std::string("cannot read the source ") + argv[2]);
    }

    kit::ReleaseLayout layout;
    std::string error;
    if (!kit::ReadCommandFile(commandText, layout, error))
    {
        return Fail(std::string(argv[1]) + ", " + error);
    }
    if (argc == 5 && !kit::ParseBlockCount(argv[4], layout.maxBlocks))
    {
        return Fail(std::string("the most blocks must be 1 to 16384, not ") + argv[4]);
    }
    std::vector<kit::DataRecord> records;
    std::vector<std::uint8_t> release;
    if (!kit::ParseSRecords(source, records, error) ||
        !kit::BuildReleaseFile(records, layout, release, error))
    {
        return Fail(std::string(argv[2]) + ", " + error);
    }

    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(release.data()),
              static_cast<std::streamsize>(release.size()));
    out.close();
    if (!out)
    {
        std::remove(argv[3]); // no half-written release file may pass for a converted one
        return Fail(std::string("cannot write ") + argv[3]);
    }
    return kConverted;
}
