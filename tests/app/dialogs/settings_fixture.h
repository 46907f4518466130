// Cases that need only the application object and its settings, kept in a
// directory of the case's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "dialog_fixture.h"

namespace dlgtest {

class SettingsTest : public ::testing::Test {
public:
    std::filesystem::path home;

    void SetUp() override {
        char tmpl[] = "/tmp/tavrelix-settings-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        std::filesystem::create_directories(home / "config");
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        App();
        tvtest::Init();
        tvtest::ClearBoxes();
    }
    void TearDown() override {
        tvtest::VerifyDialogs();
        tvtest::ClearDialogs();
        tvtest::Pump();
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

} // namespace dlgtest
