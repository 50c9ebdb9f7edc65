#include "run_instlog.h"

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char **environ;

void InstlogTest::SetUp()
{
    char pattern[] = "/tmp/instlog_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
}

void InstlogTest::TearDown()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string InstlogTest::Path(const std::string &name) const
{
    return dir_ + "/" + name;
}

void InstlogTest::WriteFile(const std::string &name, const std::string &bytes) const
{
    std::ofstream out(Path(name), std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    ASSERT_TRUE(out.good()) << "cannot write " << Path(name);
}

std::string InstlogTest::ReadFile(const std::string &name) const
{
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool InstlogTest::Exists(const std::string &name) const
{
    return std::filesystem::exists(Path(name));
}

RunResult InstlogTest::Run(const std::vector<std::string> &args, const std::string &stdinName) const
{
    RunResult result{-1, "", ""};
    std::string outPath = Path(".stdout");
    std::string errPath = Path(".stderr");
    std::string inPath = stdinName.empty() ? "/dev/null" : Path(stdinName);

    std::vector<char *> argv;
    std::string program = INSTLOG_EXE;
    argv.push_back(&program[0]);
    std::vector<std::string> copies(args);
    for (std::string &a : copies)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    pid_t pid;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(0, spawned) << "cannot start " << program;
    if (spawned != 0)
        return result;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = ReadFile(".stdout");
    result.err = ReadFile(".stderr");
    return result;
}

std::string LinesWith(const std::string &text, const std::string &part)
{
    std::istringstream in(text);
    std::string line;
    std::string found;
    while (std::getline(in, line))
        if (line.find(part) != std::string::npos)
            found += line + "\n";
    return found;
}
