#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder per test under the system's temporary folder, removed
// afterwards.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("tessaly-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                  std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

public:
    static std::vector<std::uint8_t> readBytes(const std::filesystem::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

protected:
    std::filesystem::path folder;
};

} // namespace testsupport
