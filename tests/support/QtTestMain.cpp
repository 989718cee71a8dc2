// One QApplication for the whole test run, made after GoogleTest has read its
// flags, so that listing the tests needs no display.

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    QtEnvironment(int& argc, char** argv)
        : argc_(argc),
          argv_(argv)
    {
    }
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
};

} // namespace

int main(int argc, char** argv)
{
    // CTest sets the offscreen platform; a test binary started by hand gets it too.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new QtEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
