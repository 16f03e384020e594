#pragma once

// A calendar date and time of day as the devices report it, and a copy of it
// that several threads can share.

#include <cstdint>
#include <mutex>

struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;      // 1-12
    std::uint16_t dayOfWeek = 0;  // 0 is Sunday
    std::uint16_t day = 0;        // 1-31
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    bool operator==(const SystemTime&) const = default;

    // True when year, month, day, hour, minute and second all match; the day
    // of week and the milliseconds are not compared.
    bool SameDateAndTime(const SystemTime& other) const {
        return year == other.year && month == other.month && day == other.day &&
               hour == other.hour && minute == other.minute && second == other.second;
    }

    // True for a month of 1-12, a day of 1-31, an hour below 24 and a minute
    // and second below 60. The day is not checked against the month.
    bool IsPlausible() const {
        return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 &&
               second < 60;
    }
};

// A SystemTime written by one thread and read by others; every access takes
// the lock, so a reader never sees half of an update.
class SharedSystemTime {
public:
    SharedSystemTime() = default;
    SharedSystemTime(const SharedSystemTime&) = delete;
    SharedSystemTime& operator=(const SharedSystemTime&) = delete;

    SystemTime Get() const {
        std::lock_guard lock(m_lock);
        return m_value;
    }
    void Set(const SystemTime& value) {
        std::lock_guard lock(m_lock);
        m_value = value;
    }
    // Stores `value` whole when its date or time of day differs from the one
    // held; true when it was stored.
    bool StoreIfChanged(const SystemTime& value) {
        std::lock_guard lock(m_lock);
        if (m_value.SameDateAndTime(value))
            return false;
        m_value = value;
        return true;
    }

private:
    mutable std::mutex m_lock;
    SystemTime m_value;
};
