// A GoogleTest program that draws text needs Qt's GUI application for its
// fonts; including this gives it one, on whatever platform the test runs.
#pragma once

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace fixtures {

class GuiEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "gtest";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};

inline const auto* const kGui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace fixtures
