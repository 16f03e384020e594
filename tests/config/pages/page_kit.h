#pragma once

// What the page tests share: a simulated device of a product on 127.0.0.1,
// logged in, its configuration read as the sheet's opener reads it, and the
// sheet's sender, read values and save routines over it. A page built on
// the block hands its values to a save routine; the test then reads the
// section bodies the device received.

#include <gtest/gtest.h>

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/sheet/save_routines.h"
#include "config/sheet/section_sender.h"
#include "core/login/login_exchange.h"
#include "core/state/app_global_state.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/fake_device.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"

namespace section_page_test {

using test_support::FakeDevice;
using test_support::Reply;

class SectionPageTest : public page_test::PageStateTest {
public:  // case tables' lambdas reach the fixture
    void TearDown() override {
        routines.reset();
        sender.reset();
        PageStateTest::TearDown();
    }

    // Logs in to a simulated device of the product, reads its configuration
    // and builds the sheet's save machinery over it.
    void Open(const char* product, const char* firmware = "1052",
              const std::function<void(devicesim::DeviceProfile&)>& adjust = {}) {
        auto profile = devicesim::ProfileForProduct(product);
        ASSERT_TRUE(profile.has_value()) << product;
        profile->firmwareVersion = firmware;
        if (adjust) {
            adjust(*profile);
        }
        model = &device.EnableDeviceModel("tresk", "tresk", *profile);
        ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
        identity = DeviceIdentity::Current();
        const auto read = ReadConfigurationForSheet(identity);
        ASSERT_TRUE(read.has_value());
        base = config();
        sender = std::make_unique<SectionSender>(config(), identity, *read);
        readValues = LoadReadValues(config(), identity, 640, 480);
        routines = std::make_unique<ConfigSaveRoutines>(*sender, readValues);
    }

    static SystemConfigStruct& config() { return g_lpApp->SystemConfigStruct; }

    // The options of the sections sent since Open, in order.
    std::vector<std::string> SentOptions() const {
        std::vector<std::string> options;
        for (const auto& request : device.RequestsTo("/SetSysCfg.cgi")) {
            options.emplace_back(request.Param("Option").value_or(""));
        }
        return options;
    }
    // The body of the last send of a section; none when it was not sent.
    std::optional<std::string> SentBody(std::string_view option) const {
        std::optional<std::string> body;
        for (const auto& request : device.RequestsTo("/SetSysCfg.cgi")) {
            if (request.Param("Option").value_or("") == option) {
                body = request.body;
            }
        }
        return body;
    }
    // A section as it was read, with bytes replaced at offsets.
    static std::string Patched(std::span<const std::uint8_t> section,
                               const std::vector<std::pair<std::size_t, std::string>>& patches) {
        std::string bytes(section.begin(), section.end());
        for (const auto& [at, replacement] : patches) {
            bytes.replace(at, replacement.size(), replacement);
        }
        return bytes;
    }

    DeviceIdentity identity;
    SystemConfigStruct base;
    SheetReadValues readValues;
    std::unique_ptr<SectionSender> sender;
    std::unique_ptr<ConfigSaveRoutines> routines;
};

}  // namespace section_page_test
