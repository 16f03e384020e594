#include "core/application/string_table.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/message_box.h"

namespace {

struct TextEntry {
    unsigned id;
    std::string_view text;
};

// Sorted by number; looked up by binary search.
constexpr TextEntry kTexts[] = {
    {999, "BRIGHTNESS/CONTRAST/HUE"},
    {1002, "CONNECT/DISCONNECT"},
    {1004, "SNAPSHOT"},
    {1005, "RECORD$RECORDING"},
    {1006, "SYSTEM CONFIG"},
    {1007, "RESOLUTION"},
    {1008, "IMAGE QUALITY"},
    {1040, "User name :"},
    {1043, "Password :"},
    {1096, "Server IP :"},
    {1097, "Web Port :"},
    {1304, "Server Log$Cancel"},
    {3022, "IP"},
    {3023, "MAC"},
    {3024, "PORT"},
    {3025, "DEVICE"},
    {3026, "PRE USED"},
    {3028, "Search\nStop_Search"},
    {4001, "Account memory is not enough"},
    {4002, "Add the account is failed"},
    {4003, "Add the ftp site is failed"},
    {4004, "Apply setting is failed"},
    {4005, "Apply setting is successfully"},
    {4006, "Bind the connection is failed,please close dialog and try again"},
    {4008, "Cann't detect server!!"},
    {4009, "Can't read or create a CtrlFile.ini!!"},
    {4011, "change image quality is failed !!"},
    {4012, "Change System Config is failed"},
    {4014, "Connect error"},
    {4018, "Create record file is failed.Check your directory is correct or not"},
    {4022, "Edit the account is failed"},
    {4023, "Edit the ftp site is failed"},
    {4024, "Error"},
    {4025, "Error Occured While Rendering the Movie"},
    {4029, "Get config Error!! Please Try again!!"},
    {4031, "Get the index item is failed"},
    {4034, "It couldn't connect to device"},
    {4035, "It couldn't got the item data"},
    {4036, "It couldn't modify the Network setting"},
    {4037, "It couldn't select any data"},
    {4040, "Login error !!"},
    {4041, "Max email account number is 4"},
    {4042, "Max user setting should not be empty"},
    {4043, "Max user should be 1 ~ 5"},
    {4044, "Need select a item form list"},
    {4045, "No item could be deleted"},
    {4046, "No item could be edited"},
    {4047, "Open firmware file is failed"},
    {4048, "Overwrite flash right now.It will take 1 ~ 2 minutes."},
    {4049, "password is wrong"},
    {4050, "Please select an item"},
    {4051, "Please input server command!"},
    {4052, "Please select a setting"},
    {4053, "Port number can't be out of range 1 ~ 9999,try again"},
    {4054, "Port number is wrong"},
    {4056, "Read DeskTop Path Error!!"},
    {4057, "Read Firmware file is failed"},
    {4059, "Receive data error"},
    {4061, "Reset to default is failed"},
    {4062, "Reset to default is successfully.It will take several seconds to finish reset process"},
    {4064, "Send command timeout"},
    {4065, "Send command to device is failed !!"},
    {4066, "Send the change resolution command is failed"},
    {4067, "The apply network setting is not changed"},
    {4069, "This account is that you login right now.It couldn't be delete"},
    {4077, "Upgrade firmware error"},
    {4079, "User name & ip address cant be empty,try again"},
    {4080, "username is wrong"},
    {4081, "Username or password is not correct"},
    {4084, "Web Server don't support this command!"},
    {4085, "You should connect the video server first"},
    {4086, "You should select a account before press delete button"},
    {4087, "You should select a account before press edit button"},
    {4088, "You should select a email address before press delete button"},
    {4089, "You should select a email address before press edit button"},
    {4090, "You should type the port number"},
    {4093, "It couldn't find this device command protocol"},
    {4094, "Open device control file is failed"},
    {4095, "PTZ number is not valid."},
    {4096, "Load alarm audio file is failed"},
    {4098, "Execuate player program is failed"},
    {4101, "PPPOE and DDNS should be enable at the same time.\nPlease confirm your setting again."},
    {4102, "Server connection type is not static mode.You couldn't change networking setting here."},
    {4103, "Please set file path at first time!"},
    {4104, "The size of backup file is wrong"},
    {4105, "Download file path is invalid."},
    {4106, "Download file is failed!"},
    {4107, "DVR doesn't contain the record data."},
    {4108, "Execuate player is failed"},
    {4109, "HDD is not exist"},
    {4110, "NO LIST DATA"},
    {4111, "The directory is not contain any firmware file.Check your path again."},
    {4112, "Title is limited to 6 characters."},
    {4113, "Execuating player is failed!"},
    {4115, "Wait a monent and retry again."},
    {4116, "Snapshot is failed,please check snapshot path is valid."},
    {4117, "Clear server log ?"},
    {4118, "Username is existed."},
    {4119, "Launch burning tool is failed"},
    {8310, "TURBO_ON$TURBO_OFF"},
    {8312, "PTZ_CONTROL_ON$PTZ_CONTROL_OFF"},
    {8331, "R.E.T.R.(Enable)$R.E.T.R.(Disable)"},
    {8356, "ACTION$PRESET"},
    {8410, "Channel DVR"},
    {8411, "Channel 1"},
    {8412, "Channel 2"},
    {8413, "Channel 3"},
    {8414, "Channel 4"},
    {8415, "Channel 5"},
    {8416, "Channel 6"},
    {8417, "Channel 7"},
    {8418, "Channel 8"},
    {8419, "Channel 9"},
    {8420, "Channel 10"},
    {8421, "Channel 11"},
    {8422, "Channel 12"},
    {8423, "Channel 13"},
    {8424, "Channel 14"},
    {8425, "Channel 15"},
    {8426, "Channel 16"},
    {8427, "LEFT"},
    {8428, "RIGHT"},
    {8440, "Address"},
    {8441, "Search"},
    {8442, "Player"},
    {8443, "Copy"},
    {8444, "Connect"},
    {8445, "Cancel"},
    {8527, "Upgrade Firmware"},
    {8528, "User Name"},
    {8529, "Password"},
    {8530, "IP"},
    {8531, "Port"},
    {8532, "Connect\nStop_Connect"},
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < std::size(kTexts); ++i) {
        if (kTexts[i - 1].id >= kTexts[i].id) return false;
    }
    return true;
}
static_assert(IsSorted(), "the string table must stay sorted by number");

}  // namespace

std::string_view LoadText(unsigned id) {
    const auto* it = std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                                      [](const TextEntry& e, unsigned v) { return e.id < v; });
    if (it == std::end(kTexts) || it->id != id) return {};
    return it->text;
}

int ShowMessage(unsigned id, unsigned flags) {
    return platform::ShowMessageBox(id, std::string(LoadText(id)), flags);
}
