#pragma once

// The fake burning engine set up as an installed one: its folder in a
// registry store of the test's own, its configuration file and call log in a
// temporary folder, and the process's PATH put back afterwards.

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "maintenance/disc/burn_engine.h"
#include "platform/registry_store.h"
#include "tests/support/core/app_state_fixture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace disc_test {

inline const std::filesystem::path kFakeEngineDir = KESTRUNE_FAKE_BURN_ENGINE_DIR;
inline const std::filesystem::path kLeanEngineDir = KESTRUNE_FAKE_BURN_ENGINE_LEAN_DIR;
inline const std::filesystem::path kOldEngineDir = KESTRUNE_FAKE_BURN_ENGINE_OLD_DIR;

class FakeEngineTest : public core_test::AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        m_config["log"] = LogPath().string();
        WriteConfig();
        platform::WriteValue(kBurnEngineKey, kBurnEngineValue, kFakeEngineDir.string());
    }

    void TearDown() override {
        UnloadBurnEngine();
        AppStateTest::TearDown();
    }

    // Sets configuration keys (see the fake engine's source) and rewrites the file.
    void Configure(const std::map<std::string, std::string>& values) {
        for (const auto& [key, value] : values) {
            m_config[key] = value;
        }
        WriteConfig();
    }

    // Forgets every key but the log.
    void ResetConfig() {
        const std::string log = m_config["log"];
        m_config.clear();
        m_config["log"] = log;
        WriteConfig();
    }

    std::filesystem::path LogPath() const { return engineDir.path() / "calls.log"; }

    // The calls logged so far, each as its JSON object.
    std::vector<QJsonObject> Calls() const {
        std::vector<QJsonObject> calls;
        std::ifstream in(LogPath());
        std::string line;
        while (std::getline(in, line)) {
            calls.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
        }
        return calls;
    }

    // The logged calls named `name`.
    std::vector<QJsonObject> Calls(const std::string& name) const {
        std::vector<QJsonObject> found;
        for (const QJsonObject& call : Calls()) {
            if (call["call"].toString().toStdString() == name) {
                found.push_back(call);
            }
        }
        return found;
    }

    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const QJsonObject& call : Calls()) {
            names.push_back(call["call"].toString().toStdString());
        }
        return names;
    }

    void ClearLog() { std::filesystem::remove(LogPath()); }

    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& entry : boxes.sink().Entries()) {
            texts.push_back(entry.text);
        }
        return texts;
    }

    test_support::TempDir engineDir;
    platform::ScopedRegistryFile registry{engineDir.path() / "registry.ini"};
    test_support::ScopedEnv configEnv{"KESTRUNE_FAKE_BURN_CONFIG",
                                      (engineDir.path() / "engine.conf").string()};
    test_support::ScopedEnv pathEnv{"PATH", std::string(::getenv("PATH") ? ::getenv("PATH") : "")};

private:
    void WriteConfig() {
        std::ofstream out(engineDir.path() / "engine.conf", std::ios::trunc);
        for (const auto& [key, value] : m_config) {
            out << key << "=" << value << "\n";
        }
    }

    std::map<std::string, std::string> m_config;
};

}  // namespace disc_test
