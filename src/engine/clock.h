// The clock behind the run's date and time texts, so that tests can fix the time.
#pragma once

namespace kolvane {

struct SLocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1-12
    int day = 0;     // 1-31
    int hour = 0;    // 0-23
    int minute = 0;  // 0-59
    int second = 0;  // 0-59
};

class IClock {
  public:
    virtual ~IClock() = default;
    virtual SLocalTime Now() const = 0;
};

// The local time of the system clock.
class CSystemClock final : public IClock {
  public:
    SLocalTime Now() const override;
};

// A clock that always answers the time it was given; for tests and reproducible runs.
class CFixedClock final : public IClock {
  public:
    explicit CFixedClock(SLocalTime t) : m_time(t) {}
    SLocalTime Now() const override { return m_time; }
    void Set(SLocalTime t) { m_time = t; }

  private:
    SLocalTime m_time;
};

}  // namespace kolvane
