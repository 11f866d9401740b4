#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output_files.h"

namespace gridorb::exporter {
namespace {

namespace fs = std::filesystem;

class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("export-files-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const auto& entry : fs::directory_iterator(folder_)) list.push_back(entry.path().filename());
        std::sort(list.begin(), list.end());
        return list;
    }
    std::string content(const std::string& name) const {
        std::ifstream in(folder_ / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path folder_;
};

TEST(OutputFileNames, SortAndSayWhatTheyHold) {
    EXPECT_EQ(outputFileName(15, "HOMO", "cube"), "orbital-015-homo.cube");
    EXPECT_EQ(outputFileName(14, "HOMO-1", "png"), "orbital-014-homo-1.png");
    EXPECT_EQ(outputFileName(200, "LUMO+48", "cube"), "orbital-200-lumo+48.cube");
    EXPECT_EQ(outputFileName(3, "", "cube"), "orbital-003.cube");
}

// An earlier file stays as it was until the new one is complete; then the
// new one replaces it whole, and no temporary is left either way.
TEST_F(OutputFiles, ReplacedWholeOrNotAtAll) {
    {
        AtomicFile file(folder_, "orbital-004-homo.cube");
        file.write("earlier\n");
        file.commit();
    }
    EXPECT_EQ(names(), std::vector<std::string>{"orbital-004-homo.cube"});
    {
        AtomicFile file(folder_, "orbital-004-homo.cube");
        file.write("half of a new one");
        EXPECT_EQ(content("orbital-004-homo.cube"), "earlier\n");
        EXPECT_EQ(names().size(), 2u);  // the temporary beside it
    }  // abandoned
    EXPECT_EQ(names(), std::vector<std::string>{"orbital-004-homo.cube"});
    EXPECT_EQ(content("orbital-004-homo.cube"), "earlier\n");
    {
        AtomicFile file(folder_, "orbital-004-homo.cube");
        file.write("new\n");
        file.commit();
    }
    EXPECT_EQ(content("orbital-004-homo.cube"), "new\n");
}

}  // namespace
}  // namespace gridorb::exporter
