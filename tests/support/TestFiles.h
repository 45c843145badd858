#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kinetar::test {

// A fresh folder under the temp directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

// The public BMP Suite bundled with the tests.
std::filesystem::path TestDataDir();

}  // namespace kinetar::test
