#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace tarvelo::reference_test {

// A fixture with a private scratch directory for reference files, removed after each test.
class ReferenceFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ =
            std::filesystem::temp_directory_path() /
            ("tarvelo-reference-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
    }

    std::filesystem::path writeFile(std::string_view name, std::string_view bytes) const {
        const std::filesystem::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    const std::filesystem::path& dir() const { return dir_; }

  private:
    std::filesystem::path dir_;
};

}  // namespace tarvelo::reference_test
