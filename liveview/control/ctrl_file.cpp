#include "liveview/control/ctrl_file.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <optional>

#include "core/application/string_table.h"
#include "core/net/text_parse.h"
#include "core/state/app_global_state.h"
#include "platform/program_folder.h"

namespace {

// Section keywords by number: 0 and 1 the device count and names, 2-68 the
// key slots 0-66, then parameters, power, end of file and display.
constexpr std::array<std::string_view, 73> kSections{
    "[DEVICE NUMBER]",
    "[DEVICE NAME]",
    "[CH1]",
    "[CH2]",
    "[CH3]",
    "[CH4]",
    "[CH5]",
    "[CH6]",
    "[CH7]",
    "[CH8]",
    "[CH9]",
    "[CH10]",
    "[CH11]",
    "[CH12]",
    "[CH13]",
    "[CH14]",
    "[CH15]",
    "[CH16]",
    "[UP_PIP]",
    "[UP_QUAD]",
    "[4CUT]",
    "[9CUT]",
    "[16CUT]",
    "[PIP]",
    "[POP]",
    "[71013]",
    "[AUTO]",
    "[ESC]",
    "[VCR]",
    "[LIVE]",
    "[QUAD]",
    "[FREEZE]",
    "[ZOOM_IN]",
    "[ZOOM_OUT]",
    "[FOCUS_IN]",
    "[FOCUS_OUT]",
    "[PLUSE]",
    "[MINUS]",
    "[REMOTE_RECORD]",
    "[REBOOT]",
    "[ESCAPE]",
    "[SEC_ENTER]",
    "[STOP_RECORD]",
    "[RECORDING]",
    "[ZOOM]",
    "[SELECT]",
    "[LOCK]",
    "[SEARCH]",
    "[ENTER]",
    "[STOP]",
    "[RECORD]",
    "[REW]",
    "[FAST]",
    "[PAUSE]",
    "[SLOW]",
    "[PLAY]",
    "[JOYSTICK_LEFT]",
    "[JOYSTICK_UP]",
    "[JOYSTICK_MENU]",
    "[JOYSTICK_DOWN]",
    "[JOYSTICK_RIGHT]",
    "[TURBO]",
    "[PTZ]",
    "[ALARM]",
    "[ZOOM_IN_MAX]",
    "[ZOOM_OUT_MAX]",
    "[DIGITAL_ZOOM]",
    "[SET]",
    "[SEQUENCE]",
    "[PARAMETER]",
    "[POWER]",
    "[EOF]",
    "[DISPLAY]",
};
constexpr int kSectionDeviceNumber = 0;
constexpr int kSectionDeviceName = 1;
constexpr int kSectionFirstKey = 2;
constexpr int kSectionLastKey = kSectionFirstKey + static_cast<int>(kCtrlLoadedKeySlots) - 1;
constexpr int kSectionParameter = 69;
constexpr int kSectionPower = 70;
constexpr int kSectionEof = 71;
constexpr int kSectionDisplay = 72;
static_assert(kSectionLastKey == 68);
static_assert(kSections[kSectionParameter] == "[PARAMETER]");
static_assert(kSections[kSectionDisplay] == "[DISPLAY]");

// The families' records; set by MatchCtrlFileDevices, read by the key
// senders on the GUI thread.
std::array<std::atomic<const CtrlDeviceRecord*>, kCtrlFamilyCount> g_familyRecords{};

std::optional<int> SectionOf(std::string_view line) {
    const auto found = std::find(kSections.begin(), kSections.end(), line);
    if (found == kSections.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - kSections.begin());
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

// The character at `index`, or the terminating zero past the end.
char At(std::string_view line, std::size_t index) {
    return index < line.size() ? line[index] : '\0';
}

// "%" and one decimal digit d, then "X" and two digits hh: byte d := hh.
void ReadParameter(CtrlDeviceRecord& record, std::string_view line) {
    const std::size_t percent = line.find('%');
    if (percent == std::string_view::npos)
        return;
    const char digit = At(line, percent + 1);
    if (digit < '0' || digit > '9')
        return;
    const std::size_t x = line.find('X', percent + 2);
    if (x == std::string_view::npos)
        return;
    record.abyParam[static_cast<std::size_t>(digit - '0')] =
        HexByte(At(line, x + 1), At(line, x + 2));
}

// Shows a message once for the file being read.
class OnceMessage {
public:
    explicit OnceMessage(unsigned id) : m_id(id) {}
    void Show() {
        if (!m_shown) {
            m_shown = true;
            ShowMessage(m_id);
        }
    }

private:
    unsigned m_id;
    bool m_shown = false;
};

}  // namespace

std::size_t ReadCtrlLine(std::string_view text, std::string& line) {
    line.clear();
    const std::size_t end = text.find('\n');
    const std::size_t consumed = end == std::string_view::npos ? text.size() : end + 1;
    for (const char c : text.substr(0, consumed)) {
        if (line.size() == kCtrlLineChars)
            break;
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code > 0x7E)
            continue;
        line.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return consumed;
}

std::uint8_t HexByte(char high, char low) {
    return static_cast<std::uint8_t>(HexDigit(high) * 16 + HexDigit(low));
}

bool ParseKeySequence(CtrlKeySequence& sequence, std::string_view line) {
    // Each line stands on its own: what an earlier line for the same slot
    // stored or marked is replaced.
    sequence.pBytes.reset();
    sequence.byCount = 0;
    sequence.dwVarMask = 0;
    std::size_t x = line.find('X');
    if (x == std::string_view::npos)
        return false;
    const std::uint8_t count = HexByte(At(line, x + 1), At(line, x + 2));
    if (count == 0)
        return true;

    auto bytes = std::make_unique<std::uint8_t[]>(count);  // zero-filled
    std::uint32_t mask = 0;
    bool complete = true;
    for (std::size_t i = 0; i < count; ++i) {
        x = line.find('X', x + 1);
        if (x == std::string_view::npos) {
            complete = false;
            break;
        }
        if (At(line, x + 1) == '%') {
            if (i >= 32)
                return false;
            mask |= 1u << i;
        }
        bytes[i] = HexByte(At(line, x + 1), At(line, x + 2));
    }
    sequence.byCount = count;
    sequence.dwVarMask = mask;
    sequence.pBytes = std::move(bytes);
    return complete;
}

CtrlFileContent ParseCtrlFile(std::string_view text) {
    CtrlFileContent content;
    OnceMessage nowhere(4084);
    OnceMessage badSequence(4051);
    int section = -1;
    int current = -1;                           // record of the last name
    CtrlDeviceRecord* lastKeyRecord = nullptr;  // of the last key, power or parameter line
    std::string line;
    line.reserve(kCtrlLineChars);
    while (!text.empty()) {
        text.remove_prefix(ReadCtrlLine(text, line));
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            section = SectionOf(line).value_or(-1);
            continue;
        }
        CtrlDeviceRecord* record = current >= 0 ? &content.records[current] : nullptr;
        if (section == kSectionDeviceNumber) {
            // Only the first count allocates: a second one would lose the
            // records already read.
            if (content.records)
                continue;
            content.count = std::clamp(DecimalValue(line), 0, kCtrlMaxDevices);
            content.records = std::shared_ptr<CtrlDeviceRecord[]>(
                new CtrlDeviceRecord[static_cast<std::size_t>(content.count)]);
        } else if (section == kSectionDeviceName) {
            if (current + 1 >= content.count) {
                nowhere.Show();
                continue;
            }
            ++current;
            auto& name = content.records[current].szName;
            const std::size_t length = std::min(line.size(), name.size() - 1);
            std::copy_n(line.begin(), length, name.begin());
        } else if (section == kSectionEof) {
            if (line == "END") {
                content.ended = true;
                break;
            }
        } else if (section < 0 || record == nullptr) {
            nowhere.Show();
        } else if ((section >= kSectionFirstKey && section <= kSectionLastKey) ||
                   section == kSectionPower) {
            CtrlKeySequence& sequence =
                section == kSectionPower
                    ? record->seqPower
                    : record->aseqKey[static_cast<std::size_t>(section - kSectionFirstKey)];
            sequence.pOwner = record;
            if (!ParseKeySequence(sequence, line))
                badSequence.Show();
            lastKeyRecord = record;
        } else if (section == kSectionParameter) {
            ReadParameter(*record, line);
            lastKeyRecord = record;
        } else if (section == kSectionDisplay && lastKeyRecord != nullptr) {
            lastKeyRecord->byDisplay =
                static_cast<std::uint8_t>(std::clamp(DecimalValue(line), 0, 255));
        }
    }
    return content;
}

int LoadCtrlFile() {
    std::ifstream file(platform::ProgramFolder() / "CtrlFile.ini", std::ios::binary);
    // One byte more than a control file may hold tells an oversized file
    // without reading all of it.
    std::string text(kCtrlFileMaxBytes + 1, '\0');
    if (file) {
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(file.gcount()));
    }
    if (!file.is_open() || file.bad() || text.size() > kCtrlFileMaxBytes) {
        ShowMessage(4094);
        return 0;
    }
    CtrlFileContent content = ParseCtrlFile(text);
    if (g_lpApp != nullptr) {
        FreeCtrlFileRecords();
        g_lpApp->lp_CtrlDevices = std::move(content.records);
        g_lpApp->dw_CtrlDeviceCount = content.count;
    }
    return 1;
}

int MatchCtrlFileDevices() {
    for (std::size_t family = 0; family < kCtrlFamilyCount; ++family) {
        const CtrlDeviceRecord* match = nullptr;
        if (g_lpApp != nullptr && g_lpApp->lp_CtrlDevices) {
            const std::int32_t count = g_lpApp->dw_CtrlDeviceCount;
            for (std::int32_t i = 0; i < count && match == nullptr; ++i) {
                const CtrlDeviceRecord& record = g_lpApp->lp_CtrlDevices[i];
                if (std::string_view(record.szName.data()) == kCtrlFamilyNames[family]) {
                    match = &record;
                }
            }
        }
        g_familyRecords[family] = match;
    }
    return 1;
}

const CtrlDeviceRecord* CtrlFamilyRecord(std::size_t family) {
    return family < kCtrlFamilyCount ? g_familyRecords[family].load() : nullptr;
}

void FreeCtrlFileRecords() {
    for (auto& record : g_familyRecords) {
        record = nullptr;
    }
    if (g_lpApp != nullptr) {
        g_lpApp->dw_CtrlDeviceCount = 0;
        g_lpApp->lp_CtrlDevices.reset();
    }
}
