#pragma once

// The server time page's 75 time zones: each row's text id, its offset from
// GMT in hours and minutes (the minutes carry the hours' sign) and its text.
// The zone index a device stores is a row of this table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct TimeZoneRow {
    unsigned textId;
    std::int8_t hours;
    std::int8_t minutes;
    std::string_view text;
};

inline constexpr std::array<TimeZoneRow, 75> kTimeZoneTable{{
    {8448, -12, 0, "(GMT-12:00) International Date Line West"},
    {8449, -11, 0, "(GMT-11:00) Midway Island, Samoa"},
    {8450, -10, 0, "(GMT-10:00) Hawaii"},
    {8451, -9, 0, "(GMT-09:00) Alaska"},
    {8452, -8, 0, "(GMT-08:00) Pacific Time (US & Canada); Tijuana"},
    {8453, -7, 0, "(GMT-07:00) Arizona"},
    {8454, -7, 0, "(GMT-07:00) Chihuahua, La Paz, Mazatlan"},
    {8455, -7, 0, "(GMT-07:00) Mountain Time (US & Canada)"},
    {8456, -6, 0, "(GMT-06:00) Central America"},
    {8457, -6, 0, "(GMT-06:00) Central Time (US & Canada)"},
    {8458, -6, 0, "(GMT-06:00) Guadalajara, Mexico City, Monterrey"},
    {8459, -6, 0, "(GMT-06:00) Saskatchewan"},
    {8460, -5, 0, "(GMT-05:00) Bogota, Lima, Qutio"},
    {8461, -5, 0, "(GMT-05:00) Eastern Time (US & Canada)"},
    {8462, -5, 0, "(GMT-05:00) Indiana (East)"},
    {8463, -4, 0, "(GMT-04:00) Atlantic Time (Canada)"},
    {8464, -4, 0, "(GMT-04:00) Caracas, La Paz"},
    {8465, -4, 0, "(GMT-04:00) Santiago"},
    {8466, -3, -30, "(GMT-03:30) Newfoundland"},
    {8467, -3, 0, "(GMT-03:00) Brasilia"},
    {8468, -3, 0, "(GMT-03:00) Buenos Aires, Georgetown"},
    {8469, -3, 0, "(GMT-03:00) Greenland"},
    {8470, -2, 0, "(GMT-02:00) Mid-Atlantic"},
    {8471, -1, 0, "(GMT-01:00) Azores"},
    {8472, -1, 0, "(GMT-01:00) Cape Verde Is."},
    {8473, 0, 0, "(GMT) Casablanca, Monrovia"},
    {8474, 0, 0, "(GMT) Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London"},
    {8475, 1, 0, "(GMT+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"},
    {8476, 1, 0, "(GMT+01:00) Belgrade, Bratislava, Budapest, Ljubljana, Prague"},
    {8477, 1, 0, "(GMT+01:00) Brussels, Copenhagen, Madrid, Paris"},
    {8478, 1, 0, "(GMT+01:00) Sarajevo, Skopje, Warsaw, Zagreb"},
    {8479, 1, 0, "(GMT+01:00) West Central Africa"},
    {8480, 2, 0, "(GMT+02:00) Athens, Beirut, Istanbul, Minsk"},
    {8481, 2, 0, "(GMT+02:00) Bucharest"},
    {8482, 2, 0, "(GMT+02:00) Cairo"},
    {8483, 2, 0, "(GMT+02:00) Harare, Pretoria"},
    {8484, 2, 0, "(GMT+02:00) Helsinki, Kyiv, Riga, Sofia, Tallinn, Vilnius"},
    {8485, 2, 0, "(GMT+02:00) Jerusalem"},
    {8486, 3, 0, "(GMT+03:00) Baghdad"},
    {8487, 3, 0, "(GMT+03:00) Kuwait, Riyadh"},
    {8488, 3, 0, "(GMT+03:00) Moscow, St. Petersburg, Volgograd"},
    {8489, 3, 0, "(GMT+03:00) Nairobi"},
    {8490, 3, 30, "(GMT+03:30) Tehran"},
    {8491, 4, 0, "(GMT+04:00) Abu Dhabi, Muscat"},
    {8492, 4, 0, "(GMT+04:00) Baku, Tbilisi, Yerevan"},
    {8493, 4, 30, "(GMT+04:30) Kabul"},
    {8494, 5, 0, "(GMT+05:00) Ekaterinburg"},
    {8495, 5, 0, "(GMT+05:00) Islamabad, Karachi, Tashkent"},
    {8496, 5, 30, "(GMT+05:30) Chennia, Kolkata, Mumbai, New Delhi"},
    {8497, 5, 45, "(GMT+05:45) Kathmandu"},
    {8498, 6, 0, "(GMT+06:00) Almaty, Novosibirsk"},
    {8499, 6, 0, "(GMT+06:00) Astana, Dhaka"},
    {8500, 6, 0, "(GMT+06:00) Sri Jayawardenepura"},
    {8501, 6, 30, "(GMT+06:30) Rangoon"},
    {8502, 7, 0, "(GMT+07:00) Bangkok, Hanoi, Jakarta"},
    {8503, 7, 0, "(GMT+07:00) Krasnoyarsk"},
    {8504, 8, 0, "(GMT+08:00) Beijing, Chongqing, Hong Kong, Urumgi"},
    {8505, 8, 0, "(GMT+08:00) Taipei"},
    {8506, 8, 0, "(GMT+08:00) Irkutsk, Ulann Battar"},
    {8507, 8, 0, "(GMT+08:00) Kuala Lumpur, Singapore"},
    {8508, 8, 0, "(GMT+08:00) Perth"},
    {8509, 9, 0, "(GMT+09:00) Osaka, Sapporo, Tokyo"},
    {8510, 9, 0, "(GMT+09:00) Seoul"},
    {8511, 9, 0, "(GMT+09:00) Yakutsk"},
    {8512, 9, 30, "(GMT+09:30) Adelaide"},
    {8513, 9, 30, "(GMT+09:30) Darwin"},
    {8514, 10, 0, "(GMT+10:00) Brisbane"},
    {8515, 10, 0, "(GMT+10:00) Canberra, Melbourne, Sydney"},
    {8516, 10, 0, "(GMT+10:00) Guam, Port Moresby"},
    {8517, 10, 0, "(GMT+10:00) Hobart"},
    {8518, 10, 0, "(GMT+10:00) Vladivostok"},
    {8519, 11, 0, "(GMT+11:00) Magadan, Solomon Is,, New Caledonia"},
    {8520, 12, 0, "(GMT+12:00) Auckland, Wellington"},
    {8521, 12, 0, "(GMT+12:00) Fiji, Kamchatka, Marshall Is."},
    {8522, 13, 0, "(GMT+13:00) Nuku'alofa"},
}};

// The row of a zone index; none for an index outside the table.
constexpr const TimeZoneRow* TimeZoneRowOf(int index) {
    return index >= 0 && index < static_cast<int>(kTimeZoneTable.size())
               ? &kTimeZoneTable[static_cast<std::size_t>(index)]
               : nullptr;
}

constexpr bool TimeZoneTableIsSound() {
    for (std::size_t i = 0; i < kTimeZoneTable.size(); ++i) {
        const TimeZoneRow& row = kTimeZoneTable[i];
        if (row.textId != 8448 + i || row.hours < -12 || row.hours > 13 ||
            (row.hours < 0 && row.minutes > 0) || (row.hours > 0 && row.minutes < 0) ||
            row.text.substr(0, 4) != "(GMT") {
            return false;
        }
    }
    return true;
}
static_assert(TimeZoneTableIsSound());
