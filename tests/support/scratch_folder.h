// Files of the tests: the system's temporary folder, a folder of a test's own under it that goes
// away with everything in it, and whole files written and read at once.
#pragma once

#include <string>

// The temporary folder, ending in its separator.
std::string TempFolder();

// Writes `content` as the whole file (binary); false when it could not be written.
bool WriteFile(const std::string& path, const std::string& content);
// The whole file, empty when it cannot be read.
std::string ReadFile(const std::string& path);

// A new folder under the temporary folder, removed with all it holds (read-only files too) when
// the object goes.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& prefix = "tervolo-test");
    // A folder at exactly this path (one left from an earlier run is taken as it is).
    struct AtPath
    {
        std::string path;
    };
    explicit ScratchFolder(const AtPath& at);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& Path() const { return m_path; }
    // The path of `name` in the folder.
    std::string File(const std::string& name) const;
    // Writes a file of the folder and returns its path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};
