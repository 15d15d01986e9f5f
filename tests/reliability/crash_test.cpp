// Kills the program with SIGKILL at random points while it writes tags (the
// ID3v1 block alone, or with the ID3v2 tag in place or in a new file renamed
// over the old) and while it saves the settings, then checks every file it
// was writing: each must be exactly as before or exactly as a complete run
// leaves it, with at most the writer's hidden temporary beside it. Only an
// ID3v2 tag changed in place may be caught between its two writes, and is
// counted: the new tag with the old block, each whole.
//
// KLANGMAPPE_CRASH_ROUNDS sets the rounds per test (20; the tag test makes as
// many again with ID3v2), KLANGMAPPE_CRASH_SEED the seed of the kill points; a
// failure names both so it can be replayed.
// Only the spread of the kill points depends on the machine's speed, never a check.
#include "model/settings.h"
#include "platform/registry.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace km {
namespace {

using test::Bytes;
using test::Cat;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

unsigned long FromEnvironment(const char* name, unsigned long fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::stoul(v) : fallback;
}

unsigned Rounds() { return static_cast<unsigned>(FromEnvironment("KLANGMAPPE_CRASH_ROUNDS", 20)); }
std::uint32_t Seed() { return static_cast<std::uint32_t>(FromEnvironment("KLANGMAPPE_CRASH_SEED", 20261209)); }

// Starts `args` with `env` (NAME=value) over the inherited environment; its output goes nowhere.
pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string_view var(*e);
        const std::string_view name = var.substr(0, var.find('=') + 1);
        if (std::none_of(env.begin(), env.end(), [&](const std::string& s) { return s.starts_with(name); }))
            vars.emplace_back(var);
    }
    vars.insert(vars.end(), env.begin(), env.end());
    // Built before the fork: the child only calls what is safe there.
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The exit code of a run to its end; the time it took in `seconds`.
int RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env, double* seconds = nullptr)
{
    const auto start = Clock::now();
    const int status = Wait(Start(args, env));
    if (seconds)
        *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// SIGKILL after `seconds` from the start; true when the child had ended by itself.
bool KillAfter(pid_t pid, Clock::time_point start, double seconds, int& status)
{
    const auto until = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    // Sleeping is too coarse for the last stretch.
    std::this_thread::sleep_until(until - std::chrono::microseconds(200));
    while (Clock::now() < until) {
    }
    ::kill(pid, SIGKILL);
    status = Wait(pid);
    return !WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL;
}

// SIGKILL once the child has changed `files` files in the watched folder, and
// `seconds` later; true when the child had ended by itself.
bool KillAfterChanges(pid_t pid, int watch, std::size_t files, double seconds, int& status)
{
    alignas(inotify_event) char events[4096];
    for (std::size_t seen = 0; seen < files;) {
        pollfd ready {watch, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return true;
            continue;
        }
        const ssize_t n = ::read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            seen += (e->mask & IN_MODIFY) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    return KillAfter(pid, Clock::now(), seconds, status);
}

double Median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// A kill point between 0 and `window`, the same for the same seed everywhere.
double KillPoint(std::mt19937& rng, double window) { return window * (rng() / 4294967296.0); }

std::vector<std::string> Leftovers(const fs::path& folder, const std::set<std::string>& known)
{
    std::vector<std::string> extra;
    for (const auto& e : fs::directory_iterator(folder))
        if (!known.count(e.path().filename().string()))
            extra.push_back(e.path().filename().string());
    return extra;
}

struct TTagFile {
    std::string name;
    Bytes old;
    std::size_t audio; // everything but the ID3v1 block; 0: the leading tag changes too
    Bytes written;     // what a complete run leaves
};

std::size_t LeadingTagSize(const Bytes& file)
{
    if (file.size() < 10)
        return 0;
    return 10 + (std::size_t(file[6]) << 21 | std::size_t(file[7]) << 14 | std::size_t(file[8]) << 7 | file[9]);
}

// Audio alone, behind an ID3v2 tag or not, with an ID3v1 block or not.
std::vector<TTagFile> TagFiles()
{
    std::vector<TTagFile> files;
    for (unsigned i = 0; i < 200; ++i) {
        const Bytes lead = i % 4 >= 2 ? test::Tag(test::TextFrame("TIT2", "vorn " + std::to_string(i))) : Bytes();
        // No "T" in the noise: no stray "TAG" where a block would start.
        const Bytes audio = Cat({lead, test::Header(), test::Noise(400 + i * 37 % 3000, i, 'T')});
        const bool block = i % 4 == 1 || i % 4 == 2;
        files.push_back({"Lied " + std::to_string(1000 + i) + ".mp3",
            block ? Cat({audio, test::V1("Alt " + std::to_string(i), "Band", "Platte", "1999")}) : audio,
            audio.size(), {}});
    }
    return files;
}

// `count` files behind a leading tag with the room to take the new texts, or
// without (the writer writes them anew), half of them with an ID3v1 block.
std::vector<TTagFile> ID3v2Files(unsigned count, bool room)
{
    std::vector<TTagFile> files;
    for (unsigned i = 0; i < count; ++i) {
        const Bytes lead = test::Tag(Cat({test::TextFrame("TIT2", "vorn " + std::to_string(i)),
            test::TextFrame("TPE1", "Band"), test::Fill(room ? 200 : 0)}));
        const Bytes audio = Cat({test::Header(), test::Noise(400 + i * 37 % 3000, i, 'T')});
        const Bytes block = i % 2 ? test::V1("Alt " + std::to_string(i), "Band") : Bytes();
        files.push_back({"Lied " + std::to_string(1000 + i) + ".mp3", Cat({lead, audio, block}), 0, {}});
    }
    return files;
}

void WriteBack(const fs::path& file, const Bytes& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteAll(const fs::path& folder, const std::vector<TTagFile>& files)
{
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& f : files)
        WriteBack(folder / f.name, f.old);
}

// Why `now` is neither the file as it was nor as the write leaves it; empty when it is one of them.
std::string TagFault(const TTagFile& f, const Bytes& now)
{
    if (now == f.old || now == f.written)
        return {};
    if (f.audio == 0)
        return "neither old nor new (" + std::to_string(now.size()) + " bytes, old " + std::to_string(f.old.size())
            + ", new " + std::to_string(f.written.size()) + ")";
    if (now.size() < f.audio)
        return "shorter than its audio part (" + std::to_string(now.size()) + " < " + std::to_string(f.audio) + ")";
    if (!std::equal(f.old.begin(), f.old.begin() + static_cast<std::ptrdiff_t>(f.audio), now.begin()))
        return "its audio part changed";
    const std::size_t tail = now.size() - f.audio;
    if (tail != 0 && tail != 128)
        return "holds " + std::to_string(tail) + " bytes behind its audio part: half a block";
    return "its block is neither the old nor the new one: half written";
}

// An ID3v2 tag changed in place, but not yet the block: two writes at the
// two ends of the file, which no kill-proof single step covers. Each tag is
// whole, and the rest of the file as it was.
bool NewTagOldRest(const TTagFile& f, const Bytes& now)
{
    const std::size_t lead = LeadingTagSize(f.written);
    const auto at = static_cast<std::ptrdiff_t>(lead);
    return f.audio == 0 && lead == LeadingTagSize(f.old) && now.size() == f.old.size()
        && std::equal(now.begin(), now.begin() + at, f.written.begin())
        && std::equal(now.begin() + at, now.end(), f.old.begin() + at);
}

TEST(CrashSafety, KilledTagWritesLeaveEveryFileOldOrNew)
{
    const unsigned rounds = Rounds();
    const std::uint32_t seed = Seed();
    std::printf("KLANGMAPPE_CRASH_SEED=%u KLANGMAPPE_CRASH_ROUNDS=%u\n", seed, rounds);
    test::TempDir dir;
    const fs::path folder = fs::path(dir.Path()) / "lieder";

    // Overwrites, appends, removes; with ID3v2 in place, and grown, which
    // writes each file anew beside the old one (fewer files: each waits for
    // the disk).
    const std::vector<std::vector<std::string>> commands = {
        {KLANGMAPPE_CLI, "set", "--title", "Neu", "--artist", "Nach dem Absturz", "--year", "2026", "--genre", "Rock"},
        {KLANGMAPPE_CLI, "set", "--clear"},
        {KLANGMAPPE_CLI, "set", "--sync-id3v2", "--title", "Neu", "--artist", "Nach dem Absturz"},
        {KLANGMAPPE_CLI, "set", "--sync-id3v2", "--title", "Nach dem Absturz ein deutlich laengerer Titel"},
    };
    const std::vector<std::vector<TTagFile>> inputs
        = {TagFiles(), TagFiles(), ID3v2Files(200, true), ID3v2Files(30, false)};
    const std::size_t grown = 3;
    std::vector<std::vector<TTagFile>> expected;
    std::vector<double> runTime;
    std::set<std::string> names;
    for (std::size_t c = 0; c < commands.size(); ++c) {
        std::vector<std::string> command = commands[c];
        std::vector<TTagFile> files = inputs[c];
        for (const auto& f : files) {
            command.push_back((folder / f.name).string());
            names.insert(f.name);
        }
        // The median of five runs, each of which must leave the same bytes.
        std::vector<double> times(5);
        for (std::size_t run = 0; run < times.size(); ++run) {
            WriteAll(folder, files);
            ASSERT_EQ(RunToEnd(command, {}, &times[run]), 0) << command[2];
            for (auto& f : files) {
                const Bytes now = test::ReadFile((folder / f.name).string());
                ASSERT_TRUE(run == 0 || now == f.written) << f.name;
                f.written = now;
                if (f.audio == 0) {
                    // The leading tag changed, in place or grown.
                    ASSERT_NE(f.written, f.old) << f.name;
                    ASSERT_EQ(LeadingTagSize(f.written) > LeadingTagSize(f.old), c == grown) << f.name;
                } else {
                    ASSERT_EQ(f.written.size(), command[2] == "--clear" ? f.audio : f.audio + 128) << f.name;
                }
            }
        }
        expected.push_back(std::move(files));
        runTime.push_back(Median(times));
    }

    std::mt19937 rng(seed);
    unsigned before = 0, during = 0, after = 0, ended = 0, temporary = 0, halfway = 0;
    for (unsigned round = 0; round < 2 * rounds; ++round) {
        const std::size_t c = round % commands.size();
        const std::vector<TTagFile>& files = expected[c];
        std::vector<std::string> command = commands[c];
        WriteAll(folder, files);
        for (const auto& f : files)
            command.push_back((folder / f.name).string());
        std::size_t changing = 0;
        for (const auto& f : files)
            changing += f.written != f.old;
        // A quarter of the kills fall anywhere in a full run's time; the others
        // after a random count of files written, which no load can shift.
        const bool timed = rng() % 4 == 0;
        const std::size_t count = 1 + rng() % changing;
        // After a change, within about the time one file takes.
        const double at = KillPoint(rng, timed ? runTime[c] : std::max(100e-6, runTime[c] / changing));
        const std::string where = "round " + std::to_string(round) + " (seed " + std::to_string(seed) + ", "
            + command[2] + ", kill " + (timed ? "" : "at file " + std::to_string(count) + " + ")
            + std::to_string(static_cast<long>(at * 1e6)) + " us): ";

        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_MODIFY), 0);
        int status = 0;
        const pid_t pid = Start(command);
        const bool endedEarly = timed ? KillAfter(pid, Clock::now(), at, status)
                                      : KillAfterChanges(pid, watch, count, at, status);
        ::close(watch);
        if (endedEarly) {
            ++ended;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << where << "status " << status;
        }
        std::size_t changed = 0;
        for (const auto& f : files) {
            const Bytes now = test::ReadFile((folder / f.name).string());
            if (NewTagOldRest(f, now)) {
                ++halfway;
                continue;
            }
            const std::string fault = TagFault(f, now);
            EXPECT_EQ(fault, "") << where << f.name;
            changed += f.written != f.old && now == f.written;
        }
        // The one file being written anew may leave its hidden temporary.
        const auto left = Leftovers(folder, names);
        for (const auto& name : left) {
            const bool hidden = name.starts_with(".Lied ") && name.find(".mp3.klangmappe-") != std::string::npos
                && name.ends_with(".tmp");
            if (!hidden || left.size() > 1 || c != grown)
                ADD_FAILURE() << where << "left behind: " << name;
            temporary += hidden;
        }
        if (WIFEXITED(status))
            continue;
        ++(changed == 0 ? before : changed == changing ? after : during);
    }
    std::printf("tags: %u rounds, full run %.1f ms (write) / %.1f ms (clear) / %.1f ms (ID3v2 in place) / %.1f ms "
                "(ID3v2 grown); killed before the first write %u, amid the writes %u, after the last write %u; ended "
                "before the kill %u; %u temporary files left, %u files killed between their ID3v2 tag and block\n",
        2 * rounds, runTime[0] * 1e3, runTime[1] * 1e3, runTime[2] * 1e3, runTime[3] * 1e3, before, during, after,
        ended, temporary, halfway);
}

const char kSettingsFile[] = "Klangmappe.reg";

// The values as the window reads them; none when the key is missing.
QStringList ReadBack(const fs::path& file)
{
    TRegistry registry(QString::fromStdString(file.string()));
    TSettings s;
    s.Placement.reset();
    if (!ReadSettings(registry, s))
        return {};
    registry.OpenKey(kSettingsKey, false);
    QStringList values = registry.GetValueNames();
    values << s.LastDir << s.TZ1 << s.TZ2 << s.CopyTo << s.MoveTo << QString::number(s.Spalten.size())
           << QString::number(s.Sort) << QString::number(s.BW) << QString::number(s.Placement.has_value());
    return values;
}

TEST(CrashSafety, KilledSettingsSavesLeaveTheOldOrTheNewFile)
{
    const unsigned rounds = Rounds();
    const std::uint32_t seed = Seed();
    std::printf("KLANGMAPPE_CRASH_SEED=%u KLANGMAPPE_CRASH_ROUNDS=%u\n", seed, rounds);
    test::TempDir dir;
    const fs::path root(dir.Path());
    const fs::path config = root / "config" / "Fennwick";
    const fs::path progress = root / "progress";
    const std::vector<std::string> env = {
        "HOME=" + (root / "home").string(), "XDG_CONFIG_HOME=" + (root / "config").string()};

    // State k as a complete save writes it, with what the window reads from it.
    std::map<std::uint64_t, std::pair<Bytes, QStringList>> states;
    double saveTime = 1e9;
    const auto state = [&](std::uint64_t k) -> const std::pair<Bytes, QStringList>& {
        if (!states.count(k)) {
            const fs::path file = root / "expected" / "Fennwick" / kSettingsFile;
            fs::remove(file);
            double seconds = 0;
            const int code = RunToEnd({KLANGMAPPE_CRASH_CHILD, "write", std::to_string(k)},
                {"HOME=" + (root / "home").string(), "XDG_CONFIG_HOME=" + (root / "expected").string()}, &seconds);
            saveTime = std::min(saveTime, seconds);
            EXPECT_EQ(code, 0) << "state " << k;
            states[k] = {test::ReadFile(file.string()), ReadBack(file)};
            EXPECT_EQ(states[k].second.size(), 27) << "state " << k << " lacks values";
        }
        return states[k];
    };
    for (std::uint64_t k = 0; k < 4; ++k)
        state(k);

    std::mt19937 rng(seed);
    unsigned before = 0, during = 0, between = 0, saves = 0, temporary = 0;
    for (unsigned round = 0; round < rounds; ++round) {
        fs::remove_all(config);
        fs::create_directories(config);
        const Bytes& initial = state(0).first;
        std::ofstream(config / kSettingsFile, std::ios::binary)
            .write(reinterpret_cast<const char*>(initial.data()), static_cast<std::streamsize>(initial.size()));
        std::ofstream(progress, std::ios::binary | std::ios::trunc).write("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16);

        // Startup and a few saves.
        const double at = KillPoint(rng, 3 * saveTime);
        const std::string where = "round " + std::to_string(round) + " (seed " + std::to_string(seed) + ", kill after "
            + std::to_string(static_cast<long>(at * 1e6)) + " us): ";
        int status = 0;
        const pid_t pid = Start({KLANGMAPPE_CRASH_CHILD, "loop", progress.string(), "1"}, env);
        EXPECT_FALSE(KillAfter(pid, Clock::now(), at, status)) << where << "the child ended itself: " << status;

        const Bytes counters = test::ReadFile(progress.string());
        ASSERT_EQ(counters.size(), 16u);
        std::uint64_t begun = 0, done = 0;
        std::memcpy(&begun, counters.data(), 8);
        std::memcpy(&done, counters.data() + 8, 8);
        ++(begun == 0 ? before : begun == done ? between : during);
        saves += static_cast<unsigned>(done);

        // The state last saved, or the one being saved.
        const Bytes now = test::ReadFile((config / kSettingsFile).string());
        const QStringList values = ReadBack(config / kSettingsFile);
        const bool old = now == state(done).first && values == state(done).second;
        const bool fresh = begun != done && now == state(begun).first && values == state(begun).second;
        EXPECT_TRUE(old || fresh) << where << "the settings file (" << now.size() << " bytes, " << values.size()
                                  << " values read back) is neither state " << done << " (" << state(done).first.size()
                                  << " bytes) nor state " << begun << " (" << state(begun).first.size() << " bytes)";
        // A temporary file beside it may stay; a copy kept as unreadable means the child met a broken file.
        for (const auto& name : Leftovers(config, {kSettingsFile})) {
            EXPECT_FALSE(name.ends_with(".defekt")) << where << name;
            ++temporary;
        }
    }
    std::printf("settings: %u rounds, one save with startup %.1f ms; killed before the first save %u, amid a save %u, "
                "between saves %u; %u saves completed, %u temporary files left\n",
        rounds, saveTime * 1e3, before, during, between, saves, temporary);
}

} // namespace
} // namespace km
