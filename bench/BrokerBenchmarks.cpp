// velmord against the direct way, on the emulator. The program starts velmord on a socket in a
// temporary folder of its own, on the same emulated bench as this process, reaches it by setting
// VELMOR_BROKER (the library reads it at every call; "off" for the direct cases), and stops it at
// the end. It runs itself again as the client processes (--poll-client UNIT MILLISECONDS).
//
//   status/direct_held, status/velmord      velmorGetMotorStatus on unit 1: on a unit this process
//                                           holds itself, and through velmord (which holds every
//                                           unit, so the call needs no hold of ours)
//   export/direct/getAbsolutePosition,      a plain export on unit 1 with nothing held: made
//   export/velmord/getAbsolutePosition      directly it opens, sets up and closes the unit
//   poll/velmord/N, poll/direct_unheld/N    N client processes, each polling its own unit with
//                                           velmorGetMotorStatus for a few seconds, all at once
//   status/velmord_beside_unit2,            the status call on unit 1 through velmord while
//   status/velmord_beside_unit1             another client polls unit 2 (another unit), or unit 1
//                                           itself, without pause
//
// velmord_cpu_ms is velmord's own processor time per call served (from /proc, in 10 ms ticks).
#include "ChildProcess.h"
#include "VelmorLib.h"
#include "VelmorLibExtras.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef VELMORD_PROGRAM
#error "VELMORD_PROGRAM names the velmord program the benchmarks start"
#endif

namespace {

// Four units, one of each hardware version, as in the Tango event-rate benchmark.
const char kBench[] = "FT232R:JXah00101:2.0;FT232R:JXah00102:3.0;XSERIES:JXbh01001:1.0;XSERIES:JXah02701:1.2";
constexpr int32_t kUnits = 4;
// How long each client polls.
constexpr int kPollWindowMs = 3000;
// velmord listening and serving, a client ready to poll (its unit's first use included).
constexpr int kStartTimeoutMs = 20000;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int32_t readStatus(int32_t index)
{
    VelmorMotorStatus status{};
    status.size = sizeof status;
    return velmorGetMotorStatus(index, &status);
}

int32_t readPosition(int32_t index)
{
    int32_t position = 0;
    return getAbsolutePosition(index, &position);
}

bool velmordAnswers()
{
    VelmorBrokerInfo info{};
    info.size = sizeof info;
    return velmorGetBrokerInfo(&info) == VELMOR_OK && info.running == 1;
}

std::string ownProgram()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, size_t(length)) : std::string();
}

// Where velmord's files are, for the signal handler: it removes them after stopping velmord.
char s_socketPath[PATH_MAX];
char s_logPath[PATH_MAX];
char s_folderPath[PATH_MAX];

void removeVelmordFiles()
{
    if (s_folderPath[0] == '\0')
        return;
    ::unlink(s_socketPath);
    ::unlink(s_logPath);
    ::rmdir(s_folderPath);
}

void copyPath(char *to, const std::string &path)
{
    std::snprintf(to, PATH_MAX, "%s", path.c_str());
}

// velmord on a socket in a temporary folder of its own; its log (standard error) lies beside it.
class Velmord
{
public:
    ~Velmord() { stop(); }

    bool start(std::string *error)
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/velmor-bench-XXXXXX";
        if (::mkdtemp(&pattern[0]) == nullptr) {
            *error = "no temporary folder: " + std::string(std::strerror(errno));
            return false;
        }
        m_folder = pattern;
        m_socket = m_folder + "/velmord.sock";
        m_logPath = m_folder + "/velmord.log";
        copyPath(s_socketPath, m_socket);
        copyPath(s_logPath, m_logPath);
        copyPath(s_folderPath, m_folder);
        if (!m_process.start({VELMORD_PROGRAM, "--socket", m_socket}, ChildProcess::environmentWith("VELMOR_BROKER", "off"),
                             false, m_logPath)) {
            *error = "velmord did not start";
            return false;
        }
        const std::string ready = "velmord: listening on " + m_socket;
        const auto start = Clock::now();
        while (log().find(ready) == std::string::npos) {
            if (!m_process.running()) {
                *error = "velmord ended before listening; its log:\n" + log();
                return false;
            }
            if (millisecondsSince(start) > kStartTimeoutMs) {
                *error = "velmord is not listening after " + std::to_string(kStartTimeoutMs / 1000) + " s; its log:\n" + log();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // SIGTERM: velmord removes its socket and ends. Returns waitpid's status (-1: never ran).
    int stop()
    {
        if (m_folder.empty())
            return m_status;
        m_status = m_process.stop(10000);
        m_socketLeft = ::access(m_socket.c_str(), F_OK) == 0;
        m_lastLog = log();
        removeVelmordFiles();
        s_folderPath[0] = '\0';
        m_folder.clear();
        return m_status;
    }

    std::string log() const
    {
        if (m_folder.empty())
            return m_lastLog;
        std::ifstream file(m_logPath);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    bool running() { return m_process.running(); }
    const std::string &socket() const { return m_socket; }

    // The processor time velmord has used so far, all its threads, in milliseconds (in clock
    // ticks: 10 ms steps).
    double cpuMs() const
    {
        std::ifstream file("/proc/" + std::to_string(m_process.pid()) + "/stat");
        std::stringstream text;
        text << file.rdbuf();
        const std::string stat = text.str();
        const size_t nameEnd = stat.rfind(')');
        if (nameEnd == std::string::npos)
            return 0.0;
        // After the name: state, then 10 fields before utime and stime.
        std::istringstream fields(stat.substr(nameEnd + 1));
        std::string skipped;
        for (int field = 0; field < 11; ++field)
            fields >> skipped;
        double userTicks = 0.0;
        double systemTicks = 0.0;
        fields >> userTicks >> systemTicks;
        return (userTicks + systemTicks) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

    bool socketLeft() const { return m_socketLeft; }

private:
    ChildProcess m_process;
    std::string m_folder;
    std::string m_socket;
    std::string m_logPath;
    std::string m_lastLog;
    int m_status = -1;
    bool m_socketLeft = false;
};

std::unique_ptr<Velmord> s_velmord;
std::string s_velmordFailure;
// Whether this process's direct way is initialised and its units started: the way back from
// velmord initialises again.
bool s_directReady = false;

std::string describeStatus(int status)
{
    if (status == -1)
        return "unknown";
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("killed by signal ") + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// velmord started at the first benchmark that needs it, and serving: this process connects
// until velmord lets it in, then calls on every unit once, so that nothing measured waits for
// velmord's holds or a unit's first use.
bool velmordServing(benchmark::State &state)
{
    if (!s_velmordFailure.empty()) {
        state.SkipWithError(s_velmordFailure.c_str());
        return false;
    }
    if (s_velmord) {
        if (s_velmord->running())
            return true;
        const int status = s_velmord->stop();
        s_velmordFailure = "velmord ended during the run (" + describeStatus(status) + "); its log:\n" + s_velmord->log();
        state.SkipWithError(s_velmordFailure.c_str());
        return false;
    }
    s_velmord = std::make_unique<Velmord>();
    std::string error;
    if (s_velmord->start(&error)) {
        ::setenv("VELMOR_BROKER", s_velmord->socket().c_str(), 1);
        s_directReady = false;
        const auto start = Clock::now();
        while (!velmordAnswers() && millisecondsSince(start) < kStartTimeoutMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!velmordAnswers())
            error = "velmord does not answer; its log:\n" + s_velmord->log();
        else if (initialise() != VELMOR_OK)
            error = "initialise through velmord failed";
        for (int32_t index = 1; index <= kUnits && error.empty(); ++index) {
            if (readStatus(index) != VELMOR_OK)
                error = "the status of unit " + std::to_string(index) + " through velmord failed; velmord's log:\n" + s_velmord->log();
        }
    }
    if (!error.empty()) {
        s_velmordFailure = error;
        s_velmord->stop();
        state.SkipWithError(s_velmordFailure.c_str());
        return false;
    }
    return true;
}

// This process's calls go to the units directly, none of them held.
bool goDirect(benchmark::State &state)
{
    ::setenv("VELMOR_BROKER", "off", 1);
    velmorReleaseAllUnits();
    if (!s_directReady && initialise() != VELMOR_OK) {
        state.SkipWithError("initialise failed");
        return false;
    }
    s_directReady = true;
    return true;
}

// This process's calls go to velmord. It holds no unit itself: a program's calls on units it
// holds never leave it.
bool goThroughVelmord(benchmark::State &state)
{
    if (!velmordServing(state))
        return false;
    ::setenv("VELMOR_BROKER", "off", 1);
    velmorReleaseAllUnits();
    ::setenv("VELMOR_BROKER", s_velmord->socket().c_str(), 1);
    s_directReady = false;
    if (initialise() != VELMOR_OK || !velmordAnswers()) {
        state.SkipWithError("velmord does not answer");
        return false;
    }
    return true;
}

enum class Way { DirectHeld, DirectUnheld, Velmord };

bool goWay(benchmark::State &state, Way way)
{
    if (way == Way::Velmord)
        return goThroughVelmord(state);
    if (!goDirect(state))
        return false;
    if (way == Way::DirectHeld && velmorHoldUnit(1) != VELMOR_OK) {
        state.SkipWithError("holding unit 1 failed");
        return false;
    }
    return true;
}

// `call` on unit 1, warmed up first (the unit's first use, the connection to velmord).
void callUnitOne(benchmark::State &state, Way way, int32_t (*call)(int32_t))
{
    if (!goWay(state, way))
        return;
    if (call(1) != VELMOR_OK) {
        state.SkipWithError("the call failed");
        return;
    }
    uint64_t failed = 0;
    const double velmordCpuBefore = way == Way::Velmord ? s_velmord->cpuMs() : 0.0;
    for (auto _ : state)
        failed += call(1) != VELMOR_OK;
    velmorReleaseAllUnits();
    state.counters["failed"] = static_cast<double>(failed);
    if (way != Way::Velmord)
        return;
    state.counters["velmord_cpu_ms"] = (s_velmord->cpuMs() - velmordCpuBefore) / static_cast<double>(state.iterations());
    // A velmord gone during the run would have let the calls go direct.
    if (!(s_velmord->running() && velmordAnswers()))
        state.SkipWithError("velmord stopped answering during the run");
}

// What a client process reports at its end.
struct ClientFigures
{
    unsigned long long polls = 0;
    unsigned long long failed = 0;
    double milliseconds = 0.0;
    double medianMs = 0.0;
    double p99Ms = 0.0;
    double longestMs = 0.0;

    double perSecond() const { return milliseconds > 0.0 ? static_cast<double>(polls) * 1000.0 / milliseconds : 0.0; }
};

bool parseFigures(const std::string &line, ClientFigures *figures)
{
    return std::sscanf(line.c_str(), "polled %llu failed %llu ms %lf median_ms %lf p99_ms %lf longest_ms %lf", &figures->polls,
                       &figures->failed, &figures->milliseconds, &figures->medianMs, &figures->p99Ms, &figures->longestMs)
           == 6;
}

// A client process polling `unit` through velmord (or directly, unheld), started and ready: it
// has made its first call and waits for "go".
std::unique_ptr<ChildProcess> startClient(benchmark::State &state, Way way, int32_t unit, int milliseconds)
{
    const std::string broker = way == Way::Velmord ? s_velmord->socket() : std::string("off");
    auto client = std::make_unique<ChildProcess>();
    if (!client->start({ownProgram(), "--poll-client", std::to_string(unit), std::to_string(milliseconds)},
                       ChildProcess::environmentWith("VELMOR_BROKER", broker), true)) {
        state.SkipWithError("a client process did not start");
        return nullptr;
    }
    const std::optional<std::string> line = client->readLine(kStartTimeoutMs);
    if (!line || *line != "ready") {
        client->closeInput();
        const std::string ended = client->waitForExit(1000) ? describeStatus(client->exitStatus()) : "still running";
        const std::string error = "the client of unit " + std::to_string(unit) + " is not ready: "
                                  + line.value_or("(no answer)") + " (" + ended + ")";
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    return client;
}

// The client's figures once it has ended by itself (cleanly).
bool finishClient(benchmark::State &state, ChildProcess &client, ClientFigures *figures)
{
    const std::optional<std::string> line = client.readLine(kPollWindowMs + kStartTimeoutMs);
    client.closeInput();
    const bool ended = client.waitForExit(5000);
    if (!line || !parseFigures(*line, figures)) {
        state.SkipWithError(("a client gave no figures: " + line.value_or("(nothing)")).c_str());
        return false;
    }
    if (!ended || !WIFEXITED(client.exitStatus()) || WEXITSTATUS(client.exitStatus()) != 0) {
        state.SkipWithError(("a client did not end cleanly: " + describeStatus(ended ? client.exitStatus() : -1)).c_str());
        return false;
    }
    return true;
}

// state.range(0) client processes, client k polling unit k, all started together: status
// updates a second of each. The time shown is the longest client's polling time.
void pollFromClients(benchmark::State &state, Way way)
{
    const auto clients = static_cast<int32_t>(state.range(0));
    if (way == Way::Velmord && !velmordServing(state))
        return;
    std::vector<std::unique_ptr<ChildProcess>> running;
    for (int32_t unit = 1; unit <= clients; ++unit) {
        running.push_back(startClient(state, way, unit, kPollWindowMs));
        if (!running.back())
            return;
    }
    std::vector<ClientFigures> figures(running.size());
    const double velmordCpuBefore = way == Way::Velmord ? s_velmord->cpuMs() : 0.0;
    for (auto _ : state) {
        for (auto &client : running)
            client->writeLine("go");
        double longestWindowMs = 0.0;
        for (size_t at = 0; at < running.size(); ++at) {
            if (!finishClient(state, *running[at], &figures[at]))
                return;
            longestWindowMs = std::max(longestWindowMs, figures[at].milliseconds);
        }
        state.SetIterationTime(longestWindowMs / 1000.0);
    }
    double least = figures.front().perSecond();
    double all = 0.0;
    double medianCallMs = 0.0;
    double p99CallMs = 0.0;
    double longestCallMs = 0.0;
    unsigned long long failed = 0;
    for (size_t at = 0; at < figures.size(); ++at) {
        state.counters["unit" + std::to_string(at + 1) + "_per_s"] = figures[at].perSecond();
        least = std::min(least, figures[at].perSecond());
        all += figures[at].perSecond();
        medianCallMs = std::max(medianCallMs, figures[at].medianMs);
        p99CallMs = std::max(p99CallMs, figures[at].p99Ms);
        longestCallMs = std::max(longestCallMs, figures[at].longestMs);
        failed += figures[at].failed;
    }
    state.counters["least_per_s"] = least;
    state.counters["all_per_s"] = all;
    // Of the client for which each is the highest.
    state.counters["median_call_ms"] = medianCallMs;
    state.counters["p99_call_ms"] = p99CallMs;
    state.counters["longest_call_ms"] = longestCallMs;
    state.counters["failed"] = static_cast<double>(failed);
    if (way != Way::Velmord)
        return;
    unsigned long long polls = 0;
    for (const ClientFigures &client : figures)
        polls += client.polls;
    state.counters["velmord_cpu_ms"] = polls > 0 ? (s_velmord->cpuMs() - velmordCpuBefore) / double(polls) : 0.0;
    // A velmord gone during the run would have let the clients' calls go direct.
    if (!s_velmord->running())
        state.SkipWithError("velmord ended during the run");
}

// The status call on unit 1 through velmord while another client polls `busyUnit` all along.
void statusBesideBusyClient(benchmark::State &state, int32_t busyUnit)
{
    if (!goThroughVelmord(state))
        return;
    std::unique_ptr<ChildProcess> neighbour = startClient(state, Way::Velmord, busyUnit, 0);
    if (!neighbour)
        return;
    neighbour->writeLine("go");
    // Its first polls are under way before the first call measured here.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (readStatus(1) != VELMOR_OK) {
        state.SkipWithError("the call failed");
        return;
    }
    uint64_t failed = 0;
    for (auto _ : state)
        failed += readStatus(1) != VELMOR_OK;
    if (!(s_velmord->running() && velmordAnswers())) {
        state.SkipWithError("velmord stopped answering during the run");
        return;
    }
    neighbour->closeInput();
    ClientFigures figures;
    if (!finishClient(state, *neighbour, &figures))
        return;
    state.counters["failed"] = static_cast<double>(failed);
    state.counters["busy_unit"] = busyUnit;
    state.counters["busy_per_s"] = figures.perSecond();
    state.counters["busy_failed"] = static_cast<double>(figures.failed);
}

// Whether this process's parent has written to its input or closed it.
bool inputWaiting()
{
    struct pollfd input = {STDIN_FILENO, POLLIN, 0};
    return ::poll(&input, 1, 0) > 0;
}

bool readWord(std::string *word)
{
    word->clear();
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1) {
        if (c == '\n')
            return true;
        *word += c;
    }
    return false;
}

// A client process: initialises, makes one status call on `unit` and says "ready"; at "go" it
// polls the unit with velmorGetMotorStatus for `milliseconds` (0: until its input ends or brings
// anything more) and prints "polled N failed F ms T median_ms M p99_ms P longest_ms L" (the
// calls' times).
int runPollClient(int32_t unit, int milliseconds)
{
    const char *broker = std::getenv("VELMOR_BROKER");
    const bool throughVelmord = broker != nullptr && std::strcmp(broker, "off") != 0;
    if (initialise() != VELMOR_OK) {
        std::printf("error: initialise failed\n");
        return 1;
    }
    if (throughVelmord && !velmordAnswers()) {
        std::printf("error: velmord does not answer at %s\n", broker);
        return 1;
    }
    const int32_t first = readStatus(unit);
    if (first != VELMOR_OK) {
        std::printf("error: the status of unit %d returned %d\n", unit, first);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string word;
    if (!readWord(&word) || word != "go")
        return 0;
    unsigned long long failed = 0;
    std::vector<double> callMs;
    callMs.reserve(4096);
    const auto start = Clock::now();
    for (;;) {
        const auto callStart = Clock::now();
        failed += readStatus(unit) != VELMOR_OK;
        callMs.push_back(millisecondsSince(callStart));
        if (milliseconds > 0 ? millisecondsSince(start) >= milliseconds : inputWaiting())
            break;
    }
    const double elapsedMs = millisecondsSince(start);
    std::sort(callMs.begin(), callMs.end());
    const auto rank = [&callMs](double fraction) { return callMs[static_cast<size_t>(fraction * double(callMs.size() - 1))]; };
    std::printf("polled %zu failed %llu ms %.3f median_ms %.3f p99_ms %.3f longest_ms %.3f\n", callMs.size(), failed, elapsedMs,
                rank(0.5), rank(0.99), callMs.back());
    std::fflush(stdout);
    return 0;
}

void registerBenchmarks()
{
    const std::pair<const char *, Way> statusWays[] = {{"status/direct_held", Way::DirectHeld}, {"status/velmord", Way::Velmord}};
    for (const auto &[name, way] : statusWays) {
        benchmark::RegisterBenchmark(name, [way = way](benchmark::State &state) { callUnitOne(state, way, readStatus); })
            ->MinTime(1.0)->Repetitions(3)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
    const std::pair<const char *, Way> exportWays[] = {{"export/direct/getAbsolutePosition", Way::DirectUnheld},
                                                       {"export/velmord/getAbsolutePosition", Way::Velmord}};
    for (const auto &[name, way] : exportWays) {
        benchmark::RegisterBenchmark(name, [way = way](benchmark::State &state) { callUnitOne(state, way, readPosition); })
            ->MinTime(1.0)->Repetitions(3)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("poll/velmord", [](benchmark::State &state) { pollFromClients(state, Way::Velmord); })
        ->Arg(1)->Arg(kUnits)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("poll/direct_unheld", [](benchmark::State &state) { pollFromClients(state, Way::DirectUnheld); })
        ->Arg(kUnits)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    for (int32_t busyUnit : {2, 1}) {
        const std::string name = "status/velmord_beside_unit" + std::to_string(busyUnit);
        benchmark::RegisterBenchmark(name.c_str(), [busyUnit](benchmark::State &state) { statusBesideBusyClient(state, busyUnit); })
            ->MinTime(1.0)->Repetitions(3)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // This process and velmord (which inherits the variables) build the same bench, each its own
    // emulated units: a direct call here never meets velmord's holds.
    ::setenv("VELMOR_EMULATOR_BENCH", kBench, 1);
    ::setenv("VELMOR_EMULATOR_STATE", "off", 1);
    if (argc == 4 && std::strcmp(argv[1], "--poll-client") == 0)
        return runPollClient(static_cast<int32_t>(std::atoi(argv[2])), std::atoi(argv[3]));
    // No velmord of the machine: the direct cases go direct, the others to ours.
    ::setenv("VELMOR_BROKER", "off", 1);
    ChildProcess::stopChildrenOnSignals(removeVelmordFiles);
    registerBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!s_velmord)
        return 0;
    // Already reported with the benchmarks that needed it.
    if (!s_velmordFailure.empty())
        return 1;
    // velmord ends as asked (SIGTERM), removing its socket; anything else is a fault of velmord.
    ::setenv("VELMOR_BROKER", "off", 1);
    const int status = s_velmord->stop();
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !s_velmord->socketLeft();
    if (!clean) {
        std::fprintf(stderr, "velmord did not stop cleanly: %s%s; its log:\n%s", describeStatus(status).c_str(),
                     s_velmord->socketLeft() ? ", its socket left behind" : "", s_velmord->log().c_str());
        return 1;
    }
    return 0;
}
