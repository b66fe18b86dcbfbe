#pragma once
// The Qt application object the tests need (serial ports, processes and timers want one on
// the thread that drives them). Made once, on first use, and kept until the process ends.

#include <gtest/gtest.h>

class QCoreApplication;

namespace tessera::test {

// The running application object, making a QCoreApplication when there is none yet.
QCoreApplication& CoreApp();

// A test environment that makes the application object before the first test; register it
// with ::testing::AddGlobalTestEnvironment(new CoreAppEnvironment).
class CoreAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
};

} // namespace tessera::test
