#pragma once

// What the firmware tests share: a packed firmware file built from records,
// and the fake device's side of a new-protocol unit (the request, then the
// unit's bytes raw, then one reply).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_device.h"

namespace firmware_test {

// A packed file: each record's header word, then `length` bytes of `fill`.
inline std::string PackedFile(std::initializer_list<std::pair<std::uint32_t, std::uint8_t>> records,
                              char fill = 'x') {
    std::string file;
    for (const auto& [length, type] : records) {
        const std::uint32_t word = length << 4 | type;
        for (int shift = 0; shift < 32; shift += 8) {
            file.push_back(static_cast<char>(word >> shift));
        }
        file.append(length, fill);
    }
    return file;
}

// Reads the unit announced by FILESIZE, hands it to `received` and answers
// with `statusLine`.
inline test_support::FakeDevice::Handler UnitHandler(
    std::string statusLine = "HTTP/1.1 200 OK", std::function<void(std::string)> received = {}) {
    return [statusLine = std::move(statusLine), received = std::move(received)](
               const devicesim::HttpRequest& request, devicesim::Connection& connection) {
        const auto size =
            devicesim::ParseDecimal(request.Param("FILESIZE").value_or("")).value_or(0);
        std::string data;
        std::vector<char> buffer(4096);
        while (data.size() < size) {
            const std::size_t n = connection.Receive(
                std::span(buffer.data(), std::min<std::size_t>(buffer.size(), size - data.size())));
            if (n == 0) {
                break;
            }
            data.append(buffer.data(), n);
        }
        if (received) {
            received(std::move(data));
        }
        connection.Send(statusLine + "\r\n\r\n");
    };
}

}  // namespace firmware_test
