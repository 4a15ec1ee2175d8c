// For the length of a call: the system's timer as fine as the library's waits need (1 ms), so
// that the 2 ms reply poll and the 50 and 600 ms waits keep their lengths. Windows otherwise
// sleeps in steps of 15.6 ms; elsewhere this does nothing.
#ifndef TIMERRESOLUTION_H
#define TIMERRESOLUTION_H

class TimerResolution
{
public:
    TimerResolution() noexcept;
    ~TimerResolution();
    TimerResolution(const TimerResolution &) = delete;
    TimerResolution &operator=(const TimerResolution &) = delete;

private:
    [[maybe_unused]] bool m_raised = false; // read on Windows only
};

#endif // TIMERRESOLUTION_H
